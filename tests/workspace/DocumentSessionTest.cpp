#include "WorkspaceTestSupport.h"

#include "workspace/DocumentSession.h"

#include <QSignalSpy>

namespace quillon::test {
namespace {

class DocumentSessionTest : public WorkspaceTest
{
protected:
    void SetUp() override
    {
        WorkspaceTest::SetUp();
        a = tree.write("a.md", "hello world\n");
        state = makeState();
        session = &state->documentSession();
        connect();
    }

    void connect()
    {
        QObject::connect(session, &DocumentSession::textEdited, state.get(),
            [this](const TextEdit& edit) { edits.append(edit); });
        QObject::connect(session, &DocumentSession::textReplaced, state.get(),
            [this] { replaced.append(session->text()); });
    }

    std::unique_ptr<WorkspaceState> state;
    DocumentSession* session = nullptr;
    QString a;
    QList<TextEdit> edits;
    QStringList replaced;
};

TEST_F(DocumentSessionTest, RangeEditsAreAppliedPublishedAndWritten)
{
    state->openFile(a);
    EXPECT_EQ(replaced, QStringList { "hello world\n" });
    QSignalSpy content(state.get(), &WorkspaceState::currentFileContentChanged);

    session->applyUserEdit(5, 6, QStringLiteral(", there"));
    EXPECT_EQ(session->text(), "hello, there\n");
    EXPECT_EQ(state->currentFileContent(), "hello, there\n");
    EXPECT_EQ(content.size(), 1);
    state->flushPendingWrites();
    settle();
    EXPECT_EQ(tree.read("a.md"), "hello, there\n");
    ASSERT_EQ(edits.size(), 1);
    EXPECT_EQ(edits[0].position, 5);
    EXPECT_EQ(edits[0].removedLength, 6);
    EXPECT_EQ(edits[0].inserted, ", there");
    EXPECT_EQ(edits[0].resultLength, 13);

    // Out of range is clamped; a replacement by the same text is no edit at all.
    session->applyUserEdit(100, 3, QStringLiteral("!"));
    session->applyUserEdit(-4, 5, QStringLiteral("hello"));
    session->applyUserEdit(2, 0, QString());
    state->flushPendingWrites();
    settle();
    EXPECT_EQ(session->text(), "hello, there\n!");
    EXPECT_EQ(tree.read("a.md"), "hello, there\n!");
    ASSERT_EQ(edits.size(), 2);
    EXPECT_EQ(edits[1].position, 13);
    EXPECT_EQ(edits[1].removedLength, 0);
}

TEST_F(DocumentSessionTest, AWholeTextIsReportedAsTheOneStretchThatDiffers)
{
    state->openFile(a);
    session->setUserText(QStringLiteral("hello brave world\n"));
    session->setUserText(QStringLiteral("hello brave world\n")); // nothing new
    // An emoji replaced by another that shares its high surrogate stays whole.
    session->setUserText(QStringLiteral("hello \U0001F600 world\n"));
    session->setUserText(QStringLiteral("hello \U0001F601 world\n"));
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
        edit.applyTo(replay);
    EXPECT_EQ(replay, session->text());
    state->flushPendingWrites();
    settle();
    EXPECT_EQ(tree.read("a.md"), session->text().toUtf8());
}

TEST_F(DocumentSessionTest, AViewTellsItsOwnEchoByValue)
{
    const TextEdit typed { 5, 0, QStringLiteral("!"), 13 };
    EXPECT_TRUE(typed.isAlreadyIn(u"hello! world\n")); // the view that typed it
    EXPECT_FALSE(typed.isAlreadyIn(u"hello world\n")); // a view still before it
    EXPECT_FALSE(typed.isAlreadyIn(u"hello world!\n")); // same length, elsewhere
    const TextEdit retyped { 0, 1, QStringLiteral("h"), 12 };
    // A view before it: applying it would change nothing, so there is nothing to do either.
    EXPECT_TRUE(retyped.isAlreadyIn(u"hello world\n"));
    EXPECT_FALSE((TextEdit { 11, 0, QStringLiteral("xy"), 13 }).isAlreadyIn(u"hello world\nx"));
}

TEST_F(DocumentSessionTest, NothingHappensWithoutAnEditableDocument)
{
    session->applyUserEdit(0, 0, QStringLiteral("lost?"));
    session->setUserText(QStringLiteral("lost?"));
    EXPECT_TRUE(edits.isEmpty());
    EXPECT_EQ(session->text(), "");

    const QString latin1 = tree.write("latin1.md", "caf\xE9\n");
    state->openFile(latin1);
    session->setUserText(QStringLiteral("typed over it"));
    state->flushPendingWrites();
    settle();
    EXPECT_EQ(tree.read("latin1.md"), "caf\xE9\n");
    EXPECT_TRUE(prompts->alerts().isEmpty());
}

TEST_F(DocumentSessionTest, ViewsHearOfWholeReplacements)
{
    const QString b = tree.write("b.md", "bravo\n");
    state->openFile(a);
    state->openFile(b);
    state->selectTab(a);
    state->setCurrentFileContent(QStringLiteral("from outside\n"));
    EXPECT_EQ(replaced,
        (QStringList { "hello world\n", "bravo\n", "hello world\n", "from outside\n" }));
    EXPECT_TRUE(edits.isEmpty());
    state->flushPendingWrites();
    settle();
    EXPECT_EQ(tree.read("a.md"), "hello world\n") << "no edit of the user's";
}

TEST_F(DocumentSessionTest, WhatWasTypedIsOnDiskWhenTheTabClosesOrTheProgramEnds)
{
    const QString b = tree.write("b.md", "bravo\n");
    state->openFile(a);
    for (int i = 0; i < 30; ++i)
        session->applyUserEdit(0, 0, QStringLiteral("a"));
    state->closeTab(a);
    EXPECT_EQ(tree.read("a.md"), QString(30, u'a').toUtf8() + "hello world\n");

    state->openFile(b);
    for (int i = 0; i < 30; ++i)
        session->applyUserEdit(0, 0, QStringLiteral("b"));
    state.reset();
    EXPECT_EQ(tree.read("b.md"), QString(30, u'b').toUtf8() + "bravo\n");
}

} // namespace
} // namespace quillon::test
