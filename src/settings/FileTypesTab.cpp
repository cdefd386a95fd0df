#include "settings/FileTypesTab.h"

#include "settings/SettingsRules.h"
#include "settings/SettingsSession.h"
#include "settings/SettingsStyle.h"
#include "workspace/WorkspaceState.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <algorithm>

namespace quillon {

namespace S = SettingsStyle;

namespace {
constexpr int minimumColumnWidth = 110;
}

FileTypesTab::FileTypesTab(WorkspaceState& workspace, SettingsSession& session, QWidget* parent)
    : QWidget(parent)
    , m_workspace(workspace)
    , m_session(session)
    , m_grid(new QGridLayout())
    , m_field(new QLineEdit(this))
    , m_add(S::button(QStringLiteral("Add"), 12, this))
    , m_hidden(
          new QCheckBox(QStringLiteral("Show hidden files and dotfiles (.gitignore, .env)"), this))
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(18);

    auto* extensions = new QVBoxLayout();
    extensions->setSpacing(8);
    extensions->addWidget(
        S::sectionTitle(QStringLiteral("Visible File Extensions in Sidebar"), this));
    extensions->addWidget(S::noteLabel(
        QStringLiteral("Configure which file types appear in the explorer file tree."), this));
    m_grid->setContentsMargins(0, 4, 0, 0);
    m_grid->setVerticalSpacing(8);
    m_grid->setHorizontalSpacing(0);
    for (const QString& extension : SettingsRules::presetExtensions()) {
        auto* box = new QCheckBox(extension, this);
        box->setFont(S::font(12));
        box->setMinimumWidth(minimumColumnWidth);
        connect(box, &QCheckBox::toggled, this,
            [this, extension](bool on) { setPreset(extension, on); });
        m_presets.append(box);
    }
    extensions->addLayout(m_grid);
    auto* addRow = new QHBoxLayout();
    addRow->setContentsMargins(0, 6, 0, 0);
    addRow->setSpacing(8);
    m_field->setPlaceholderText(QStringLiteral("Add custom extension (e.g. toml)"));
    m_field->setFont(S::font(12));
    addRow->addWidget(m_field, 1);
    addRow->addWidget(m_add);
    extensions->addLayout(addRow);
    column->addLayout(extensions);
    column->addWidget(S::divider(this));

    auto* hidden = new QVBoxLayout();
    hidden->setSpacing(8);
    hidden->addWidget(S::sectionTitle(QStringLiteral("Hidden Files"), this));
    m_hidden->setFont(S::font(12.5));
    hidden->addWidget(m_hidden);
    column->addLayout(hidden);

    connect(m_field, &QLineEdit::textEdited, &session, &SettingsSession::setNewExtensionText);
    connect(m_add, &QPushButton::clicked, this, &FileTypesTab::addExtension);
    connect(m_hidden, &QCheckBox::toggled, this,
        [this](bool on) { m_workspace.setShowHiddenFiles(on); });
    connect(&session, &SettingsSession::newExtensionTextChanged, this, &FileTypesTab::refresh);
    connect(&workspace, &WorkspaceState::activeFileExtensionsChanged, this, &FileTypesTab::refresh);
    connect(&workspace, &WorkspaceState::showHiddenFilesChanged, this, &FileTypesTab::refresh);
    arrangeGrid();
    refresh();
}

QCheckBox* FileTypesTab::presetBox(const QString& extension) const
{
    const qsizetype index = SettingsRules::presetExtensions().indexOf(extension);
    return index < 0 ? nullptr : m_presets.at(index);
}

void FileTypesTab::setPreset(const QString& extension, bool on)
{
    QSet<QString> extensions = m_workspace.activeFileExtensions();
    if (on)
        extensions.insert(extension);
    else
        extensions.remove(extension);
    m_workspace.setActiveFileExtensions(extensions);
}

void FileTypesTab::addExtension()
{
    const std::optional<QString> extension = m_session.takeNewExtension();
    if (!extension)
        return;
    QSet<QString> extensions = m_workspace.activeFileExtensions();
    extensions.insert(*extension);
    m_workspace.setActiveFileExtensions(extensions);
}

void FileTypesTab::refresh()
{
    const QSet<QString> active = m_workspace.activeFileExtensions();
    const QStringList presets = SettingsRules::presetExtensions();
    for (qsizetype i = 0; i < presets.size(); ++i) {
        QCheckBox* box = m_presets.at(i);
        const QSignalBlocker blocker(box);
        box->setChecked(active.contains(presets.at(i)));
    }
    if (m_field->text() != m_session.newExtensionText())
        m_field->setText(m_session.newExtensionText());
    m_add->setEnabled(SettingsRules::canAddExtension(m_session.newExtensionText()));
    const QSignalBlocker blocker(m_hidden);
    m_hidden->setChecked(m_workspace.showHiddenFiles());
}

void FileTypesTab::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    arrangeGrid();
}

void FileTypesTab::arrangeGrid()
{
    const int columns = std::max(1, width() / minimumColumnWidth);
    if (columns == m_columns)
        return;
    m_columns = columns;
    for (QCheckBox* box : std::as_const(m_presets))
        m_grid->removeWidget(box);
    for (qsizetype i = 0; i < m_presets.size(); ++i)
        m_grid->addWidget(m_presets.at(i), int(i / columns), int(i % columns));
    for (int c = 0; c < columns; ++c)
        m_grid->setColumnStretch(c, 1);
}

} // namespace quillon
