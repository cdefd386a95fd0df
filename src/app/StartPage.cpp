#include "app/StartPage.h"

#include "app/StartPageButtons.h"
#include "ui/AppColors.h"
#include "ui/SymbolIcons.h"

#include <QEvent>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QSvgRenderer>
#include <QVBoxLayout>

namespace quillon {

namespace {
const QStringList kMascotNames
    = { QStringLiteral("ghost-1"), QStringLiteral("ghost-2"), QStringLiteral("ghost-3") };

QPixmap renderSvg(const QString& path, int size, qreal dpr)
{
    if (!QFile::exists(path))
        return {};
    QSvgRenderer renderer(path);
    if (!renderer.isValid())
        return {};
    const int device = qRound(size * dpr);
    QPixmap out(device, device);
    out.fill(Qt::transparent);
    QPainter p(&out);
    renderer.setAspectRatioMode(Qt::KeepAspectRatio);
    renderer.render(&p, QRectF(0, 0, device, device));
    p.end();
    out.setDevicePixelRatio(dpr);
    return out;
}
// Centred text on one line where the column has room for it, wrapped onto more lines where it
// has not.
class WrappingLabel : public QLabel
{
public:
    WrappingLabel(const QString& text, QWidget* parent)
        : QLabel(text, parent)
    {
        setWordWrap(true);
    }
    QSize sizeHint() const override
    {
        const int oneLine = fontMetrics().horizontalAdvance(text()) + 2 * margin() + 2;
        const int width = qMin(oneLine, maximumWidth());
        return QSize(width, heightForWidth(width));
    }
};
} // namespace

StartPage::StartPage(QWidget* parent)
    : QScrollArea(parent)
{
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* content = new QWidget(this);
    content->setAutoFillBackground(false);
    auto* column = new QVBoxLayout(content);
    // No side margins: in a narrow column the cards give up width rather than being cut.
    column->setContentsMargins(0, 30, 0, 40);
    column->setSpacing(32);
    column->setAlignment(Qt::AlignHCenter);

    auto* groupA = new QVBoxLayout;
    groupA->setSpacing(12);
    groupA->setAlignment(Qt::AlignHCenter);
    m_mascot = new QLabel(content);
    m_mascot->setAlignment(Qt::AlignCenter);
    m_mascot->setFixedSize(kMascotSize, kMascotSize);
    groupA->addWidget(m_mascot, 0, Qt::AlignHCenter);

    // Copy as written, spelling included.
    m_greeting = new WrappingLabel(QStringLiteral("Hi there, my lovly human!"), content);
    QFont greetingFont = font();
    greetingFont.setPixelSize(22);
    greetingFont.setBold(true);
    m_greeting->setFont(greetingFont);
    m_greeting->setAlignment(Qt::AlignCenter);
    groupA->addWidget(m_greeting, 0, Qt::AlignHCenter);
    m_subtitle = new WrappingLabel(
        QStringLiteral("Open a Git repository, folder, or file to get started"), content);
    m_subtitle->setAlignment(Qt::AlignCenter);
    m_subtitle->setMaximumWidth(400);
    groupA->addWidget(m_subtitle, 0, Qt::AlignHCenter);
    groupA->addSpacing(8);

    struct Action
    {
        QString icon, title, subtitle;
        void (StartPage::*signal)();
    };
    const Action actions[] = {
        { QStringLiteral("folder.fill"), QStringLiteral("Add work folder"),
            QStringLiteral("Open local folder or workspace directory"),
            &StartPage::openFolderRequested },
        { QStringLiteral("doc.fill"), QStringLiteral("Open file"),
            QStringLiteral("Open single markdown or text file"), &StartPage::openFileRequested },
        { QStringLiteral("arrow.triangle.branch"), QStringLiteral("Connect to Git repository"),
            QStringLiteral("Clone or open from remote Git repository"),
            &StartPage::connectGitRequested },
    };
    for (const Action& action : actions) {
        auto* button
            = new StartPageActionButton(action.icon, action.title, action.subtitle, content);
        connect(button, &StartPageActionButton::clicked, this, action.signal);
        groupA->addWidget(button, 0, Qt::AlignHCenter);
        m_actions.append(button);
    }
    column->addLayout(groupA);

    m_foldersSection = new QWidget(content);
    m_foldersSection->setMaximumWidth(440);
    m_foldersSection->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    auto* section = new QVBoxLayout(m_foldersSection);
    section->setContentsMargins(0, 4, 0, 0);
    section->setSpacing(10);
    auto* header = new QHBoxLayout;
    header->setContentsMargins(4, 0, 4, 0);
    header->setSpacing(6);
    m_foldersIcon = new QLabel(m_foldersSection);
    header->addWidget(m_foldersIcon);
    m_foldersHeader = new QLabel(QStringLiteral("Working folders"), m_foldersSection);
    QFont headerFont = font();
    headerFont.setPixelSize(14);
    headerFont.setWeight(QFont::DemiBold);
    m_foldersHeader->setFont(headerFont);
    header->addWidget(m_foldersHeader);
    header->addStretch();
    section->addLayout(header);
    m_card = new StartPageCard(m_foldersSection);
    m_cardLayout = new QVBoxLayout(m_card);
    m_cardLayout->setContentsMargins(0, 4, 0, 4);
    m_cardLayout->setSpacing(1);
    section->addWidget(m_card);
    column->addWidget(m_foldersSection, 0, Qt::AlignHCenter);
    column->addStretch();
    setWidget(content);
    // Scrolling moves the page's content, not the cards on it, and the folders' card moves with
    // its section: the cards are told to look where the pointer is.
    for (QWidget* moving : { content, m_foldersSection, static_cast<QWidget*>(m_card) })
        moving->installEventFilter(this);

    drawMascot();
    rebuildRows();
}

QList<RecentEntity> StartPage::workingFolders(const QList<RecentEntity>& recents)
{
    QList<RecentEntity> out;
    for (const RecentEntity& e : recents) {
        if (!e.isDirectory)
            continue;
        out.append(e);
        if (out.size() == kMaxWorkingFolders)
            break;
    }
    return out;
}

QPixmap StartPage::loadMascot(const QString& name, bool isDark, int size, qreal dpr)
{
    QStringList candidates;
    if (isDark)
        candidates = { name + QStringLiteral("-dark"), name, QStringLiteral("ghost-dark"),
            QStringLiteral("ghost") };
    else
        candidates = { name, QStringLiteral("ghost") };
    for (const QString& c : candidates) {
        QPixmap image
            = renderSvg(QStringLiteral(":/mascots/") + c + QStringLiteral(".svg"), size, dpr);
        if (image.isNull()) {
            const QString first
                = QStringLiteral("design-system/assets/") + c + QStringLiteral(".svg");
            const QString second = QStringLiteral("designs/") + c + QStringLiteral(".svg");
            image = renderSvg(QFile::exists(first) ? first : second, size, dpr);
        }
        if (!image.isNull())
            return image;
    }
    return {};
}

void StartPage::drawMascot()
{
    m_mascotName = kMascotNames.at(int(QRandomGenerator::global()->bounded(kMascotNames.size())));
    showMascot();
}

void StartPage::showMascot()
{
    const QPixmap image = loadMascot(m_mascotName, m_isDarkMode, kMascotSize, devicePixelRatioF());
    if (image.isNull()) {
        QFont f = font();
        f.setPixelSize(100);
        m_mascot->setFont(f);
        m_mascot->setPixmap({});
        m_mascot->setText(QStringLiteral("Hm..."));
    } else {
        m_mascot->setText({});
        m_mascot->setPixmap(image);
    }
}

bool StartPage::showsMascotImage() const
{
    return !m_mascot->pixmap().isNull();
}

bool StartPage::showsWorkingFolders() const
{
    return !m_foldersSection->isHidden();
}

QSize StartPage::minimumSizeHint() const
{
    // As narrow as the content allows, with room for the vertical scroll bar beside it.
    const int content = widget() ? widget()->minimumSizeHint().width() : 0;
    return QSize(content + verticalScrollBar()->sizeHint().width() + 2 * frameWidth(),
        QScrollArea::minimumSizeHint().height());
}

void StartPage::setDarkMode(bool dark)
{
    if (dark == m_isDarkMode && !m_rows.isEmpty())
        return;
    m_isDarkMode = dark;
    showMascot();
    applyColors();
}

bool StartPage::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Move) {
        for (StartPageActionButton* button : std::as_const(m_actions))
            button->followPointer();
        for (QWidget* row : std::as_const(m_rows))
            static_cast<StartPageRecentRow*>(row)->followPointer();
    }
    return QScrollArea::eventFilter(watched, event);
}

void StartPage::setRecents(const QList<RecentEntity>& recents)
{
    m_recents = recents;
    rebuildRows();
}

void StartPage::rebuildRows()
{
    // A row may be rebuilt from inside its own click (opening a folder reorders the recents).
    for (QWidget* row : std::as_const(m_rows)) {
        row->hide();
        row->deleteLater();
    }
    m_rows.clear();
    const QList<RecentEntity> folders = workingFolders(m_recents);
    for (const RecentEntity& folder : folders) {
        auto* row = new StartPageRecentRow(folder, m_card);
        const QString path = folder.url;
        connect(row, &StartPageRecentRow::clicked, this,
            [this, path] { Q_EMIT recentFolderRequested(path); });
        m_cardLayout->addWidget(row);
        m_rows.append(row);
    }
    m_foldersSection->setVisible(!folders.isEmpty());
    applyColors();
}

void StartPage::applyColors()
{
    const bool dark = m_isDarkMode;
    QPalette pal = palette();
    pal.setColor(QPalette::Window, AppColors::windowBackground(dark));
    viewport()->setPalette(pal);
    viewport()->setAutoFillBackground(true);
    auto setText = [](QLabel* label, const QColor& color) {
        QPalette p = label->palette();
        p.setColor(QPalette::WindowText, color);
        label->setPalette(p);
    };
    setText(m_greeting, dark ? AppColors::grey(0.95) : AppColors::grey(0.1));
    setText(m_subtitle, AppColors::secondaryLabel(dark));
    setText(m_mascot, dark ? AppColors::grey(0.95) : AppColors::grey(0.1));
    setText(m_foldersHeader, dark ? AppColors::whiteAt(0.9) : AppColors::grey(0.1));
    m_foldersIcon->setPixmap(SymbolIcons::pixmap(
        QStringLiteral("folder.fill"), 14, AppColors::accentIn(dark), devicePixelRatioF()));
    for (StartPageActionButton* b : std::as_const(m_actions))
        b->setDarkMode(dark);
    for (QWidget* row : std::as_const(m_rows))
        static_cast<StartPageRecentRow*>(row)->setDarkMode(dark);
    m_card->setDarkMode(dark);
}

} // namespace quillon
