#pragma once

#include "editor/document/EditorMode.h"

#include <QPointer>
#include <QWidget>

namespace quillon {

class ResizableDivider;

// The editor column's editing area: a source pane and a blocks pane, shown one, the other or
// both side by side by the editor mode. In split mode the source pane gets splitPosition of the
// width, then the one-pixel divider, then the blocks pane the rest.
//
// Reads: its mode, its split position, its two pane widgets. Writes nothing outside itself; a
// divider drag changes the split position (splitPositionChanged).
class EditorArea : public QWidget
{
    Q_OBJECT
public:
    explicit EditorArea(QWidget* parent = nullptr);

    EditorMode mode() const { return m_mode; }
    void setMode(EditorMode mode);
    double splitPosition() const { return m_splitPosition; }
    void setSplitPosition(double fraction);
    void setDarkMode(bool dark);

    // The area takes ownership; a previous pane widget is deleted.
    void setSourcePane(QWidget* pane);
    void setBlocksPane(QWidget* pane);
    QWidget* sourcePane() const { return m_sourcePane; }
    QWidget* blocksPane() const { return m_blocksPane; }
    ResizableDivider* divider() const { return m_divider; }

Q_SIGNALS:
    void modeChanged(EditorMode mode);
    void splitPositionChanged(double fraction);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void relayout();

    EditorMode m_mode = kDefaultEditorMode;
    double m_splitPosition = 0.5;
    QPointer<QWidget> m_sourcePane;
    QPointer<QWidget> m_blocksPane;
    ResizableDivider* m_divider = nullptr;
};

} // namespace quillon
