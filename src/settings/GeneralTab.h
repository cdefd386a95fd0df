#pragma once

#include <QWidget>

class QCheckBox;
class QLabel;
class QPushButton;
class QToolButton;

namespace quillon {

class AnalyticsManager;
class WorkspaceState;

// The General tab: the editor font size (stepper and reset), the confirmation before moving to
// the Trash, reading mode and the analytics toggle.
//
// Reads and writes: WorkspaceState editorFontSize, confirmFileDeletion, isReadingMode; the
// analytics opt-out (shown inverted). Shows changes made elsewhere at once.
class GeneralTab : public QWidget
{
    Q_OBJECT
public:
    GeneralTab(WorkspaceState& workspace, AnalyticsManager& analytics, QWidget* parent = nullptr);

    QLabel* fontSizeLabel() const { return m_sizeLabel; }
    QToolButton* increaseButton() const { return m_increase; }
    QToolButton* decreaseButton() const { return m_decrease; }
    QPushButton* resetButton() const { return m_reset; }
    QCheckBox* confirmDeletionBox() const { return m_confirm; }
    QCheckBox* readingModeBox() const { return m_readingMode; }
    QCheckBox* analyticsBox() const { return m_analytics; }

private:
    void refresh();
    void step(int direction);

    WorkspaceState& m_workspace;
    AnalyticsManager& m_analyticsManager;
    QLabel* m_sizeLabel;
    QToolButton* m_increase;
    QToolButton* m_decrease;
    QPushButton* m_reset;
    QCheckBox* m_confirm;
    QCheckBox* m_readingMode;
    QCheckBox* m_analytics;
};

} // namespace quillon
