#include "app/SheetPresenter.h"

#include "app/AppLog.h"
#include "workspace/WorkspaceState.h"

#include <QDialog>
#include <QTimer>

namespace quillon {

SheetPresenter::SheetPresenter(WorkspaceState& workspace, QWidget* window)
    : QObject(window)
    , m_workspace(workspace)
    , m_window(window)
{
    connect(&workspace, &WorkspaceState::showingSettingsModalChanged, this,
        [this] { onFlagChanged(Sheet::Settings); });
    connect(&workspace, &WorkspaceState::showingConnectGitModalChanged, this,
        [this] { onFlagChanged(Sheet::ConnectGit); });
    connect(&workspace, &WorkspaceState::showingConflictGitModalChanged, this,
        [this] { onFlagChanged(Sheet::ConflictGit); });
}

SheetPresenter::~SheetPresenter()
{
    for (const QPointer<QDialog>& dialog : std::as_const(m_open)) {
        if (dialog)
            dialog->disconnect(this);
    }
}

void SheetPresenter::setFactory(Sheet sheet, Factory factory)
{
    m_factories.insert(sheet, std::move(factory));
}

bool SheetPresenter::flag(Sheet sheet) const
{
    switch (sheet) {
    case Sheet::Settings:
        return m_workspace.showingSettingsModal();
    case Sheet::ConnectGit:
        return m_workspace.showingConnectGitModal();
    case Sheet::ConflictGit:
        return m_workspace.showingConflictGitModal();
    }
    return false;
}

void SheetPresenter::setFlag(Sheet sheet, bool on)
{
    if (flag(sheet) == on)
        return;
    switch (sheet) {
    case Sheet::Settings:
        m_workspace.setShowingSettingsModal(on);
        break;
    case Sheet::ConnectGit:
        m_workspace.setShowingConnectGitModal(on);
        break;
    case Sheet::ConflictGit:
        m_workspace.setShowingConflictGitModal(on);
        break;
    }
}

void SheetPresenter::onFlagChanged(Sheet sheet)
{
    QDialog* open = m_open.value(sheet);
    if (!flag(sheet)) {
        if (open)
            open->close();
        return;
    }
    if (open)
        return;
    // Out of the change handler: whoever raised the flag finishes before a dialog runs.
    QTimer::singleShot(0, this, [this, sheet] { present(sheet); });
}

void SheetPresenter::present(Sheet sheet)
{
    if (!flag(sheet) || m_open.value(sheet))
        return;
    const Factory factory = m_factories.value(sheet);
    QDialog* dialog = factory ? factory(m_window) : nullptr;
    if (!dialog) {
        qCWarning(lcApp) << "No sheet to present for" << int(sheet);
        setFlag(sheet, false);
        return;
    }
    dialog->setParent(m_window, dialog->windowFlags() | Qt::Dialog);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setAttribute(Qt::WA_WindowPropagation); // the window's theme palette
    dialog->setWindowModality(Qt::WindowModal);
    m_open.insert(sheet, dialog);
    connect(dialog, &QDialog::finished, this, [this, sheet, dialog] {
        if (m_open.value(sheet) == dialog)
            m_open.remove(sheet);
        setFlag(sheet, false);
    });
    connect(dialog, &QObject::destroyed, this, [this, sheet, dialog] {
        if (m_open.value(sheet) == dialog) {
            m_open.remove(sheet);
            setFlag(sheet, false);
        }
    });
    dialog->open();
}

} // namespace quillon
