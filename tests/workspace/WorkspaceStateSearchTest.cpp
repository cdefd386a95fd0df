#include "WorkspaceTestSupport.h"

#include <QLoggingCategory>
#include <QScopeGuard>
#include <QSemaphore>
#include <QSignalSpy>
#include <QThreadPool>

namespace quillon::test {
namespace {

using WorkspaceStateSearchTest = WorkspaceTest;

TEST_F(WorkspaceStateSearchTest, OnlyTheNewestQueryPublishes)
{
    for (int i = 0; i < 200; ++i)
        tree.write(QStringLiteral("notes/n%1.md").arg(i), "apple banana cherry\n");
    tree.write("cherry-only.md", "cherry pie\n");
    auto state = makeState();
    state->setFolderURL(tree.path());
    QSignalSpy published(state.get(), &WorkspaceState::globalSearchResultsChanged);

    // Typed letter by letter: every keystroke starts a search.
    for (const char* q : { "a", "ap", "app", "appl", "cherry p" })
        state->setGlobalSearchQuery(QString::fromLatin1(q));
    ASSERT_TRUE(waitUntil([&] { return !state->globalSearchResults().isEmpty(); }));
    settle();
    QThreadPool::globalInstance()->waitForDone();
    settle();
    const QVector<SearchResult> hits = state->globalSearchResults();
    ASSERT_EQ(hits.size(), 1);
    EXPECT_EQ(hits[0].fileName, "cherry-only.md");
    EXPECT_EQ(published.count(), 1);
}

// Collects the analytics manager's lines, which it writes to its logging category.
QStringList* g_analyticsLines = nullptr;
void collectAnalyticsLine(QtMsgType, const QMessageLogContext& context, const QString& message)
{
    if (g_analyticsLines && QByteArrayView(context.category) == "quillon.analytics")
        g_analyticsLines->append(message);
}

TEST_F(WorkspaceStateSearchTest, TheSearchEventCountsTheQueryInCharacters)
{
    tree.write("a.md", "x\n");
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

    auto state = makeState();
    state->setFolderURL(tree.path());
    // An emoji of two UTF-16 units, a space, and an e with its accent as a second code point.
    state->setGlobalSearchQuery(QStringLiteral("\U0001F600 e\u0301"));
    state->setGlobalSearchQuery(QStringLiteral("\U0001F1EB\U0001F1F7"));
    EXPECT_EQ(lines.filter(QStringLiteral("'Search.executed'")),
        (QStringList {
            QStringLiteral("[AnalyticsManager] Tracked event 'Search.executed' | params: "
                           "[\"query_length\": \"3\"]"),
            QStringLiteral("[AnalyticsManager] Tracked event 'Search.executed' | params: "
                           "[\"query_length\": \"1\"]") }));
    QThreadPool::globalInstance()->waitForDone();
    settle();
}

TEST_F(WorkspaceStateSearchTest, BlankQueriesAndNoFolderClearAtOnce)
{
    tree.write("a.md", "needle\n");
    auto state = makeState();
    state->setGlobalSearchQuery("needle");
    EXPECT_TRUE(state->globalSearchResults().isEmpty());

    state->setFolderURL(tree.path());
    state->performGlobalSearch();
    ASSERT_TRUE(waitUntil([&] { return !state->globalSearchResults().isEmpty(); }));

    state->setGlobalSearchQuery("   ");
    EXPECT_TRUE(state->globalSearchResults().isEmpty());
    QThreadPool::globalInstance()->waitForDone();
    settle();
    EXPECT_TRUE(state->globalSearchResults().isEmpty());
}

TEST_F(WorkspaceStateSearchTest, ASearchOutlivingTheStateFinishesIntoNothing)
{
    for (int i = 0; i < 50; ++i)
        tree.write(QStringLiteral("n%1.md").arg(i), "word\n");
    // Every pool thread is held, so the search can only start once the state is gone.
    QThreadPool* pool = QThreadPool::globalInstance();
    QSemaphore release;
    const int held = pool->maxThreadCount();
    for (int i = 0; i < held; ++i)
        pool->start([&release] { release.acquire(); });
    {
        auto state = makeState();
        state->setFolderURL(tree.path());
        state->setGlobalSearchQuery("word");
        EXPECT_TRUE(state->globalSearchResults().isEmpty());
    }
    release.release(held);
    ASSERT_TRUE(pool->waitForDone(10000));
    settle();

    // Nothing was left behind that keeps the next workspace from searching.
    auto state = makeState();
    state->setFolderURL(tree.path());
    state->setGlobalSearchQuery("word");
    ASSERT_TRUE(waitUntil([&] { return !state->globalSearchResults().isEmpty(); }));
    EXPECT_EQ(state->globalSearchResults().size(), 50);
}

} // namespace
} // namespace quillon::test
