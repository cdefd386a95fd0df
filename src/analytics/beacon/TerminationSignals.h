#pragma once

namespace quillon {

// Turns SIGTERM and SIGINT into a clean QCoreApplication::quit() on the main thread, so the
// quit-time work (aboutToQuit) runs as it does for a normal quit.
struct TerminationSignals
{
    // Installs the handlers once; later calls do nothing. Call on the main thread of a
    // QCoreApplication.
    static bool install();
};

} // namespace quillon
