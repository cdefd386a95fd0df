#pragma once

#include <QDialog>
#include <QHash>
#include <QObject>
#include <QPointer>

#include <functional>

class QWidget;

namespace quillon {

class WorkspaceState;

// Opens the window's modal sheets from their WorkspaceState flags, so views that raise a flag
// link no dialog library. Each presentation builds a fresh dialog through the sheet's factory,
// window-modal over the window; when the dialog closes the flag goes back to false, and when
// the flag goes false (a dialog that finished its work) an open dialog is closed.
class SheetPresenter : public QObject
{
    Q_OBJECT
public:
    enum class Sheet { Settings, ConnectGit, ConflictGit };
    // Builds the dialog for one presentation; `parent` is the window. The presenter shows it and
    // deletes it when it closes.
    using Factory = std::function<QDialog*(QWidget* parent)>;

    SheetPresenter(WorkspaceState& workspace, QWidget* window);
    ~SheetPresenter() override;

    void setFactory(Sheet sheet, Factory factory);
    bool hasFactory(Sheet sheet) const { return m_factories.contains(sheet); }
    // The dialog on screen for the sheet, or null.
    QDialog* dialog(Sheet sheet) const { return m_open.value(sheet); }

private:
    bool flag(Sheet sheet) const;
    void setFlag(Sheet sheet, bool on);
    void onFlagChanged(Sheet sheet);
    void present(Sheet sheet);

    WorkspaceState& m_workspace;
    QWidget* m_window;
    QHash<Sheet, Factory> m_factories;
    QHash<Sheet, QPointer<QDialog>> m_open;
};

} // namespace quillon
