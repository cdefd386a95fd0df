#pragma once

#include <QElapsedTimer>
#include <QObject>

namespace quillon {

// For the start-up benchmarks only (QUILLON_PAINT_PROBE in the environment): reports when the
// window first painted ("first") or when it stopped repainting ("settled"), as a CLOCK_MONOTONIC
// time in nanoseconds on standard output with the process's peak resident memory, then quits.
// Does nothing when the variable is not set.
class StartupProbe : public QObject
{
    Q_OBJECT
public:
    static void installFromEnvironment();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class Mode { First, Settled };
    explicit StartupProbe(Mode mode);
    void check();
    void report();

    Mode m_mode;
    bool m_painted = false;
    bool m_reported = false;
    qint64 m_lastPaintNs = 0;
};

} // namespace quillon
