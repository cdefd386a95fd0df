#include "git/ui/GitSyncWidgetView.h"

#include "git/WorkspaceGit.h"
#include "platform/UserPrompts.h"
#include "ui/AppColors.h"
#include "workspace/WorkspaceState.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace quillon {

namespace {

constexpr int kHorizontalPadding = 8;
constexpr int kVerticalPadding = 6;
constexpr int kSpacing = 7;
constexpr int kDotSize = 7;
constexpr int kSpinnerSize = 8;

QFont pillFont(const QFont& base, qreal pointSize, QFont::Weight weight)
{
    QFont font = base;
    font.setPixelSize(qRound(pointSize));
    font.setWeight(weight);
    return font;
}

} // namespace

GitSyncWidgetView::GitSyncWidgetView(
    WorkspaceState& workspace, WorkspaceGit& git, UserPrompts& prompts, QWidget* parent)
    : QWidget(parent)
    , m_workspace(workspace)
    , m_git(git)
    , m_prompts(prompts)
{
    setAttribute(Qt::WA_Hover);
    setCursor(Qt::PointingHandCursor);
    setToolTip(QStringLiteral("Git Sync Status (Click to sync, activate, or configure)"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    m_spinnerTimer.setInterval(80);
    connect(&m_spinnerTimer, &QTimer::timeout, this, [this] {
        m_spinnerAngle = (m_spinnerAngle + 30) % 360;
        update();
    });
    connect(
        &m_workspace, &WorkspaceState::gitSyncStateChanged, this, &GitSyncWidgetView::stateChanged);
    stateChanged();
}

void GitSyncWidgetView::setDarkMode(bool dark)
{
    if (m_dark == dark)
        return;
    m_dark = dark;
    update();
}

GitSyncPresentation GitSyncWidgetView::presentation() const
{
    return GitSyncPresentation::of(m_workspace.gitSyncState(), m_dark);
}

void GitSyncWidgetView::stateChanged()
{
    const GitSyncPresentation shown = presentation();
    if (shown.spinner)
        m_spinnerTimer.start();
    else
        m_spinnerTimer.stop();
    // The state is assigned again after every write of a document, mostly the same: the pill is
    // painted again only when it would look different.
    if (m_shown != shown)
        update();
}

void GitSyncWidgetView::handleTap()
{
    using Action = GitSyncPresentation::Action;
    switch (presentation().action) {
    case Action::Sync:
        m_git.syncNow();
        break;
    case Action::ActivateGit:
        m_git.activate();
        break;
    case Action::OpenConnectDialog:
        m_workspace.setShowingConnectGitModal(true);
        break;
    case Action::OpenConflictDialog:
        m_workspace.setShowingConflictGitModal(true);
        break;
    case Action::ShowInstallHelp:
        showInstallHelp();
        break;
    case Action::None:
        break;
    }
}

void GitSyncWidgetView::showInstallHelp()
{
    UserPrompts::Alert alert;
    alert.message = GitSyncPresentation::installAlertTitle();
    alert.informativeText = GitSyncPresentation::installAlertMessage();
    alert.buttons = { QStringLiteral("OK"),
        QStringLiteral("Copy '%1'").arg(GitSyncPresentation::installCommand()) };
    if (m_prompts.runAlert(alert) == 1) {
        QClipboard* clipboard = QGuiApplication::clipboard();
        clipboard->clear();
        clipboard->setText(GitSyncPresentation::installCommand());
    }
}

QSize GitSyncWidgetView::sizeHint() const
{
    const QFontMetrics title(pillFont(font(), 11.5, QFont::Medium));
    return { 160, title.height() + 2 * kVerticalPadding };
}

void GitSyncWidgetView::paintEvent(QPaintEvent*)
{
    const GitSyncPresentation p = presentation();
    m_shown = p;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (m_hovering) {
        QPainterPath background;
        background.addRoundedRect(QRectF(rect()), 6, 6);
        painter.fillPath(background, m_dark ? AppColors::whiteAt(0.04) : AppColors::blackAt(0.03));
    }
    const QRect inner = rect().adjusted(
        kHorizontalPadding, kVerticalPadding, -kHorizontalPadding, -kVerticalPadding);
    int x = inner.left();
    const int centreY = inner.center().y();
    if (p.spinner) {
        const QRectF box(x, centreY - kSpinnerSize / 2.0, kSpinnerSize, kSpinnerSize);
        painter.setPen(QPen(p.dotColor, 1.5, Qt::SolidLine, Qt::RoundCap));
        painter.drawArc(box, -m_spinnerAngle * 16, 270 * 16);
        x += kSpinnerSize;
    } else {
        painter.setPen(Qt::NoPen);
        painter.setBrush(p.dotColor);
        painter.drawEllipse(QRectF(x, centreY - kDotSize / 2.0, kDotSize, kDotSize));
        x += kDotSize;
    }
    x += kSpacing;

    const QFont detailFont = pillFont(font(), 10.5, QFont::Normal);
    int detailWidth = 0;
    if (!p.detail.isEmpty()) {
        detailWidth = QFontMetrics(detailFont).horizontalAdvance(p.detail);
        painter.setFont(detailFont);
        painter.setPen(m_dark ? AppColors::whiteAt(0.4) : AppColors::blackAt(0.4));
        painter.drawText(
            QRect(inner.right() - detailWidth + 1, inner.top(), detailWidth, inner.height()),
            Qt::AlignVCenter | Qt::AlignRight, p.detail);
        detailWidth += kSpacing;
    }
    const QFont titleFont = pillFont(font(), 11.5, QFont::Medium);
    painter.setFont(titleFont);
    painter.setPen(p.dotColor);
    const QRect titleRect(
        x, inner.top(), qMax(0, inner.right() - detailWidth - x + 1), inner.height());
    painter.drawText(titleRect, Qt::AlignVCenter | Qt::AlignLeft,
        QFontMetrics(titleFont).elidedText(p.title, Qt::ElideRight, titleRect.width()));
}

void GitSyncWidgetView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        handleTap();
}

void GitSyncWidgetView::enterEvent(QEnterEvent*)
{
    m_hovering = true;
    update();
}

void GitSyncWidgetView::leaveEvent(QEvent*)
{
    m_hovering = false;
    update();
}

} // namespace quillon
