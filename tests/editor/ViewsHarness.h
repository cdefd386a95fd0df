#pragma once

#include "editor/block/ProjectedDocument.h"
#include "editor/block/UnifiedBlockEditor.h"
#include "editor/document/DocumentViews.h"
#include "editor/source/CodeEditorView.h"
#include "support/TestSupport.h"
#include "workspace/WorkspaceState.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QStackedWidget>
#include <QTest>

#include <memory>

namespace quillon::test {

// The views of a workspace's open documents, as the window keeps them: both panes side by side
// (or the block editor alone), shown offscreen, with the first document open and its block
// editor focused. editor() and source() are the active document's views.
struct ViewsHarness
{
    TempTree tree;
    QString path;
    std::unique_ptr<WorkspaceState> workspace;
    std::unique_ptr<QWidget> window;
    DocumentViews* views = nullptr;

    explicit ViewsHarness(const QString& markdown, bool withSource = false)
    {
        path = tree.write(QStringLiteral("doc.md"), markdown.toUtf8());
        ProjectedDocument::setVerifiesTableIndex(true);
        workspace = std::make_unique<WorkspaceState>();
        window = std::make_unique<QWidget>();
        views = new DocumentViews(*workspace, window.get());
        views->setPanesShown(true, withSource);
        auto* layout = new QHBoxLayout(window.get());
        layout->addWidget(views->sourceStack());
        layout->addWidget(views->blocksStack());
        views->sourceStack()->setVisible(withSource);
        window->resize(withSource ? 1400 : 900, 700);
        window->show();
        QApplication::setActiveWindow(window.get());
        open(path);
        editor()->textView()->setFocus();
        QTest::qWait(1);
        QApplication::processEvents();
    }

    UnifiedBlockEditor* editor() const { return views->blockEditor(); }
    CodeEditorView* source() const { return views->sourceEditor(); }
    MarkdownTextView* view() const { return editor()->textView(); }
    QString content() const { return workspace->currentFileContent(); }
    QByteArray onDisk(const QString& name = QStringLiteral("doc.md")) const
    {
        workspace->flushPendingWrites();
        return tree.read(name);
    }
    void open(const QString& file) const
    {
        workspace->openFile(file);
        QApplication::processEvents();
    }
    void select(const QString& file) const
    {
        workspace->selectTab(file);
        QApplication::processEvents();
    }
    // Puts the block editor's caret at a Markdown offset.
    void setCaret(qsizetype markdownOffset) const
    {
        QTextCursor cursor = view()->textCursor();
        cursor.setPosition(int(editor()->projected().storageOffset(markdownOffset)));
        view()->setTextCursor(cursor);
        editor()->flushPendingWork();
    }
    // Types into the focused widget, each character as a key press carrying its text.
    void type(const QString& text) const
    {
        for (QChar c : text) {
            QWidget* target = QApplication::focusWidget();
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QApplication::sendEvent(target, &press);
            QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
            QApplication::sendEvent(target, &release);
        }
        QApplication::processEvents();
    }
    void key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) const
    {
        QTest::keyClick(QApplication::focusWidget(), key, modifiers);
        QApplication::processEvents();
    }
};

} // namespace quillon::test
