#pragma once

#include "editor/block/ProjectedDocument.h"
#include "editor/block/UnifiedBlockEditor.h"
#include "editor/layout/TextWindow.h"
#include "editor/source/CodeEditorView.h"
#include "editor/table/TableEditingController.h"
#include "markdown/MarkdownTableProjection.h"
#include "support/TestSupport.h"
#include "workspace/WorkspaceState.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMenu>
#include <QTest>
#include <QTimer>

#include <memory>
#include <optional>

namespace quillon::test {

// For its life, the source pane holds a text longer than `length` in a window of about that
// many units; a negative length holds every text whole.
struct PaneWindowLength
{
    explicit PaneWindowLength(qsizetype length) { TextWindow::setTargetLength(length); }
    ~PaneWindowLength() { TextWindow::setTargetLength(0); }
    PaneWindowLength(const PaneWindowLength&) = delete;
    PaneWindowLength& operator=(const PaneWindowLength&) = delete;
};

// For its life, the block view holds a text longer than `length` in a window of about that many
// units.
struct BlockWindowLength
{
    explicit BlockWindowLength(qsizetype length)
    {
        TextWindow::setTargetLength(length, TextWindow::Pane::Block);
    }
    ~BlockWindowLength() { TextWindow::setTargetLength(0, TextWindow::Pane::Block); }
    BlockWindowLength(const BlockWindowLength&) = delete;
    BlockWindowLength& operator=(const BlockWindowLength&) = delete;
};

// For its life, a text of `shortest` units or more goes into the panes as its first `length`
// units or so first, the rest once that is painted.
struct FirstScreenLength
{
    FirstScreenLength(qsizetype shortest, qsizetype length)
    {
        TextWindow::setFirstScreenForTesting(shortest, length);
    }
    ~FirstScreenLength() { TextWindow::setFirstScreenForTesting(0, 0); }
    FirstScreenLength(const FirstScreenLength&) = delete;
    FirstScreenLength& operator=(const FirstScreenLength&) = delete;
};

// The block view's projection of a long text on another thread waits until the view asks for
// it or this is gone, so that a test acts while the first screen alone is shown.
struct HeldProjections
{
    HeldProjections() { UnifiedBlockEditor::holdProjectionsForTesting(true); }
    ~HeldProjections() { UnifiedBlockEditor::holdProjectionsForTesting(false); }
    HeldProjections(const HeldProjections&) = delete;
    HeldProjections& operator=(const HeldProjections&) = delete;
};

// Holds the block view's text whole for a test of the whole-text path.
struct BlockViewHoldsWhole
{
    BlockViewHoldsWhole() { TextWindow::setTargetLength(-1, TextWindow::Pane::Block); }
    ~BlockViewHoldsWhole() { TextWindow::setTargetLength(0, TextWindow::Pane::Block); }
};

// The viewport point at the centre of a cell of the table whose character stands at `storage`
// in the block editor's storage; a null point when the view does not hold the table.
inline QPoint cellCenter(const UnifiedBlockEditor& editor, qsizetype storage, int row, int column)
{
    const ProjectedDocument& projected = editor.projected();
    const auto origin = editor.tableEditor().originOf(projected.toDocument(storage));
    const auto* table = MarkdownTableProjection::tableAt(projected.storage(), storage);
    if (!origin || !table)
        return {};
    return (table->layout().cellRect(row, column).center() + *origin).toPoint();
}

// The source pane (and, with `withBlocks`, the block editor beside it) on a real file of a real
// workspace, shown offscreen, with the source pane focused, and the text all in (without
// `settle`, the window is not painted yet). Every text the document takes is recorded in
// `written`; saving is the document's own.
struct SourceHarness
{
    TempTree tree;
    QString path;
    std::unique_ptr<WorkspaceState> workspace;
    std::unique_ptr<QWidget> window;
    CodeEditorView* source = nullptr;
    UnifiedBlockEditor* blocks = nullptr;
    QStringList written;

    explicit SourceHarness(const QString& markdown, bool withBlocks = false, bool settle = true)
    {
        path = tree.write(QStringLiteral("doc.md"), markdown.toUtf8());
        ProjectedDocument::setVerifiesTableIndex(true);
        workspace = std::make_unique<WorkspaceState>();
        workspace->openFile(path);
        QApplication::processEvents();
        window = std::make_unique<QWidget>();
        auto* layout = new QHBoxLayout(window.get());
        source = new CodeEditorView(*workspace->activeDocument(), *workspace, false, window.get());
        layout->addWidget(source);
        if (withBlocks) {
            blocks = new UnifiedBlockEditor(
                *workspace->activeDocument(), *workspace, false, window.get());
            layout->addWidget(blocks);
        }
        QObject::connect(workspace.get(), &WorkspaceState::currentFileContentChanged, window.get(),
            [this] { written.append(workspace->currentFileContent()); });
        window->resize(withBlocks ? 1400 : 800, 600);
        window->show();
        QApplication::setActiveWindow(window.get());
        view()->setFocus();
        if (!settle)
            return;
        QTest::qWait(1);
        QApplication::processEvents();
        untilWhole();
    }

    // A long text is put in over several turns of the event loop: until it is whole in the panes.
    void untilWhole() const
    {
        while (source->isLoading() || (blocks && blocks->isLoading()))
            QApplication::processEvents();
    }

    SourceTextEdit* view() const { return source->textView(); }
    QString content() const { return workspace->currentFileContent(); }
    // The file once every write asked for so far is done.
    QByteArray onDisk(const QString& name = QStringLiteral("doc.md")) const
    {
        workspace->flushPendingWrites();
        return tree.read(name);
    }
    // The file read back as the document reads it: the line feeds it writes as CR LF where the
    // file's lines had them are line feeds again.
    QString onDiskAsText() const
    {
        return QString::fromUtf8(onDisk()).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    }
    void setCaret(int position, int anchor = -1) const
    {
        QTextCursor cursor = view()->textCursor();
        cursor.setPosition(anchor < 0 ? position : anchor);
        cursor.setPosition(position, QTextCursor::KeepAnchor);
        view()->setTextCursor(cursor);
    }
    // Types each character as a key press carrying its text into `target` (the source pane by
    // default); a line feed is the Return key. The other pane follows on the next turn of the
    // event loop, which this lets happen.
    void type(const QString& text, QWidget* target = nullptr) const
    {
        QWidget* to = target ? target : view();
        for (QChar c : text) {
            if (c == QLatin1Char('\n')) {
                QTest::keyClick(to, Qt::Key_Return);
                continue;
            }
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QApplication::sendEvent(to, &press);
            QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
            QApplication::sendEvent(to, &release);
        }
        QApplication::processEvents();
    }
    // Right-clicks `target` (the source pane by default) at its caret and, once the menu is up,
    // clicks the item whose text starts with `item` if it is enabled and `click` is set, else
    // closes the menu. Returns whether the item was enabled; none without a menu or the item.
    std::optional<bool> contextMenu(
        const QString& item, bool click, QAbstractScrollArea* target = nullptr) const
    {
        QAbstractScrollArea* to = target ? target : view();
        std::optional<bool> enabled;
        QTimer::singleShot(0, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu)
                return;
            for (QAction* action : menu->actions()) {
                if (!action->text().remove(QLatin1Char('&')).startsWith(item))
                    continue;
                enabled = action->isEnabled();
                if (click && action->isEnabled()) {
                    QTest::mouseClick(
                        menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
                    return;
                }
            }
            menu->close();
        });
        auto* textView = qobject_cast<QTextEdit*>(to);
        const QPoint at = textView ? textView->cursorRect().center() : QPoint(10, 10);
        QContextMenuEvent event(
            QContextMenuEvent::Mouse, at, to->viewport()->mapToGlobal(at), Qt::NoModifier);
        QApplication::sendEvent(to->viewport(), &event);
        QApplication::processEvents();
        return enabled;
    }
    void key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
        QWidget* target = nullptr) const
    {
        QTest::keyClick(target ? target : view(), key, modifiers);
        QApplication::processEvents();
    }
};

} // namespace quillon::test
