#include "WorkspaceTestSupport.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace quillon::test {
namespace {

using WorkspaceStateSessionTest = WorkspaceTest;

TEST_F(WorkspaceStateSessionTest, SessionKeysFollowTheState)
{
    const QString a = tree.write("a.md", "a");
    UserDefaults& d = UserDefaults::standard();
    auto state = makeState();
    state->setFolderURL(tree.path());
    state->openFile(a);
    EXPECT_EQ(d.stringValue("lastWorkspaceFolderPath"), tree.path());
    EXPECT_EQ(d.stringListValue("lastOpenTabPaths"), QStringList { a });
    EXPECT_EQ(d.stringValue("lastActiveTabPath"), a);
    EXPECT_EQ(d.stringListValue("lastExpandedPaths"), QStringList { tree.path() });

    state->closeTab(a);
    state->setFolderURL({});
    EXPECT_FALSE(d.contains("lastWorkspaceFolderPath"));
    EXPECT_FALSE(d.contains("lastActiveTabPath"));
    EXPECT_EQ(d.stringListValue("lastOpenTabPaths"), QStringList {});
    EXPECT_EQ(d.stringListValue("lastExpandedPaths"), QStringList {});
}

TEST_F(WorkspaceStateSessionTest, RestoreKeepsWhatStillExists)
{
    const QString a = tree.write("w/a.md", "alpha\n");
    const QString b = tree.write("w/b.md", "bravo\n");
    const QString sub = tree.mkdir("w/sub");
    UserDefaults& d = UserDefaults::standard();
    d.setString("lastWorkspaceFolderPath", tree.filePath("w"));
    d.setStringList("lastOpenTabPaths", { tree.filePath("w/gone.md"), b, sub, a });
    d.setString("lastActiveTabPath", tree.filePath("w/gone.md"));
    d.setStringList("lastExpandedPaths", { sub, tree.filePath("w/vanished") });

    auto state = makeState();
    EXPECT_EQ(state->folderURL(), tree.filePath("w"));
    EXPECT_EQ(state->openTabs(), (QStringList { b, a }));
    EXPECT_EQ(state->activeTabURL(), b);
    EXPECT_EQ(state->currentFileContent(), "bravo\n");
    EXPECT_TRUE(state->isExpanded(sub));
    EXPECT_FALSE(state->expandedPaths().contains(tree.filePath("w/vanished")));
    // The restore itself writes nothing back: the skipped paths stay stored.
    EXPECT_EQ(d.stringListValue("lastOpenTabPaths"),
        (QStringList { tree.filePath("w/gone.md"), b, sub, a }));
}

TEST_F(WorkspaceStateSessionTest, RestoreWithEverythingGone)
{
    const QString file = tree.write("was-a-folder", "now a file");
    UserDefaults& d = UserDefaults::standard();
    d.setString("lastWorkspaceFolderPath", file);
    d.setStringList("lastOpenTabPaths", { tree.filePath("x.md") });
    d.setString("lastActiveTabPath", tree.filePath("x.md"));
    auto state = makeState();
    EXPECT_TRUE(state->folderURL().isEmpty());
    EXPECT_EQ(state->rootNode(), nullptr);
    EXPECT_TRUE(state->openTabs().isEmpty());
    EXPECT_TRUE(state->activeTabURL().isEmpty());
    EXPECT_EQ(state->currentFileContent(), "");
}

TEST_F(WorkspaceStateSessionTest, RecentsMoveToTheFrontAndKeepTwenty)
{
    auto state = makeState();
    for (int i = 0; i < 21; ++i)
        state->addRecent(QStringLiteral("/r/%1.md").arg(i), false);
    ASSERT_EQ(state->recentEntities().size(), 20);
    EXPECT_EQ(state->recentEntities().first().url, "/r/20.md");
    EXPECT_EQ(state->recentEntities().last().url, "/r/1.md");

    const QUuid oldId = state->recentEntities().at(5).id;
    state->addRecent("/r/15.md", false);
    EXPECT_EQ(state->recentEntities().size(), 20);
    EXPECT_EQ(state->recentEntities().first().url, "/r/15.md");
    EXPECT_NE(state->recentEntities().first().id, oldId);
    EXPECT_EQ(state->recentEntities().count(state->recentEntities().first()), 1);

    reloadStandardDefaults();
    auto restarted = makeState();
    ASSERT_EQ(restarted->recentEntities().size(), 20);
    EXPECT_EQ(restarted->recentEntities().first().url, "/r/15.md");
}

TEST_F(WorkspaceStateSessionTest, RecentEntityJson)
{
    RecentEntity e = RecentEntity::make("/home/u/My Notes", true);
    e.lastOpened = QDateTime(QDate(2001, 1, 1), QTime(0, 1, 40), Qt::UTC);
    const QByteArray data = RecentEntity::encodeList({ e });
    const QJsonObject o = QJsonDocument::fromJson(data).array().at(0).toObject();
    EXPECT_EQ(o.keys(), (QStringList { "id", "isDirectory", "lastOpened", "url" }));
    EXPECT_EQ(o.value("url").toString(), "file:///home/u/My%20Notes");
    EXPECT_EQ(o.value("lastOpened").toDouble(), 100.0);
    EXPECT_TRUE(o.value("isDirectory").toBool());
    EXPECT_EQ(QUuid::fromString(o.value("id").toString()), e.id);
    EXPECT_EQ(RecentEntity::decodeList(data), QList<RecentEntity> { e });

    QJsonObject missing = o;
    missing.remove("lastOpened");
    EXPECT_FALSE(RecentEntity::decodeList(QJsonDocument(QJsonArray { o, missing }).toJson()));
    EXPECT_FALSE(RecentEntity::decodeList("not json"));
}

TEST_F(WorkspaceStateSessionTest, UndecodableRecentsStartEmptyAndAreLeftAlone)
{
    UserDefaults::standard().setData("recentEntities", "[{\"id\": 1}]");
    auto state = makeState();
    EXPECT_TRUE(state->recentEntities().isEmpty());
    EXPECT_EQ(UserDefaults::standard().dataValue("recentEntities"), QByteArray("[{\"id\": 1}]"));
}

} // namespace
} // namespace quillon::test
