// The find model of one document, without any view: its matches over the Markdown (tables
// included), the count it publishes, and how it follows edits and a text replaced from outside.
#include "editor/document/DocumentFind.h"

#include "markdown/MarkdownTextViewSupport.h"
#include "support/TestSupport.h"
#include "workspace/Document.h"
#include "workspace/WorkspaceState.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QRandomGenerator>
#include <QSignalSpy>

using namespace quillon;
using namespace quillon::test;

namespace {

struct FindHarness
{
    TempTree tree;
    std::unique_ptr<WorkspaceState> workspace;
    Document* document = nullptr;
    std::unique_ptr<DocumentFind> find;
    QList<int> counts; // every count the find bar was told

    explicit FindHarness(const QString& markdown)
    {
        const QString path = tree.write(QStringLiteral("doc.md"), markdown.toUtf8());
        workspace = std::make_unique<WorkspaceState>();
        workspace->openFile(path);
        QCoreApplication::processEvents();
        document = workspace->activeDocument();
        find = std::make_unique<DocumentFind>(*document, *workspace);
        QObject::connect(workspace.get(), &WorkspaceState::totalLocalMatchCountChanged, find.get(),
            [this] { counts.append(workspace->totalLocalMatchCount()); });
    }
    void search(const QString& query) const
    {
        workspace->setIsLocalSearchVisible(true);
        workspace->setLocalSearchQuery(query);
        QCoreApplication::processEvents(); // the count is published on the next turn
    }
    QList<TextRange> fullSearch() const
    {
        return MarkdownTextViewSupport::findMatches(
            document->text().toString(), workspace->localSearchQuery());
    }
};

const QString kTableAndText = QStringLiteral("Cat in text.\n\n| Animal | Note |\n|---|---|\n"
                                             "| cat | a CAT here |\n\nLast cat.\n");

} // namespace

TEST(DocumentFind, MatchesTheMarkdownTablesIncludedAndPublishesOneCount)
{
    FindHarness h(kTableAndText);
    QSignalSpy searched(h.find.get(), &DocumentFind::searched);
    h.search(QStringLiteral(" cat "));
    EXPECT_EQ(searched.size(), 2); // the bar shown, then its query
    const QString text = h.document->text().toString();
    QList<qsizetype> starts;
    for (const TextRange& match : h.find->matches())
        starts.append(match.location);
    EXPECT_EQ(starts,
        (QList<qsizetype> {
            0, text.indexOf(u"| cat") + 2, text.indexOf(u"CAT"), text.indexOf(u"cat.") }));
    EXPECT_EQ(h.workspace->totalLocalMatchCount(), 4);
    EXPECT_EQ(h.counts, QList<int> { 4 });

    // Steps are the bar's: the model only passes them on, and reveals within range.
    QSignalSpy stepped(h.find.get(), &DocumentFind::stepped);
    h.workspace->setCurrentLocalMatchIndex(7);
    EXPECT_EQ(stepped.size(), 1);
    EXPECT_EQ(h.find->activeIndex(), 7);
    EXPECT_EQ(h.find->revealedIndex(), 3);

    // A closed bar drops the matches and leaves the count; an empty query the same.
    h.workspace->setIsLocalSearchVisible(false);
    QCoreApplication::processEvents();
    EXPECT_TRUE(h.find->matches().isEmpty());
    EXPECT_EQ(h.workspace->totalLocalMatchCount(), 4);
    h.search(QString());
    EXPECT_TRUE(h.find->matches().isEmpty());
    EXPECT_EQ(h.counts, QList<int> { 4 });

    // A document not on screen neither searches nor counts, and searches anew when shown.
    h.find->setActive(false);
    h.search(QStringLiteral("note"));
    EXPECT_TRUE(h.find->matches().isEmpty());
    h.document->applyEdit(0, 0, QStringLiteral("note "), nullptr);
    QCoreApplication::processEvents();
    EXPECT_EQ(h.workspace->totalLocalMatchCount(), 4);
    h.find->setActive(true);
    QCoreApplication::processEvents();
    EXPECT_EQ(h.find->matches(), h.fullSearch());
    EXPECT_EQ(h.workspace->totalLocalMatchCount(), 2);
}

TEST(DocumentFind, EditsKeepTheMatchesThoseOfAWholeSearchAndAReplacementSearchesAnew)
{
    FindHarness h(kTableAndText + kTableAndText);
    h.search(QStringLiteral("aa"));
    // Random edits, many of them making and breaking runs of the letter, in tables and out.
    QRandomGenerator random(7);
    const QStringList pieces = { QStringLiteral("a"), QStringLiteral("aaa"),
        QStringLiteral("| a |"), QString(), QStringLiteral("\n"), QStringLiteral("xA") };
    for (int i = 0; i < 300; ++i) {
        const qsizetype size = h.document->text().size();
        const qsizetype at = random.bounded(int(size + 1));
        const qsizetype removed = random.bounded(int(qMin<qsizetype>(4, size - at) + 1));
        h.document->applyEdit(at, removed, pieces.at(random.bounded(int(pieces.size()))), nullptr);
        ASSERT_EQ(h.find->matches(), h.fullSearch()) << "after edit " << i;
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(h.workspace->totalLocalMatchCount(), h.fullSearch().size());

    // Undo walks the same way.
    for (int i = 0; i < 20 && h.document->canUndo(); ++i) {
        h.document->undo(nullptr);
        ASSERT_EQ(h.find->matches(), h.fullSearch()) << "after undo " << i;
    }

    // Replaced from outside: searched again, and counted once.
    QCoreApplication::processEvents();
    h.counts.clear();
    h.document->replaceText(QStringLiteral("aaaa | aa |"));
    QCoreApplication::processEvents();
    EXPECT_EQ(h.find->matches(), (QList<TextRange> { { 0, 2 }, { 2, 2 }, { 7, 2 } }));
    EXPECT_EQ(h.counts, QList<int> { 3 });
}

TEST(DocumentFind, ALongTextIsSearchedPartByPartAndEndsAsOneWholeSearch)
{
    // Over three million characters, with matches across where one part of the search ends and
    // the next begins, and the one to reveal only near the end.
    QString line = QStringLiteral("plain words and more words\n");
    QString text;
    while (text.size() < 3 * 1024 * 1024 + 100)
        text += line;
    for (const qsizetype at : { qsizetype(1 << 20) - 3, qsizetype(2 << 20) - 1,
             qsizetype(3 << 20) - 5, text.size() - 20 })
        text.replace(at, 6, QStringLiteral("NeedlE"));
    FindHarness h(text);
    QSignalSpy searched(h.find.get(), &DocumentFind::searched);
    h.workspace->setIsLocalSearchVisible(true);
    h.workspace->setCurrentLocalMatchIndex(3);
    searched.clear();

    h.workspace->setLocalSearchQuery(QStringLiteral("needle"));
    EXPECT_LT(h.find->matches().size(), 4);
    ASSERT_TRUE(waitUntil([&] { return !h.counts.isEmpty(); }));
    EXPECT_EQ(h.find->matches(), h.fullSearch());
    EXPECT_EQ(h.find->matches().size(), 4);
    EXPECT_EQ(h.counts, QList<int> { 4 });
    // Told again once the match to reveal was found.
    EXPECT_EQ(searched.size(), 2);

    // An edit while the search goes on: the search starts again over the text as it is now.
    h.counts.clear();
    h.workspace->setLocalSearchQuery(QStringLiteral("needl"));
    h.document->applyEdit(0, 0, QStringLiteral("needle "), nullptr);
    h.document->applyEdit(text.size() / 2, 3, QStringLiteral("NEEDLE"), nullptr);
    ASSERT_TRUE(waitUntil([&] { return !h.counts.isEmpty(); }));
    EXPECT_EQ(h.find->matches(), h.fullSearch());
    EXPECT_EQ(h.counts, QList<int> { 6 });
    // Once it has ended, edits are followed as in any text.
    h.document->applyEdit(3, 0, QStringLiteral("needle"), nullptr);
    EXPECT_EQ(h.find->matches(), h.fullSearch());
}
