#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

namespace quillon {

// When the block editor presents styling beyond what an edit or a caret move restyles at once:
// once typing pauses, the whole text is highlighted again and compared (which settles what
// line-by-line styling could not see), and the whole document is presented a chunk of
// paragraphs per turn of the event loop, after the view's next paint when the part in view
// should reach the screen first. BackgroundStyling styles a long storage in slices; this object
// schedules the presenting, and the pause.
//
// It holds the timers and the place of the chunked pass only; what each step does is the
// editor's, asked through the hooks. The hooks are called from timer events alone, never from
// inside a call of the editor to this object.
class RestyleScheduler : public QObject
{
    Q_OBJECT
public:
    struct Hooks
    {
        // Typing paused.
        std::function<void()> paused;
        // The view's document does not hold the whole text yet: the pass waits for
        // textLoaded().
        std::function<bool()> isLoading;
        // Work is pending that must go first: the pass goes on on the next turn.
        std::function<bool()> mustWait;
        // Presents paragraphs [firstBlock, lastBlock] (the last may lie beyond the document).
        std::function<void(int firstBlock, int lastBlock)> presentChunk;
        std::function<int()> blockCount;
        // Every paragraph was presented.
        std::function<void()> finished;
    };

    // Paragraphs presented per step.
    static constexpr int kChunk = 800;

    explicit RestyleScheduler(Hooks hooks, QObject* parent = nullptr);

    // (Re)starts the wait for a pause in typing.
    void waitForPause();
    // (Re)starts the pass at the first paragraph, or at `firstBlock` up to `lastBlock`. With
    // `afterPaint`, its first step waits for painted(), or a quarter of a second.
    void startPass(bool afterPaint, int firstBlock = 0, int lastBlock = -1);
    void cancelPass();
    bool isPassRunning() const { return m_nextBlock >= 0; }
    // The view was painted: a pass waiting for it goes on.
    void painted();
    // The whole text is in the view's document: a pass waiting for it goes on.
    void textLoaded();

private:
    void step();

    Hooks m_hooks;
    QTimer m_pauseTimer;
    QTimer m_passTimer;
    int m_nextBlock = -1; // of the pass; none runs while negative
    int m_lastBlock = -1; // of the pass; the document's last while negative
    bool m_awaitsPaint = false;
};

} // namespace quillon
