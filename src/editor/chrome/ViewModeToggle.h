#pragma once

#include "editor/document/EditorMode.h"

#include <QAbstractButton>
#include <QWidget>

namespace quillon {

// A pill with a title, lit or not; hovering shades it only while it is not lit.
class ToggleButton : public QAbstractButton
{
    Q_OBJECT
public:
    explicit ToggleButton(const QString& title, QWidget* parent = nullptr);

    bool isLit() const { return m_isLit; }
    void setLit(bool lit);
    void setDarkMode(bool dark);
    bool isHovering() const { return m_isHovering; }
    QColor fillColor() const;
    QColor textColor() const;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    bool m_isLit = false;
    bool m_isDarkMode = false;
    bool m_isHovering = false;
};

// The "Source" and "Editor" buttons that choose which editors the window shows. The window owns
// the mode: it sets it here and hears the toggle's choice through modeChanged.
class ViewModeToggle : public QWidget
{
    Q_OBJECT
public:
    explicit ViewModeToggle(QWidget* parent = nullptr);

    EditorMode mode() const { return m_mode; }
    void setMode(EditorMode mode);
    void setDarkMode(bool dark);

    ToggleButton* sourceButton() const { return m_source; }
    ToggleButton* editorButton() const { return m_editor; }

Q_SIGNALS:
    // A click chose another mode.
    void modeChanged(EditorMode mode);

private:
    void clicked(bool sourceButton);
    void updateButtons();

    EditorMode m_mode = kDefaultEditorMode;
    ToggleButton* m_source = nullptr;
    ToggleButton* m_editor = nullptr;
};

} // namespace quillon
