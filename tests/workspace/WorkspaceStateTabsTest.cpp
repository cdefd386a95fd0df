#include "WorkspaceTestSupport.h"

#include <QLoggingCategory>
#include <QScopeGuard>
#include <QSignalSpy>

namespace quillon::test {
namespace {

class WorkspaceStateTabsTest : public WorkspaceTest
{
protected:
    void SetUp() override
    {
        WorkspaceTest::SetUp();
        a = tree.write("a.md", "alpha\n");
        b = tree.write("b.md", "bravo\n");
        c = tree.write("c.md", "charlie\n");
        state = makeState();
    }

    std::unique_ptr<WorkspaceState> state;
    QString a, b, c;
};

TEST_F(WorkspaceStateTabsTest, OpeningAddsOneTabPerDocumentWhateverThePathForm)
{
    state->openFile(a);
    state->openFile(b);
    state->openFile(tree.path() + "/sub/../a.md");
    EXPECT_EQ(state->openTabs(), (QStringList { a, b }));
    EXPECT_EQ(state->activeTabURL(), a);
    EXPECT_EQ(state->currentFileContent(), "alpha\n");
    EXPECT_TRUE(state->isTabActive(tree.path() + "/./a.md"));
    EXPECT_EQ(state->recentEntities().value(0).url, a);
    EXPECT_EQ(UserDefaults::standard().stringListValue("lastOpenTabPaths"), (QStringList { a, b }));
    EXPECT_EQ(UserDefaults::standard().stringValue("lastActiveTabPath"), a);
}

QStringList* g_analyticsLines = nullptr;
void collectAnalyticsLine(QtMsgType, const QMessageLogContext& context, const QString& message)
{
    if (g_analyticsLines && QByteArrayView(context.category) == "quillon.analytics")
        g_analyticsLines->append(message);
}

// The opened event names the document's extension: what follows the last dot of its name, none
// for a dotfile or a name without a dot.
TEST_F(WorkspaceStateTabsTest, TheOpenedEventNamesTheExtensionADotfileHasNone)
{
    UserDefaults::standard().setBool("telemetryOptOut", false);
    QLoggingCategory::setFilterRules(QStringLiteral("quillon.analytics.info=true"));
    QStringList lines;
    g_analyticsLines = &lines;
    const QtMessageHandler previous = qInstallMessageHandler(collectAnalyticsLine);
    const auto restore = qScopeGuard([&] {
        qInstallMessageHandler(previous);
        g_analyticsLines = nullptr;
        QLoggingCategory::setFilterRules(QString());
        UserDefaults::standard().setBool("telemetryOptOut", true);
    });
    for (const char* name : { ".gitignore", "Makefile", "notes.MD", "backup.tar.gz", ".env.local" })
        state->openFile(tree.write(name, "x\n"));
    QStringList sources;
    for (const QString& line : lines.filter(QStringLiteral("'Document.opened'")))
        sources << line.section(QStringLiteral("\"source\": \""), 1).section(u'"', 0, 0);
    EXPECT_EQ(sources, (QStringList { "", "", "MD", "gz", "local" }));
}

TEST_F(WorkspaceStateTabsTest, SwitchingKeepsEachTabsTextAndWritesNothing)
{
    state->openFile(a);
    state->setCurrentFileContent("alpha edited but not saved\n");
    state->openFile(b);
    EXPECT_EQ(state->currentFileContent(), "bravo\n");
    state->selectTab(a);
    EXPECT_EQ(state->currentFileContent(), "alpha edited but not saved\n");
    EXPECT_EQ(tree.read("a.md"), "alpha\n");
    EXPECT_TRUE(state->hasUnsavedChanges(a));
    EXPECT_FALSE(state->hasUnsavedChanges(b));
}

TEST_F(WorkspaceStateTabsTest, ClosingChoosesTheTabOnTheLeft)
{
    struct Case
    {
        const char* name;
        int close; // index of the tab to close
        int activeBefore; // index of the active tab before
        QStringList tabsAfter;
        QString activeAfter;
    };
    const Case cases[] = {
        { "active middle", 1, 1, { "a.md", "c.md" }, "a.md" },
        { "active first", 0, 0, { "b.md", "c.md" }, "b.md" },
        { "active last", 2, 2, { "a.md", "b.md" }, "b.md" },
        { "inactive first", 0, 2, { "b.md", "c.md" }, "c.md" },
    };
    for (const Case& tc : cases) {
        SCOPED_TRACE(tc.name);
        state.reset();
        clearDefaults();
        state = makeState();
        const QStringList paths { a, b, c };
        for (const QString& p : paths)
            state->openFile(p);
        state->selectTab(paths[tc.activeBefore]);
        const QString activeText = state->currentFileContent();
        state->closeTab(paths[tc.close]);
        QStringList names;
        for (const QString& t : state->openTabs())
            names.append(QFileInfo(t).fileName());
        EXPECT_EQ(names, tc.tabsAfter);
        EXPECT_EQ(QFileInfo(state->activeTabURL()).fileName(), tc.activeAfter);
        if (tc.close != tc.activeBefore) {
            EXPECT_EQ(state->currentFileContent(), activeText);
        }
    }
}

TEST_F(WorkspaceStateTabsTest, ClosingTheOnlyTabLeavesNothingActive)
{
    state->openFile(a);
    state->closeTab(a);
    EXPECT_TRUE(state->openTabs().isEmpty());
    EXPECT_TRUE(state->activeTabURL().isEmpty());
    EXPECT_EQ(state->currentFileContent(), "");
    EXPECT_FALSE(UserDefaults::standard().contains("lastActiveTabPath"));
    EXPECT_EQ(UserDefaults::standard().stringListValue("lastOpenTabPaths"), QStringList {});
}

TEST_F(WorkspaceStateTabsTest, AClosedTabForgetsItsText)
{
    state->openFile(a);
    state->setCurrentFileContent("unsaved words\n");
    state->openFile(b);
    state->closeTab(a);
    state->openFile(a);
    EXPECT_EQ(state->currentFileContent(), "alpha\n");
}

TEST_F(WorkspaceStateTabsTest, ActiveTabTextIsLoadedBeforeTheTabChangeIsAnnounced)
{
    state->openFile(a);
    QString seen;
    QObject::connect(state.get(), &WorkspaceState::activeTabURLChanged,
        [&] { seen = state->currentFileContent(); });
    state->openFile(b);
    EXPECT_EQ(seen, "bravo\n");
}

} // namespace
} // namespace quillon::test
