#include "app/MainWindowFrame.h"

#include <QEvent>
#include <QFileInfo>
#include <QScreen>
#include <QWidget>
#include <QWindow>

namespace quillon::MainWindowFrame {

namespace {

// Waits for the window manager's frame around the new window (the window hears of it as a move)
// and then fits the frame to the screen once.
class FrameFitter : public QObject
{
public:
    FrameFitter(QWidget* window, QSize wanted)
        : QObject(window)
        , m_window(window)
        , m_wanted(wanted)
        , m_given(window->size())
    {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != m_window)
            return false;
        if (event->type() != QEvent::Move && event->type() != QEvent::Resize)
            return false;
        if (m_window->size() != m_given) {
            finish();
        } else if (event->type() == QEvent::Move && m_window->windowHandle()
            && !m_window->windowHandle()->frameMargins().isNull()) {
            finish();
            fit();
        }
        return false;
    }

private:
    void finish()
    {
        m_window->removeEventFilter(this);
        deleteLater();
    }

    void fit()
    {
        if (m_window->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen))
            return;
        const QRect available = m_window->screen()->availableGeometry();
        const QRect frame = m_window->frameGeometry();
        if (available.contains(frame))
            return;
        const QMargins margins = m_window->windowHandle()->frameMargins();
        const QRect fitted
            = fittedFrame(frame, margins, m_wanted, m_window->minimumSize(), available);
        m_window->resize(fitted.size().shrunkBy(margins));
        m_window->move(fitted.topLeft());
    }

    QWidget* m_window;
    QSize m_wanted;
    QSize m_given;
};

} // namespace

QString title(const QString& activeDocument)
{
    const QString program = QStringLiteral("Quillon");
    if (activeDocument.isEmpty())
        return program;
    QString name = QFileInfo(activeDocument).fileName();
    // A window title's "[*]" is where Qt puts the unsaved mark; doubled, it is shown as written.
    name.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
    return name + QStringLiteral(" — ") + program;
}

QRect fittedFrame(const QRect& frame, const QMargins& margins, QSize wanted, QSize minimum,
    const QRect& available)
{
    const QSize contents = wanted.boundedTo(available.size().shrunkBy(margins)).expandedTo(minimum);
    const QSize outer = contents.grownBy(margins);
    const int x = qBound(available.left(), frame.left(),
        qMax(available.left(), available.right() + 1 - outer.width()));
    const int y = qBound(available.top(), frame.top(),
        qMax(available.top(), available.bottom() + 1 - outer.height()));
    return QRect(QPoint(x, y), outer);
}

void fitToScreen(QWidget* window, QSize wanted)
{
    // Before the window is shown there is no frame yet to allow for; the window manager then
    // places the contents where it likes.
    const QRect available = window->screen()->availableGeometry();
    const QRect first = fittedFrame(
        QRect(available.topLeft(), wanted), {}, wanted, window->minimumSize(), available);
    window->resize(first.size());
    new FrameFitter(window, wanted);
}

} // namespace quillon::MainWindowFrame
