// A pane's tie to its document, with a pane that only records what it is handed: edits of other
// views arrive once, in order, on the next turn or before input; a change from outside comes
// after them or replaces them.
#include "editor/document/DocumentBinding.h"
#include "support/TestSupport.h"
#include "workspace/WorkspaceState.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QWidget>

#include <memory>

using namespace quillon;
using namespace quillon::test;

namespace {

// Writes down what it is handed: "1|2" for two edits, "+" after the last for a change from
// outside, "whole" for a replaced text.
struct RecordingPane : BoundPane
{
    DocumentBinding* binding = nullptr;
    QStringList shown;

    void followEdits(const QList<TextEdit>& edits, const ReplacedStretch* outside) override
    {
        QStringList inserted;
        for (const TextEdit& edit : edits)
            inserted.append(edit.inserted);
        shown.append(inserted.join(u'|') + (outside ? QStringLiteral("+") : QString()));
    }
    void showReplaced(const ReplacedStretch&) override { shown.append(QStringLiteral("whole")); }
    void showStep(const MarkdownReplacement&) override { }
    void setEditable(bool) override { }
    bool mayEdit() const override { return true; }
    void showAppearance() override { }
    void followQueued() override { binding->follow(); }
    bool prepareForStep() override { return true; }
};

struct BindingHarness
{
    TempTree tree;
    WorkspaceState workspace;
    QWidget origin;
    QObject otherView;
    RecordingPane pane;
    std::unique_ptr<DocumentBinding> binding;

    explicit BindingHarness(const QString& text)
    {
        workspace.openFile(tree.write(QStringLiteral("doc.md"), text.toUtf8()));
        QApplication::processEvents();
        binding = std::make_unique<DocumentBinding>(document(), workspace, origin, pane, false);
        pane.binding = binding.get();
        binding->start();
    }
    Document& document() const { return *workspace.activeDocument(); }
};

} // namespace

TEST(DocumentBinding, EditsOfOtherViewsArriveOnceInOrderOnTheNextTurnOrBeforeInput)
{
    BindingHarness h(QStringLiteral("abc\n"));
    h.document().applyEdit(0, 0, QStringLiteral("1"), &h.otherView);
    h.document().applyEdit(4, 0, QStringLiteral("2"), &h.otherView);
    h.document().applyEdit(0, 1, QString(), &h.origin); // the pane's own: shown already
    EXPECT_TRUE(h.pane.shown.isEmpty()); // never inside the other view's change
    QApplication::processEvents();
    QApplication::processEvents();
    EXPECT_EQ(h.pane.shown, QStringList { QStringLiteral("1|2") });

    // A paint waits for the turn; a key is pressed on the document's text.
    h.document().applyEdit(0, 0, QStringLiteral("x"), &h.otherView);
    QPaintEvent paint(QRect(0, 0, 1, 1));
    h.binding->beforeInput(paint);
    EXPECT_EQ(h.pane.shown.size(), 1);
    QKeyEvent key(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    h.binding->beforeInput(key);
    QApplication::processEvents();
    EXPECT_EQ(h.pane.shown, (QStringList { QStringLiteral("1|2"), QStringLiteral("x") }));
}

TEST(DocumentBinding, AChangeFromOutsideFollowsTheWaitingEditsOrReplacesThemWhole)
{
    const QString lines = QStringLiteral("line\n").repeated(20);
    BindingHarness h(lines + QStringLiteral("middle\n") + lines);
    // A line changed is shown at once, as the last of the edits, after those waiting.
    h.document().applyEdit(0, 0, QStringLiteral("typed "), &h.otherView);
    h.document().replaceText(QStringLiteral("typed ") + lines + QStringLiteral("center\n") + lines);
    EXPECT_EQ(h.pane.shown, QStringList { QStringLiteral("typed |center+") });

    // A text changed throughout is shown whole; the edit waiting before it is never applied.
    h.document().applyEdit(0, 0, QStringLiteral("more "), &h.otherView);
    h.document().replaceText(QStringLiteral("other\n"));
    QApplication::processEvents();
    EXPECT_EQ(
        h.pane.shown, (QStringList { QStringLiteral("typed |center+"), QStringLiteral("whole") }));
}
