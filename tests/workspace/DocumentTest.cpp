#include "WorkspaceTestSupport.h"

#include "workspace/Document.h"

#include <QSignalSpy>

namespace quillon::test {
namespace {

class DocumentTest : public WorkspaceTest
{
protected:
    void SetUp() override
    {
        WorkspaceTest::SetUp();
        a = tree.write("a.md", "hello world\n");
        state = makeState();
    }

    // Opens the file and listens to its document.
    Document& open(const QString& path)
    {
        state->openFile(path);
        Document* document = state->activeDocument();
        QObject::connect(document, &Document::edited, state.get(),
            [this](const TextEdit& edit, const QObject* origin) {
                edits.append(edit);
                origins.append(origin);
            });
        QObject::connect(document, &Document::replaced, state.get(),
            [this, document] { replaced.append(document->text().toString()); });
        return *document;
    }

    std::unique_ptr<WorkspaceState> state;
    QString a;
    QList<TextEdit> edits;
    QList<const QObject*> origins;
    QStringList replaced;
};

TEST_F(DocumentTest, RangeEditsAreAppliedPublishedOnceWithTheirOriginAndWritten)
{
    Document& document = open(a);
    EXPECT_TRUE(replaced.isEmpty()) << "reading the file is no change";
    QSignalSpy content(state.get(), &WorkspaceState::currentFileContentChanged);
    const quint64 before = document.version();

    QObject view;
    document.applyEdit(5, 6, QStringLiteral(", there"), &view);
    EXPECT_EQ(document.text().toString(), "hello, there\n");
    EXPECT_EQ(state->currentFileContent(), "hello, there\n");
    EXPECT_EQ(content.size(), 1);
    state->flushPendingWrites();
    settle();
    EXPECT_EQ(tree.read("a.md"), "hello, there\n");
    ASSERT_EQ(edits.size(), 1);
    EXPECT_EQ(origins[0], &view);
    EXPECT_EQ(edits[0].position, 5);
    EXPECT_EQ(edits[0].removedLength, 6);
    EXPECT_EQ(edits[0].inserted, ", there");
    EXPECT_EQ(edits[0].resultLength, 13);
    EXPECT_EQ(edits[0].version, document.version());
    EXPECT_GT(document.version(), before);

    // Out of range is clamped; a replacement by the same text is no edit at all.
    document.applyEdit(100, 3, QStringLiteral("!"), nullptr);
    document.applyEdit(-4, 5, QStringLiteral("hello"), nullptr);
    document.applyEdit(2, 0, QString(), nullptr);
    state->flushPendingWrites();
    settle();
    EXPECT_EQ(document.text().toString(), "hello, there\n!");
    EXPECT_EQ(tree.read("a.md"), "hello, there\n!");
    ASSERT_EQ(edits.size(), 2);
    EXPECT_EQ(edits[1].position, 13);
    EXPECT_EQ(edits[1].removedLength, 0);
}

TEST_F(DocumentTest, AWholeTextIsReportedAsTheOneStretchThatDiffers)
{
    Document& document = open(a);
    document.applyUserText(QStringLiteral("hello brave world\n"));
    document.applyUserText(QStringLiteral("hello brave world\n")); // nothing new
    // An emoji replaced by another that shares its high surrogate stays whole.
    document.applyUserText(QStringLiteral("hello \U0001F600 world\n"));
    document.applyUserText(QStringLiteral("hello \U0001F601 world\n"));
    ASSERT_EQ(edits.size(), 3);
    EXPECT_EQ(edits[0].position, 6);
    EXPECT_EQ(edits[0].removedLength, 0);
    EXPECT_EQ(edits[0].inserted, "brave ");
    EXPECT_EQ(edits[2].position, 6);
    EXPECT_EQ(edits[2].removedLength, 2);
    EXPECT_EQ(edits[2].inserted, QStringLiteral("\U0001F601"));

    // Replaying each edit on the text before it gives the text after it.
    QString replay = QStringLiteral("hello world\n");
    for (const TextEdit& edit : edits)
        replay.replace(edit.position, edit.removedLength, edit.inserted);
    EXPECT_EQ(replay, document.text().toString());
    state->flushPendingWrites();
    settle();
    EXPECT_EQ(tree.read("a.md"), document.text().toString().toUtf8());
}

// Every view of a document shares one history: a step undone is the document's last change,
// whichever view made it, and the text comes back byte for byte.
TEST_F(DocumentTest, UndoAndRedoWalkTheOneSharedHistory)
{
    Document& document = open(a);
    QObject blocks, source;
    document.applyEdit(11, 0, QStringLiteral("!"), &blocks);
    document.breakTypingRun();
    document.applyEdit(0, 5, QStringLiteral("HELLO"), &source, Document::EditKind::Command, 0, 5);
    ASSERT_TRUE(document.canUndo());

    const auto undone = document.undo(&blocks);
    ASSERT_TRUE(undone);
    EXPECT_EQ(undone->caretAfter, 0);
    EXPECT_EQ(document.text().toString(), "hello world!\n");
    EXPECT_EQ(origins.last(), &blocks) << "the view that asked applies the step itself";
    EXPECT_TRUE(document.undo(&source));
    EXPECT_EQ(document.text().toString(), "hello world\n");
    EXPECT_FALSE(document.undo(&source));
    EXPECT_TRUE(document.redo(&source));
    EXPECT_TRUE(document.redo(&source));
    EXPECT_EQ(document.text().toString(), "HELLO world!\n");
    state->flushPendingWrites();
    settle();
    EXPECT_EQ(tree.read("a.md"), "HELLO world!\n");

    // A change from outside ends the history.
    document.replaceText(QStringLiteral("from outside\n"));
    EXPECT_FALSE(document.canUndo());
    EXPECT_FALSE(document.undo(&blocks));
}

TEST_F(DocumentTest, AnUnreadableDocumentIsNeverWritten)
{
    const QString latin1 = tree.write("latin1.md", "caf\xE9\n");
    Document& document = open(latin1);
    EXPECT_FALSE(document.isReadable());
    document.applyUserText(QStringLiteral("typed over it"));
    state->flushPendingWrites();
    settle();
    EXPECT_EQ(tree.read("latin1.md"), "caf\xE9\n");
    EXPECT_FALSE(document.saveError().isEmpty());
    EXPECT_TRUE(prompts->alerts().isEmpty());
}

TEST_F(DocumentTest, ViewsHearOfWholeReplacements)
{
    const QString b = tree.write("b.md", "bravo\n");
    Document& document = open(a);
    state->openFile(b);
    state->selectTab(a);
    EXPECT_EQ(state->activeDocument(), &document) << "a tab keeps its document";
    state->setCurrentFileContent(QStringLiteral("from outside\n"));
    EXPECT_EQ(replaced, QStringList { "from outside\n" });
    EXPECT_TRUE(edits.isEmpty());
    state->flushPendingWrites();
    settle();
    EXPECT_EQ(tree.read("a.md"), "hello world\n") << "no edit of the user's";
}

// Another program changes a long file across the border of two of the text's pieces, and in a
// run of equal characters: the document holds the file's text, reports the one stretch that
// differs, keeps sharing the pieces away from it and has no history left.
TEST_F(DocumentTest, AFileChangedByAnotherProgramIsTakenAsTheStretchThatDiffers)
{
    QString text;
    for (int i = 0; text.size() < 8 * ChunkedText::kPiece; ++i)
        text += QStringLiteral("Line %1 of a long file.\n").arg(i);
    text.replace(5 * ChunkedText::kPiece, 40, QString(40, QLatin1Char('a')));
    const QString path = tree.write("long.md", text.toUtf8());
    Document& document = open(path);
    document.applyEdit(0, 0, QStringLiteral("#"), nullptr);
    state->flushPendingWrites();
    text.prepend(u'#');
    ASSERT_TRUE(document.canUndo());
    const ChunkedText before = document.text();
    struct Change
    {
        qsizetype position;
        qsizetype removed;
        QString inserted;
        ReplacedStretch expected;
    };
    const qsizetype border = 3 * ChunkedText::kPiece;
    const qsizetype run = 5 * ChunkedText::kPiece + 1;
    const Change changes[] = {
        { border - 3, 7, QStringLiteral("changed"), { border - 3, 7, 7, {} } },
        // Two more of the same character: where they go cannot be told, only how many.
        { run + 10, 0, QStringLiteral("aa"), { run + 40, 0, 2, {} } },
    };
    for (const Change& change : changes) {
        text.replace(change.position, change.removed, change.inserted);
        tree.write("long.md", text.toUtf8());
        replaced.clear();
        document.followChangeOnDisk();
        ASSERT_EQ(replaced.size(), 1);
        EXPECT_TRUE(document.text() == QStringView(text));
        const ReplacedStretch stretch = document.lastReplacement();
        EXPECT_EQ(stretch.position, change.expected.position);
        EXPECT_EQ(stretch.removedLength, change.expected.removedLength);
        EXPECT_EQ(stretch.insertedLength, change.expected.insertedLength);
        EXPECT_FALSE(document.canUndo());
    }
    EXPECT_EQ(document.text().pieces().first().constData(), before.pieces().first().constData());
    EXPECT_EQ(document.text().pieces().last().constData(), before.pieces().last().constData());
    state->flushPendingWrites();
    EXPECT_EQ(tree.read("long.md"), text.toUtf8());
    EXPECT_TRUE(edits.size() == 1) << "the change from outside is no edit";
}

TEST_F(DocumentTest, AFileTouchedButNotChangedIsNoChangeWhateverItsBytes)
{
    // A byte-order mark, CR LF breaks and letters of two bytes: the file is longer than the text.
    const QString path = tree.write("ends.md",
        "\xEF\xBB\xBFGr\xC3\xBC\xC3\x9F"
        "e\r\nzwei\r\n");
    Document& document = open(path);
    const auto touched = [&] {
        QFile file(path);
        return file.open(QIODevice::ReadWrite)
            && file.setFileTime(
                QDateTime::currentDateTime().addSecs(60), QFileDevice::FileModificationTime);
    };
    // As read, then as written again.
    for (int pass = 0; pass < 2; ++pass) {
        ASSERT_TRUE(touched());
        document.followChangeOnDisk();
        EXPECT_TRUE(replaced.isEmpty()) << pass;
        EXPECT_FALSE(document.isDiskQuestionOpen()) << pass;
        document.applyEdit(0, 0, QStringLiteral("\u00C4"), nullptr);
        state->flushPendingWrites();
        settle();
    }
    EXPECT_EQ(tree.read("ends.md"),
        "\xEF\xBB\xBF\xC3\x84\xC3\x84Gr\xC3\xBC\xC3\x9F"
        "e\r\nzwei\r\n");
    // Another length is another text.
    tree.write("ends.md", "other\n");
    document.followChangeOnDisk();
    EXPECT_EQ(replaced, QStringList { QStringLiteral("other\n") });
}

TEST_F(DocumentTest, WhatWasTypedIsOnDiskWhenTheTabClosesOrTheProgramEnds)
{
    const QString b = tree.write("b.md", "bravo\n");
    Document* document = &open(a);
    for (int i = 0; i < 30; ++i)
        document->applyEdit(0, 0, QStringLiteral("a"), nullptr);
    state->closeTab(a);
    EXPECT_EQ(tree.read("a.md"), QString(30, u'a').toUtf8() + "hello world\n");

    document = &open(b);
    for (int i = 0; i < 30; ++i)
        document->applyEdit(0, 0, QStringLiteral("b"), nullptr);
    state.reset();
    EXPECT_EQ(tree.read("b.md"), QString(30, u'b').toUtf8() + "bravo\n");
}

} // namespace
} // namespace quillon::test
