#include "editor/chrome/DiskQuestionBar.h"

#include "editor/chrome/ChromeColors.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace quillon {

namespace {

QPushButton* makeChoice(const QString& title, QWidget* parent)
{
    auto* button = new QPushButton(title, parent);
    // A key meant for the text must never press it.
    button->setFocusPolicy(Qt::NoFocus);
    button->setAutoDefault(false);
    button->setDefault(false);
    button->setCursor(Qt::PointingHandCursor);
    return button;
}

} // namespace

DiskQuestionBar::DiskQuestionBar(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("diskQuestionBar"));
    setFocusPolicy(Qt::NoFocus);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(18, 8, 18, 8);
    layout->setSpacing(12);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    m_message = new QLabel(this);
    QFont bold = m_message->font();
    bold.setBold(true);
    m_message->setFont(bold);
    m_informative = new QLabel(this);
    m_informative->setWordWrap(true);
    texts->addWidget(m_message);
    texts->addWidget(m_informative);
    layout->addLayout(texts, 1);

    m_keepMine = makeChoice(tr("Keep My Version"), this);
    m_loadDisk = makeChoice(tr("Load Disk Version"), this);
    m_later = makeChoice(tr("Decide Later"), this);
    for (QPushButton* button : { m_keepMine, m_loadDisk, m_later })
        layout->addWidget(button, 0, Qt::AlignVCenter);
    connect(m_keepMine, &QPushButton::clicked, this, &DiskQuestionBar::keepMineChosen);
    connect(m_loadDisk, &QPushButton::clicked, this, &DiskQuestionBar::loadDiskChosen);
    connect(m_later, &QPushButton::clicked, this, &DiskQuestionBar::laterChosen);
    updateColors();
}

void DiskQuestionBar::setQuestion(const QString& message, const QString& informativeText)
{
    m_message->setText(message);
    m_informative->setText(informativeText);
}

void DiskQuestionBar::setDarkMode(bool dark)
{
    if (dark == m_isDarkMode)
        return;
    m_isDarkMode = dark;
    updateColors();
}

void DiskQuestionBar::updateColors()
{
    QPalette palette = this->palette();
    palette.setColor(QPalette::WindowText, ChromeColors::contrast(m_isDarkMode, 0.85));
    m_message->setPalette(palette);
    palette.setColor(QPalette::WindowText, ChromeColors::secondary(m_isDarkMode));
    m_informative->setPalette(palette);
    update();
}

void DiskQuestionBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    // A warning tint over the editor's background, with a rule under it.
    painter.fillRect(rect(), ChromeColors::editorBackground(m_isDarkMode));
    QColor tint = ChromeColors::red(m_isDarkMode);
    tint.setAlphaF(m_isDarkMode ? 0.12 : 0.08);
    painter.fillRect(rect(), tint);
    painter.fillRect(
        QRect(0, height() - 1, width(), 1), ChromeColors::statusBarDivider(m_isDarkMode));
}

} // namespace quillon
