#pragma once

#include <QList>
#include <QWidget>

class QCheckBox;
class QGridLayout;
class QLineEdit;
class QPushButton;

namespace quillon {

class SettingsSession;
class WorkspaceState;

// The File Types tab: toggles for the preset extensions, a field to add any other, and the
// hidden-files switch.
//
// Reads and writes: WorkspaceState activeFileExtensions (whole-set assignments) and
// showHiddenFiles; the session's custom-extension text.
class FileTypesTab : public QWidget
{
    Q_OBJECT
public:
    FileTypesTab(WorkspaceState& workspace, SettingsSession& session, QWidget* parent = nullptr);

    QCheckBox* presetBox(const QString& extension) const;
    QLineEdit* extensionField() const { return m_field; }
    QPushButton* addButton() const { return m_add; }
    QCheckBox* hiddenFilesBox() const { return m_hidden; }
    int gridColumns() const { return m_columns; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void refresh();
    void setPreset(const QString& extension, bool on);
    void addExtension();
    void arrangeGrid();

    WorkspaceState& m_workspace;
    SettingsSession& m_session;
    QList<QCheckBox*> m_presets;
    QGridLayout* m_grid;
    int m_columns = 0;
    QLineEdit* m_field;
    QPushButton* m_add;
    QCheckBox* m_hidden;
};

} // namespace quillon
