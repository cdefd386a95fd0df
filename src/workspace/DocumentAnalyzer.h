#pragma once

#include "platform/ChunkedText.h"
#include "workspace/YAMLValidator.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <functional>

namespace quillon {

class WorkspaceState;

// The active document's analyses for the status bar: the token estimate and the word and
// character counts (published here) and the front-matter validation (published to
// WorkspaceState::yamlValidationResult). Every change of the text, and a switch to another
// document, schedules them, debounced, and runs them off the main thread on a snapshot of the
// text; a short document shown after a switch is counted at once, so that its figures come with
// it. A run started for an older text never publishes over a newer one's result. Main thread
// only.
class DocumentAnalyzer : public QObject
{
    Q_OBJECT
public:
    static constexpr int kTokenDelayMs = 250;
    static constexpr int kValidationDelayMs = 300;
    static constexpr int kCountDelayMs = 100;
    // Counting this many characters takes well under a millisecond.
    static constexpr qsizetype kCountAtOnceLength = 256 * 1024;

    using TokenEstimator = std::function<int(const ChunkedText&)>;
    using Validator = std::function<YAMLValidator::ValidationResult(const QString&)>;
    struct Counts
    {
        int words = 0;
        int characters = 0;
        bool operator==(const Counts&) const = default;
    };
    using Counter = std::function<Counts(const ChunkedText&)>;

    // Follows the workspace's active document from now on.
    explicit DocumentAnalyzer(WorkspaceState& workspace, QObject* parent = nullptr);
    ~DocumentAnalyzer() override;

    int tokenCount() const { return m_tokenCount; }
    Counts counts() const { return m_counts; }
    // Schedules the analyses of `text` (the window calls it once with the current text when the
    // detail column is first shown).
    void schedule(const QString& text);

    // Words: pieces between runs of Unicode whitespace and line breaks.
    static int wordCount(QStringView text);
    // User-perceived characters (extended grapheme clusters).
    static int characterCount(const QString& text);
    static Counts countsOf(const QString& text);
    // The same of a long text, counted a stretch at a time: no copy of the whole is made.
    static Counts countsOf(const ChunkedText& text);
    // The start of `text` that its front matter lies in, in whole lines: up to the line that
    // closes it, or the first line when it opens none. What validating it reads, without a copy
    // of the whole text; a text whose front matter never closes is given whole.
    static QString frontMatterStretch(const ChunkedText& text);

    // Replaces the analyses (tests slow them down to race them).
    void setAnalysesForTesting(TokenEstimator estimator, Validator validator);
    void setCounterForTesting(Counter counter);

Q_SIGNALS:
    void tokenCountChanged(int count);
    void countsChanged(int words, int characters);

private:
    struct Slot
    {
        QTimer timer;
        ChunkedText pendingText;
        // The run takes the active document's text as it is when the run starts.
        bool takesCurrentText = false;
        quint64 started = 0; // generation of the newest run started
    };
    ChunkedText takePendingText(Slot& slot) const;
    void scheduleCurrentText();
    void showCurrentDocument();
    void startTokenRun();
    void startValidationRun();
    void startCountRun();
    void publishCounts(const Counts& counts);

    QPointer<WorkspaceState> m_workspace;
    TokenEstimator m_estimator;
    Validator m_validator;
    Counter m_counter;
    Slot m_token;
    Slot m_validation;
    Slot m_count;
    int m_tokenCount = 0;
    Counts m_counts;
};

} // namespace quillon
