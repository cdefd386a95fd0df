#pragma once

#include "editor/block/ProjectedDocument.h"
#include "editor/block/UnifiedBlockEditor.h"
#include "support/TestSupport.h"
#include "workspace/WorkspaceState.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTest>

#include <memory>

namespace quillon::test {

// A block editor on a real file of a real workspace, shown offscreen and focused, with the
// document's text as the workspace last received it.
struct EditorHarness
{
    TempTree tree;
    QString path;
    std::unique_ptr<WorkspaceState> workspace;
    std::unique_ptr<UnifiedBlockEditor> editor;
    QStringList written; // every text the workspace's document took, edits and loads

    explicit EditorHarness(const QString& markdown, QSize size = QSize(900, 700))
    {
        // Any edit that leaves the table index behind stops the test.
        ProjectedDocument::setVerifiesTableIndex(true);
        path = tree.write(QStringLiteral("doc.md"), markdown.toUtf8());
        workspace = std::make_unique<WorkspaceState>();
        workspace->openFile(path);
        editor = std::make_unique<UnifiedBlockEditor>(*workspace->activeDocument(), *workspace);
        QApplication::processEvents(); // the workspace's own start-up work
        // Saving is the document's own business, as in the program.
        QObject::connect(workspace.get(), &WorkspaceState::currentFileContentChanged, editor.get(),
            [this] { written.append(workspace->currentFileContent()); });
        editor->resize(size);
        editor->show();
        QApplication::setActiveWindow(editor.get());
        editor->textView()->setFocus();
        QTest::qWait(1);
        QApplication::processEvents();
        // A long text shows its first screen, and goes in whole once that is painted.
        while (editor->isLoading())
            QApplication::processEvents();
    }

    MarkdownTextView* view() const { return editor->textView(); }
    QWidget* viewport() const { return editor->textView()->viewport(); }
    QString content() const { return workspace->currentFileContent(); }
    // The file once every write asked for so far is done.
    QByteArray onDisk() const
    {
        workspace->flushPendingWrites();
        return tree.read(QStringLiteral("doc.md"));
    }
    // Lets the writes finish and what they report (a question, an error) happen.
    void settle() const
    {
        workspace->flushPendingWrites();
        QApplication::processEvents();
    }

    // Puts the caret at a Markdown offset.
    void setCaret(qsizetype markdownOffset) const
    {
        QTextCursor cursor = view()->textCursor();
        cursor.setPosition(int(editor->projected().storageOffset(markdownOffset)));
        view()->setTextCursor(cursor);
        editor->flushPendingWork();
    }
    // Types each character as a key press carrying its text; a line feed is the Return key.
    void type(const QString& text) const
    {
        for (QChar c : text) {
            if (c == QLatin1Char('\n')) {
                QTest::keyClick(view(), Qt::Key_Return);
                continue;
            }
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QApplication::sendEvent(view(), &press);
            QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
            QApplication::sendEvent(view(), &release);
        }
        QApplication::processEvents();
    }
    void key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) const
    {
        QTest::keyClick(view(), key, modifiers);
        QApplication::processEvents();
    }
};

} // namespace quillon::test
