#pragma once

#include "editor/chrome/ChromeGlyph.h"

#include <QAbstractButton>
#include <QWidget>

class QLabel;
class QLineEdit;

namespace quillon {

class WorkspaceState;

// A flat button showing one glyph; its whole rectangle takes clicks.
class GlyphButton : public QAbstractButton
{
    Q_OBJECT
public:
    GlyphButton(ChromeGlyph::Shape shape, int size, int glyphSize, QWidget* parent = nullptr);
    ChromeGlyph::Shape shape() const { return m_shape; }
    QColor color() const { return m_color; }
    void setColor(const QColor& color);
    void setWeight(qreal weight) { m_weight = weight; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    ChromeGlyph::Shape m_shape;
    int m_glyphSize;
    QColor m_color;
    qreal m_weight = 1;
};

// The find-in-document bar: a field bound to WorkspaceState::localSearchQuery, the active match's
// number among all matches, buttons for the previous and the next match, and a close button.
//
// Reads localSearchQuery, currentLocalMatchIndex and totalLocalMatchCount; writes only
// localSearchQuery. Stepping and closing are the window's: the bar asks for them (Enter, Shift+
// Enter, Esc in the field, or the buttons). Each time it is shown the field takes the focus.
class LocalSearchView : public QWidget
{
    Q_OBJECT
public:
    explicit LocalSearchView(WorkspaceState& workspace, QWidget* parent = nullptr);

    void setDarkMode(bool dark);
    bool isDarkMode() const { return m_isDarkMode; }

    QLineEdit* field() const { return m_field; }
    QLabel* countLabel() const { return m_count; }
    GlyphButton* previousButton() const { return m_previous; }
    GlyphButton* nextButton() const { return m_next; }
    GlyphButton* closeButton() const { return m_close; }

Q_SIGNALS:
    void nextRequested();
    void previousRequested();
    void closeRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void updateFromWorkspace();
    void updateColors();

    WorkspaceState& m_workspace;
    bool m_isDarkMode = false;
    ChromeGlyph* m_magnifier = nullptr;
    QLineEdit* m_field = nullptr;
    QLabel* m_count = nullptr;
    GlyphButton* m_previous = nullptr;
    GlyphButton* m_next = nullptr;
    QWidget* m_rule = nullptr;
    GlyphButton* m_close = nullptr;
};

} // namespace quillon
