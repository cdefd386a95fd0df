#pragma once

#include <QString>

class QObject;

namespace quillon {

// Reports a navigation to `path` (Beacon::navigationPathChanged(to:)) each time `view` comes on
// screen: any object that receives show events, a widget or a window. Nothing is sent when it is
// hidden, or when a minimised window is restored. The tracking ends with the view.
void trackNavigation(QObject* view, const QString& path);

} // namespace quillon
