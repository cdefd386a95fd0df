#include "workspace/MarkdownUndoStack.h"

#include <gtest/gtest.h>

using namespace quillon;

TEST(MarkdownReplacement, BetweenFindsTheSmallestChangeAndRoundTrips)
{
    const struct
    {
        QString before, after;
        int position;
        QString removed, inserted;
    } cases[] = {
        { "abc", "abXc", 2, "", "X" },
        { "abc", "ac", 1, "b", "" },
        { "aaaa", "aaaaa", 4, "", "a" },
        { "", "new", 0, "", "new" },
        { "same", "same", 4, "", "" },
        // A changed emoji is replaced whole, never half a surrogate pair.
        { QString::fromUtf8("x\xF0\x9F\x98\x80y"), QString::fromUtf8("x\xF0\x9F\x98\x81y"), 1,
            QString::fromUtf8("\xF0\x9F\x98\x80"), QString::fromUtf8("\xF0\x9F\x98\x81") },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.before.toStdString() + " -> " + c.after.toStdString());
        const MarkdownReplacement change = MarkdownReplacement::between(c.before, c.after);
        EXPECT_EQ(change.position, c.position);
        EXPECT_EQ(change.removed, c.removed);
        EXPECT_EQ(change.inserted, c.inserted);
        QString text = c.before;
        ASSERT_TRUE(change.applyTo(text));
        EXPECT_EQ(text, c.after);
        ASSERT_TRUE(change.inverted().applyTo(text));
        EXPECT_EQ(text, c.before);
    }
}

TEST(MarkdownReplacement, BetweenLongTextsFindsTheChangeAtAnyOffset)
{
    QString base;
    for (int i = 0; base.size() < 1300; ++i)
        base += QStringLiteral("line %1 of text\n").arg(i);
    const QString repeated(1300, QLatin1Char('a'));
    for (qsizetype at : { qsizetype(0), qsizetype(1), qsizetype(255), qsizetype(256),
             qsizetype(257), qsizetype(511), qsizetype(700), base.size() - 257, base.size() - 256,
             base.size() - 1, base.size() }) {
        SCOPED_TRACE(at);
        QString after = base;
        after.insert(at, QStringLiteral("XY"));
        MarkdownReplacement change = MarkdownReplacement::between(base, after);
        EXPECT_EQ(change.position, at);
        EXPECT_EQ(change.removed, QString());
        EXPECT_EQ(change.inserted, QStringLiteral("XY"));
        change = MarkdownReplacement::between(after, base);
        EXPECT_EQ(change.position, at);
        EXPECT_EQ(change.removed, QStringLiteral("XY"));

        // In a run of equal characters the change is placed as late as it can be.
        after = repeated;
        after.remove(qMin(at, repeated.size() - 1), 1);
        change = MarkdownReplacement::between(repeated, after);
        EXPECT_EQ(change.position, after.size());
        EXPECT_EQ(change.removed, QStringLiteral("a"));
    }
}

TEST(MarkdownReplacement, RefusesToApplyToTextThatNoLongerHoldsTheRemovedPart)
{
    const MarkdownReplacement change = MarkdownReplacement::between("hello world", "hello there");
    QString other = QStringLiteral("goodbye");
    EXPECT_FALSE(change.applyTo(other));
    EXPECT_EQ(other, "goodbye");
}

TEST(MarkdownUndoStack, TypedCharactersMergeUntilTheRunIsBroken)
{
    MarkdownUndoStack stack;
    QString text;
    auto type = [&](const QString& s) {
        const QString before = text;
        text += s;
        stack.record(MarkdownReplacement::between(before, text), MarkdownUndoStack::Kind::Typing);
    };
    type("a");
    type("b");
    type("c");
    EXPECT_EQ(stack.undoCount(), 1);
    stack.breakTypingRun();
    type("d");
    EXPECT_EQ(stack.undoCount(), 2);
    type("\n"); // a line break is a step of its own
    type("e");
    EXPECT_EQ(stack.undoCount(), 4);

    auto undo = stack.takeUndo();
    ASSERT_TRUE(undo);
    ASSERT_TRUE(undo->applyTo(text));
    EXPECT_EQ(text, "abcd\n");
    EXPECT_EQ(undo->caretAfter, 5);
    while (auto step = stack.takeUndo())
        ASSERT_TRUE(step->applyTo(text));
    EXPECT_EQ(text, "");
    EXPECT_EQ(stack.redoCount(), 4);
    auto redo = stack.takeRedo();
    ASSERT_TRUE(redo && redo->applyTo(text));
    EXPECT_EQ(text, "abc");
}

TEST(MarkdownUndoStack, CommandsAreStepsOfTheirOwnAndANewStepDropsTheRedoHistory)
{
    MarkdownUndoStack stack;
    stack.record(MarkdownReplacement::between("x", "xa"), MarkdownUndoStack::Kind::Typing);
    stack.record(MarkdownReplacement::between("xa", "xab"), MarkdownUndoStack::Kind::Command);
    stack.record(MarkdownReplacement::between("xab", "xabc"), MarkdownUndoStack::Kind::Typing);
    EXPECT_EQ(stack.undoCount(), 3);
    stack.takeUndo();
    EXPECT_TRUE(stack.canRedo());
    stack.record(MarkdownReplacement::between("xab", "xabZ"), MarkdownUndoStack::Kind::Command);
    EXPECT_FALSE(stack.canRedo());
    stack.record(MarkdownReplacement::between("same", "same"), MarkdownUndoStack::Kind::Command);
    EXPECT_EQ(stack.undoCount(), 3);
    stack.clear();
    EXPECT_FALSE(stack.canUndo());
    EXPECT_FALSE(stack.canRedo());
}
