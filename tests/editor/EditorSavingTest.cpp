// What typing in the block editor does to the file when another program changes it too: the
// question is left open for the user (never a modal box a keystroke could answer), keys typed
// meanwhile all land, nothing is written until it is answered, and whatever the user answers, the
// view, the workspace and the disk agree, and the next keystroke never brings back the other
// version.
#include "EditorHarness.h"

#include "support/ScriptedUserPrompts.h"
#include "workspace/Document.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QSignalSpy>
#include <QTextDocument>

#include <sys/stat.h>

using namespace quillon;
using namespace quillon::test;

namespace {

QString shown(const EditorHarness& h)
{
    return h.view()->document()->toRawText();
}

Document::DiskChoice choiceNamed(const QString& name)
{
    if (name == QLatin1String("Keep My Version"))
        return Document::DiskChoice::KeepMine;
    if (name == QLatin1String("Load Disk Version"))
        return Document::DiskChoice::LoadDisk;
    return Document::DiskChoice::Later;
}

} // namespace

TEST(EditorSaving, AChangeOnDiskWhileTypingEndsAsTheUserChose)
{
    struct Case
    {
        const char* answer;
        QString afterX; // view and workspace after typing X and answering
        QByteArray diskAfterX;
        QString afterY; // after typing Y at the end
        QByteArray diskAfterY;
    };
    const Case cases[] = {
        { "Load Disk Version", "theirs", "theirs", "theirsY", "theirsY" },
        { "Keep My Version", "mineX", "mineX", "mineXY", "mineXY" },
        // Put off: nothing is written over the other version, and typing does not ask again.
        { "Decide Later", "mineX", "theirs", "mineXY", "theirs" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        ScriptedUserPrompts& prompts = ScriptedUserPrompts::installNew();
        EditorHarness h(QStringLiteral("mine"));
        prompts.setAlertHandler([&](const UserPrompts::Alert&) {
            ADD_FAILURE() << "asked in a modal box";
            return 2;
        });
        Document& doc = *h.workspace->activeDocument();
        h.setCaret(4);
        h.tree.write(QStringLiteral("doc.md"), "theirs");

        QKeyEvent press(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("X"));
        QApplication::sendEvent(h.view(), &press);
        h.settle();
        ASSERT_TRUE(doc.diskQuestion().has_value());
        EXPECT_EQ(doc.diskQuestion()->message, "“doc.md” was changed by another program.");
        // Keys that would have pressed a modal box's default button go into the text.
        for (const auto& [key, text] : { std::pair { Qt::Key_Space, QStringLiteral(" ") },
                 std::pair { Qt::Key_Backspace, QString() } }) {
            QKeyEvent k(QEvent::KeyPress, key, Qt::NoModifier, text);
            QApplication::sendEvent(h.view(), &k);
        }
        h.settle();
        EXPECT_EQ(h.content(), "mineX");
        EXPECT_EQ(h.onDisk(), "theirs");
        EXPECT_TRUE(doc.diskQuestion().has_value());

        doc.answerDiskQuestion(choiceNamed(QString::fromUtf8(c.answer)));
        h.workspace->flushPendingWrites();
        h.settle();
        EXPECT_FALSE(doc.diskQuestion().has_value());
        EXPECT_EQ(h.content(), c.afterX);
        EXPECT_EQ(h.editor->markdown(), c.afterX);
        EXPECT_EQ(shown(h), c.afterX);
        EXPECT_EQ(h.onDisk(), c.diskAfterX);

        h.setCaret(c.afterX.size());
        h.type(QStringLiteral("Y"));
        h.settle();
        EXPECT_FALSE(doc.diskQuestion().has_value());
        EXPECT_EQ(h.content(), c.afterY);
        EXPECT_EQ(shown(h), c.afterY);
        EXPECT_EQ(h.onDisk(), c.diskAfterY);
    }
}

TEST(EditorSaving, TypingQuicklyBeforeTheQuestionAsksOnce)
{
    ScriptedUserPrompts& prompts = ScriptedUserPrompts::installNew();
    EditorHarness h(QStringLiteral("start"));
    Document& doc = *h.workspace->activeDocument();
    QSignalSpy asked(&doc, &Document::diskQuestionChanged);
    h.setCaret(5);
    h.tree.write(QStringLiteral("doc.md"), "changed elsewhere");
    for (const QString& key : { QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c") }) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, key);
        QApplication::sendEvent(h.view(), &press);
    }
    EXPECT_FALSE(doc.diskQuestion().has_value()) << "asked from inside a keystroke";
    h.settle();
    ASSERT_TRUE(doc.diskQuestion().has_value());
    EXPECT_EQ(asked.count(), 1);
    doc.answerDiskQuestion(Document::DiskChoice::KeepMine);
    h.workspace->flushPendingWrites();
    EXPECT_TRUE(prompts.alerts().isEmpty());
    EXPECT_EQ(h.onDisk(), "startabc");
    EXPECT_EQ(shown(h), "startabc");
}

// The file is made read-only while the user types: what was typed is kept, unsaved, the view
// stops taking keys and says why, and once the permission is back a save writes it.
TEST(EditorSaving, AFileMadeReadOnlyWhileTypingIsNotWrittenAndKeepsTheText)
{
    ScriptedUserPrompts::installNew();
    EditorHarness h(QStringLiteral("mine"));
    h.setCaret(4);
    h.type(QStringLiteral("X"));
    EXPECT_EQ(h.onDisk(), "mineX");

    const QByteArray file = QFile::encodeName(h.path);
    ASSERT_EQ(::chmod(file.constData(), 0444), 0);
    struct stat before = {};
    ::stat(file.constData(), &before);
    h.type(QStringLiteral("Y"));
    h.settle();
    EXPECT_EQ(h.onDisk(), "mineX");
    struct stat after = {};
    ::stat(file.constData(), &after);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mode & 07777, 0444u);
    EXPECT_EQ(h.content(), "mineXY");
    EXPECT_TRUE(h.view()->isReadOnly());
    EXPECT_EQ(h.workspace->documentError(), "“doc.md” is read-only: you may not write to it.");

    h.type(QStringLiteral("Z"));
    h.settle();
    EXPECT_EQ(h.content(), "mineXY");
    EXPECT_EQ(shown(h), "mineXY");

    ASSERT_EQ(::chmod(file.constData(), 0644), 0);
    h.workspace->saveCurrentFile();
    h.settle();
    EXPECT_EQ(h.onDisk(), "mineXY");
    EXPECT_FALSE(h.view()->isReadOnly());
    EXPECT_TRUE(h.workspace->documentError().isEmpty());
}
