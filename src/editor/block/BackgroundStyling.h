#pragma once

#include "markdown/MarkdownHighlighter.h"
#include "markdown/MarkdownStylingCuts.h"
#include "platform/AttributedText.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

namespace quillon {

class ProjectedDocument;

// Styles the whole storage of a block view between events, a slice of a few milliseconds at a
// time, so that styling a long document never holds the window still. Each slice is a stretch
// between two cuts (MarkdownStylingCuts), styled on its own as styling the whole text at once
// would style it; the stretch the view shows can be styled ahead of the others.
//
// The pass's place is held by a cursor in the view's document, which holds the same text, so that
// changes of the text before it move it along; a change that leaves it off a paragraph start
// starts the pass again.
class BackgroundStyling : public QObject
{
    Q_OBJECT
public:
    using Options = std::function<HighlightOptions()>;
    // `options` gives the caret and appearance each slice is styled for, asked afresh each time.
    BackgroundStyling(ProjectedDocument& projected, Options options, QObject* parent = nullptr);
    ~BackgroundStyling() override;

    // (Re)starts the pass at the top of the storage. With `waitForResume`, the slices wait for
    // resume() (the view's first paint), or a quarter of a second.
    void start(bool waitForResume);
    // Styles again what changed since the last whole pass, and what was styled line by line
    // since: from the paragraph after the last fenced block before it (where nothing later
    // changes the styling) up to the first place after it where the text is cut as that pass
    // cut it (the styling after such a place is what the pass left). A whole pass, started
    // again, when no whole pass went through the text before those changes.
    // The caret's place goes with the changes: the markers it reveals are styled for it.
    void startAfterChanges(qsizetype caret);
    // Paragraphs styled on their own since the last pass (which may differ from what styling
    // the whole text gives them).
    void styledAlone(TextSpan range);
    // What was styled alone has been styled again from the last pass's cuts, the stretch around
    // `caret` with it: the caret and the focus of now are the ones styled.
    void forgetStyledAlone(qsizetype caret);
    // The length of text styled since the last call, for tests.
    qsizetype takeStyledLength() { return std::exchange(m_styledLength, 0); }
    void resume();
    void stop();
    bool isRunning() const { return m_running; }
    // While held, the slices wait (the view's document does not hold the whole text yet); the
    // pass goes on once released.
    void setHeld(bool held);
    // Styles the stretch from a cut before `needed` to a cut after it now, if the pass has not
    // styled it yet and those cuts are near enough to be found at once. Returns the stretch of
    // the storage that holds its final styling around `needed`: empty when it is still to come.
    TextSpan styleNow(TextSpan needed);
    // The length of the storage's top that the pass has styled; the whole length when none runs.
    qsizetype styledLength() const;
    // The stretch between two of the cuts the last whole pass styled by that holds `range`, as
    // long as the text is the one it went through; none otherwise. Styled alone, such a stretch
    // takes what styling the whole text would give it.
    std::optional<TextSpan> knownStretchAround(TextSpan range) const;
    // A line start at or before `position` that no fenced block spans in the text as it is now,
    // from what the passes found (0 when they know of none).
    qsizetype outsideFencesBefore(qsizetype position) const;

    // What the passes styled that the view has not been shown yet: all of the text after a
    // whole pass, or the stretches passes over changes went through, ascending (none when
    // they styled nothing). `generation` tells it apart from what is styled later.
    struct Unpresented
    {
        bool all = false;
        std::vector<TextSpan> stretches;
        quint64 generation = 0;
    };
    Unpresented unpresented() const { return { m_unpresentedAll, m_unpresented, m_generation }; }
    // The view has shown what unpresented() gave at `generation`; anything styled since stays.
    void presented(quint64 generation);

    // Styled per slice, a few milliseconds' worth.
    static constexpr int kSliceMs = 4;

Q_SIGNALS:
    void styled(TextSpan stretch);
    void finished();

private:
    void step();
    // Where the next slice begins (a cut); after a change of the text, where the pass goes on.
    qsizetype next();
    // Sets the place (the cuts, if kept, must have reached it).
    void moveTo(qsizetype position);
    // The pass styled up to the cut `end`, in order from the top.
    void passedCut(qsizetype end);
    // The cuts from the pass's place on, made afresh after the text changed.
    MarkdownStylingCuts& cuts();
    void style(TextSpan stretch);
    // Whether a pass went through to the end of the text as it was at `revision`, `length`
    // long, and none runs now.
    bool passWentThrough(quint64 revision, qsizetype length) const;
    // The storage's characters changed: what the last pass knew is moved along.
    void replaced(TextSpan removed, qsizetype inserted);
    // Where a pass over changes from `position` on may begin: the paragraph after the last
    // fenced block the last pass found before it, and not before `atLeast`.
    qsizetype startBefore(qsizetype position, qsizetype atLeast) const;
    // Where styling far ahead of the pass begins for a stretch from `position` on, `known` the
    // last cut the passes know of before it: a cut of the text, or a line start that only
    // spans of the text before would make none.
    qsizetype farStart(qsizetype position, qsizetype known) const;
    // Whether the pass, at the cut `place`, is done with the changes: the text from there on
    // is cut as the last pass cut it. Moves on to the next change, if any, instead.
    bool converged(qsizetype place);
    void finishPass();

    ProjectedDocument& m_projected;
    Options m_options;
    QTimer m_timer;
    bool m_running = false;
    // The pass goes on with the paragraph at the projected document's mark, or at the end.
    bool m_atEnd = false;
    quint64 m_placeRevision = 0; // of the text the place was set in
    qsizetype m_chunk = 16 * 1024; // of text per slice, following the measured speed
    bool m_waiting = false; // for resume()
    bool m_held = false;
    std::optional<MarkdownStylingCuts> m_cuts;
    quint64 m_cutsRevision = 0;
    // The cuts the pass went by, from the top, while the text stays the one it started on.
    std::vector<qsizetype> m_passCuts;
    quint64 m_passRevision = 0;
    // Where the prose after a fenced block begins, as the pass found them, in the same text.
    std::vector<qsizetype> m_passFenceEnds;
    // What changed or was styled alone since the last pass, in the text as it is now, while
    // its cuts and fence ends are moved along with the changes.
    std::vector<TextSpan> m_changed;
    bool m_textChanged = false; // since the last pass ended: its cuts were moved along
    // Where the text first changed since the kept cuts were found or gone through again: those
    // after it were moved along, and may no longer be places where no fenced block is open.
    qsizetype m_firstChange = std::numeric_limits<qsizetype>::max();
    // While a pass goes over changes only: the last pass's cuts and fence ends beyond where
    // it stands, the changes it is still to reach, and the place from which it may stop at one
    // of those cuts (-1 in a whole pass).
    std::vector<qsizetype> m_oldCuts;
    std::vector<qsizetype> m_oldFenceEnds;
    std::vector<TextSpan> m_pendingChanges;
    qsizetype m_convergeFrom = -1;
    qsizetype m_styledLength = 0;
    // The caret and focus the passes last styled the markers for, moved along with the text.
    qsizetype m_styledCaret = -1;
    bool m_styledFocused = false;
    // See unpresented(): moved along with the changes of the text.
    bool m_unpresentedAll = false;
    std::vector<TextSpan> m_unpresented;
    quint64 m_generation = 0;
};

} // namespace quillon
