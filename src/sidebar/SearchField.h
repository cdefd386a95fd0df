#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QToolButton;

namespace quillon {

class WorkspaceState;

// The project search field, bound both ways to the workspace's query: typing writes it (each
// change starts a search), a query set elsewhere is shown with the caret kept where it was. The
// clear button shows while the text is not empty, blanks included.
//
// Reads and writes: WorkspaceState::globalSearchQuery.
class SearchField : public QWidget
{
    Q_OBJECT
public:
    explicit SearchField(WorkspaceState& workspace, QWidget* parent = nullptr);

    void setDarkMode(bool dark);
    // Puts the keyboard in the field (the "Find in Project" command).
    void focusField();
    QLineEdit* lineEdit() const { return m_edit; }
    QToolButton* clearButton() const { return m_clear; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void showQuery();

    WorkspaceState& m_workspace;
    QLabel* m_icon;
    QLineEdit* m_edit;
    QToolButton* m_clear;
    bool m_dark = false;
};

} // namespace quillon
