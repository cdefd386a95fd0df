// ProjectedDocument maps offsets through an index of its tables kept edit by edit: after every
// kind of change its answers must be the ones the projection finds by scanning the storage.
#include "editor/block/ProjectedDocument.h"
#include "markdown/MarkdownTableProjection.h"
#include "platform/TextLines.h"

#include <gtest/gtest.h>

#include <QRandomGenerator>
#include <QTextCursor>
#include <QTextDocument>

#include <string>

using namespace quillon;
using P = MarkdownTableProjection;

namespace {

const QChar kObject(0xFFFC);

const QStringList kTables { QStringLiteral("| a | b |\n|---|---|\n| 1 | 2 |"),
    QStringLiteral("| x |\n| - |\n| a longer cell |\n| y |"), QStringLiteral("|h|\n|:-:|") };

// An attachment for a table's lines; with no source text it stands for no Markdown at all.
std::shared_ptr<const TableAttachment> attachmentFor(const QString& lines, bool withSource = true)
{
    const auto table = MarkdownTable::parse(lines, { 0, lines.size() });
    return std::make_shared<TableAttachment>(*table, withSource ? lines : QString(), false, 15);
}

// `count` table characters in a row, as a paste or an undo brings them.
AttributedText tableCharacters(QRandomGenerator& random, int count)
{
    AttributedText characters(QString(count, kObject));
    for (int i = 0; i < count; ++i) {
        const auto attachment
            = attachmentFor(kTables[random.bounded(int(kTables.size()))], random.bounded(4) > 0);
        characters.addAttribute<TextAttribute::Attachment>({ i, 1 }, attachment);
    }
    return characters;
}

QString randomText(QRandomGenerator& random, int maxLength)
{
    // Pipes and line breaks make and break tables; a stray object character is no table, unless
    // typed right after one and so taking its attachment over.
    static const QString letters = QStringLiteral("ab |\n") + kObject;
    QString text;
    for (int n = random.bounded(1, maxLength + 1); n > 0; --n)
        text += letters[random.bounded(int(letters.size()))];
    return text;
}

QString randomMarkdown(QRandomGenerator& random)
{
    QString text;
    for (int parts = random.bounded(1, 6); parts > 0; --parts) {
        text += QStringLiteral("Prose | with a pipe\n\n");
        if (random.bounded(3) > 0)
            text += kTables[random.bounded(int(kTables.size()))] + QStringLiteral("\n\n");
    }
    return text;
}

// Every offset (the documents are small), and random ranges, against the scan of the storage.
void expectAgreesWithScan(const ProjectedDocument& projected, QRandomGenerator& random)
{
    const AttributedText& storage = projected.storage();
    const QString markdown = P::markdown(storage);
    ASSERT_EQ(projected.tableCount(), P::tableCount(storage));
    ASSERT_EQ(projected.markdown(), markdown);
    for (qsizetype s = -1; s <= storage.length() + 1; ++s)
        ASSERT_EQ(projected.markdownOffset(s), P::markdownOffset(s, storage)) << "storage " << s;
    for (qsizetype m = -1; m <= markdown.size() + 1; ++m)
        ASSERT_EQ(projected.storageOffset(m), P::storageOffset(m, storage)) << "markdown " << m;
    for (int i = 0; i < 30; ++i) {
        const int from = random.bounded(int(storage.length()) + 1);
        const int to = from + random.bounded(int(storage.length()) - from + 1);
        ASSERT_EQ(projected.markdown(from, to), P::markdown(storage.subText({ from, to - from })))
            << "range " << from << ".." << to;
    }
    // Out of range, clamped to the storage.
    ASSERT_EQ(projected.markdown(-5, storage.length() + 5), markdown);
    ASSERT_EQ(projected.markdown(storage.length(), 0), QString());
}

} // namespace

TEST(ProjectedDocument, OffsetsAndMarkdownAgreeWithTheScanThroughRandomEdits)
{
    ProjectedDocument::setVerifiesTableIndex(true);
    QTextDocument document;
    ProjectedDocument projected(document);
    // The user's own edits reach the storage as the editor mirrors them.
    bool byUser = false;
    QObject::connect(
        &document, &QTextDocument::contentsChange, [&](int position, int removed, int added) {
            if (byUser)
                projected.mirrorDocumentChange(position, removed, added);
        });
    QRandomGenerator random(20240611);
    projected.load(randomMarkdown(random), false, 15);
    for (int step = 0; step < 400; ++step) {
        const int length = int(projected.storage().length());
        const int at = random.bounded(length + 1);
        const int span = qMin(random.bounded(5), length - at);
        const QString& text = projected.storage().text();
        const qsizetype table = text.indexOf(kObject, random.bounded(length + 1));
        const int kind = random.bounded(8);
        switch (kind) {
        case 0: // typing
            projected.replace({ at, 0 }, randomText(random, 3));
            break;
        case 1: // deleting, tables among the characters or not
            projected.replace({ at, span }, QString());
            break;
        case 2: // tables pasted over a selection
            projected.replace({ at, span }, tableCharacters(random, random.bounded(1, 4)));
            break;
        case 3: // a table deleted alone
            if (table >= 0)
                projected.replace({ table, 1 }, QString());
            break;
        case 4: { // typed in the view
            byUser = true;
            QTextCursor cursor(&document);
            cursor.setPosition(at);
            cursor.setPosition(at + span, QTextCursor::KeepAnchor);
            cursor.insertText(ProjectedDocument::toDocumentText(randomText(random, 4)));
            byUser = false;
            break;
        }
        case 5: // a cell edited in the grid: the same character, a table of another length
            if (const TableAttachment* old = P::tableAt(projected.storage(), table)) {
                MarkdownTable changed = old->table();
                changed.setCell(0, 0, QString(random.bounded(1, 30), u'w'));
                byUser = true;
                QTextCursor cursor(&document);
                cursor.setPosition(int(table));
                cursor.setPosition(int(table) + 1, QTextCursor::KeepAnchor);
                cursor.setCharFormat(ProjectedDocument::objectFormat(old->withTable(changed)));
                byUser = false;
            }
            break;
        case 6: // text over several lines replacing a selection (an undo)
            projected.replace({ at, span }, randomText(random, 12));
            break;
        default:
            if (random.bounded(4) == 0 || length > 600)
                projected.load(randomMarkdown(random), false, 15);
            break;
        }
        SCOPED_TRACE("step " + std::to_string(step) + ", change " + std::to_string(kind));
        expectAgreesWithScan(projected, random);
        if (testing::Test::HasFatalFailure())
            return;
    }
}

TEST(ProjectedDocument, StylingThatChangesTheCharactersLeavesNoIndexOutOfDate)
{
    QTextDocument document;
    ProjectedDocument projected(document);
    const QString markdown
        = QStringLiteral("Intro\n\n") + kTables[0] + QStringLiteral("\n\nOutro\n");
    projected.load(markdown, false, 15);
    QRandomGenerator random(7);
    // Styling must keep the characters; one that does not gets the index built again.
    projected.styleStorage([](AttributedText& storage) {
        storage.replaceCharacters({ 0, 0 }, QStringLiteral("xyz"));
    });
    expectAgreesWithScan(projected, random);
    EXPECT_EQ(projected.markdown(), QStringLiteral("xyz") + markdown);
}

TEST(ProjectedDocument, WhetherTheTextHoldsAnUnpairedSurrogateFollowsEveryChange)
{
    // Halves of pairs put in, joined, split and taken out, each answer checked against a
    // reading of the whole storage.
    QTextDocument document;
    ProjectedDocument projected(document);
    projected.load(QStringLiteral("ab \U0001F600 cd\n\nef"), false, 15);
    const QChar high(char16_t(0xD83D));
    const QChar low(char16_t(0xDE00));
    const auto expectAgrees = [&](const char* step) {
        EXPECT_EQ(
            projected.isValidUtf16(), quillon::textlines::isValidUtf16(projected.storage().text()))
            << step;
    };
    expectAgrees("loaded");
    projected.replace({ 1, 0 }, QString(high));
    expectAgrees("a lone high half");
    projected.replace({ 2, 0 }, QString(low));
    expectAgrees("joined into a pair");
    projected.replace({ 3, 1 }, QString()); // the high half of the pair that was loaded
    expectAgrees("a pair split");
    projected.replace({ 3, 1 }, QString());
    expectAgrees("its low half taken out");
    projected.replace({ 0, 0 }, QString(low) + QString(high));
    expectAgrees("two lone halves, the wrong way round");
    projected.replace({ 0, 2 }, QStringLiteral("\U0001F600"));
    expectAgrees("replaced by a pair");
    const qsizetype end = projected.storage().length();
    projected.replace({ end, 0 }, QString(high));
    expectAgrees("a high half at the end");
    projected.replace({ end + 1, 0 }, QString(low));
    expectAgrees("completed at the end");
}

// A text long enough to be held by window: each table's line has the height its Markdown's line
// count gives from the load on, and after every height is estimated again.
TEST(ProjectedDocument, ALongTextsTablesAreAsHighAsTheirLinesFromTheLoadOn)
{
    QString markdown;
    while (markdown.size() < 400 * 1024)
        markdown += QStringLiteral("A paragraph.\n\n") + kTables[markdown.size() % 3]
            + QStringLiteral("\n\n");
    QTextDocument document;
    ProjectedDocument projected(document);
    projected.setEstimate([](qsizetype) { return 20.0; }, [](int lines) { return 100.0 * lines; });
    projected.load(markdown, false, 15);
    const TextWindow& window = projected.window();
    for (const char* when : { "loaded", "estimated again" }) {
        int tables = 0;
        for (int line = 0; line < window.lineCount(); ++line) {
            const TableAttachment* table = P::tableAt(projected.storage(), window.lineStart(line));
            const double expected = table ? 100.0 * table->markdownLineCount() : 20.0;
            ASSERT_EQ(window.height(line), expected) << when << " line " << line;
            tables += table ? 1 : 0;
        }
        EXPECT_EQ(tables, P::tableCount(projected.storage())) << when;
        projected.estimateAll();
    }
}
