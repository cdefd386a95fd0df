#include "analytics/beacon/TrackNavigation.h"

#include "analytics/beacon/Beacon.h"

#include <QEvent>
#include <QObject>

namespace quillon {

namespace {

class NavigationTracker : public QObject
{
public:
    NavigationTracker(QObject* view, const QString& path)
        : QObject(view)
        , m_path(path)
    {
        view->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        // A spontaneous show is the window system restoring the window, not the view appearing.
        if (watched == parent() && event->type() == QEvent::Show && !event->spontaneous())
            Beacon::navigationPathChanged(m_path);
        return false;
    }

private:
    QString m_path;
};

} // namespace

void trackNavigation(QObject* view, const QString& path)
{
    if (view)
        new NavigationTracker(view, path);
}

} // namespace quillon
