#include "workspace/DocumentAnalyzer.h"

#include "workspace/Document.h"
#include "workspace/TokenCounter.h"
#include "workspace/WorkspaceState.h"

#include <QFutureWatcher>
#include <QTextBoundaryFinder>
#include <QtConcurrent/QtConcurrentRun>

namespace quillon {

DocumentAnalyzer::DocumentAnalyzer(WorkspaceState& workspace, QObject* parent)
    : QObject(parent)
    , m_workspace(&workspace)
    , m_estimator([](const ChunkedText& text) { return int(TokenCounter::estimate(text)); })
    , m_validator([](const QString& text) { return YAMLValidator::validate(text); })
    , m_counter([](const ChunkedText& text) { return countsOf(text); })
{
    for (Slot* slot : { &m_token, &m_validation, &m_count })
        slot->timer.setSingleShot(true);
    m_token.timer.setInterval(kTokenDelayMs);
    m_validation.timer.setInterval(kValidationDelayMs);
    m_count.timer.setInterval(kCountDelayMs);
    connect(&m_token.timer, &QTimer::timeout, this, &DocumentAnalyzer::startTokenRun);
    connect(&m_validation.timer, &QTimer::timeout, this, &DocumentAnalyzer::startValidationRun);
    connect(&m_count.timer, &QTimer::timeout, this, &DocumentAnalyzer::startCountRun);
    connect(&workspace, &WorkspaceState::currentFileContentChanged, this,
        &DocumentAnalyzer::scheduleCurrentText);
    connect(&workspace, &WorkspaceState::activeTabURLChanged, this,
        &DocumentAnalyzer::showCurrentDocument);
}

void DocumentAnalyzer::scheduleCurrentText()
{
    for (Slot* slot : { &m_token, &m_validation, &m_count }) {
        slot->pendingText = ChunkedText();
        slot->takesCurrentText = true;
        slot->timer.start();
    }
}

void DocumentAnalyzer::showCurrentDocument()
{
    scheduleCurrentText();
    // Another document's figures come with its text: there is no typing to wait for.
    m_count.timer.stop();
    const Document* active = m_workspace ? m_workspace->activeDocument() : nullptr;
    if (active && active->text().size() > kCountAtOnceLength) {
        startCountRun();
        return;
    }
    m_count.takesCurrentText = false;
    ++m_count.started; // a run for the document shown before publishes nothing
    publishCounts(m_counter(active ? active->text() : ChunkedText()));
}

DocumentAnalyzer::~DocumentAnalyzer() = default;

void DocumentAnalyzer::setAnalysesForTesting(TokenEstimator estimator, Validator validator)
{
    m_estimator = std::move(estimator);
    m_validator = std::move(validator);
}

void DocumentAnalyzer::setCounterForTesting(Counter counter)
{
    m_counter = std::move(counter);
}

void DocumentAnalyzer::schedule(const QString& text)
{
    const ChunkedText snapshot(text);
    for (Slot* slot : { &m_token, &m_validation, &m_count }) {
        slot->pendingText = snapshot;
        slot->takesCurrentText = false;
        slot->timer.start();
    }
}

ChunkedText DocumentAnalyzer::takePendingText(Slot& slot) const
{
    if (std::exchange(slot.takesCurrentText, false) && m_workspace) {
        const Document* active = m_workspace->activeDocument();
        return active ? active->text() : ChunkedText();
    }
    return std::exchange(slot.pendingText, {});
}

void DocumentAnalyzer::startTokenRun()
{
    const quint64 generation = ++m_token.started;
    auto* watcher = new QFutureWatcher<int>(this);
    connect(watcher, &QFutureWatcher<int>::finished, this, [this, watcher, generation] {
        watcher->deleteLater();
        if (generation != m_token.started)
            return; // a newer text's run is under way or done
        const int count = watcher->result();
        if (count != m_tokenCount) {
            m_tokenCount = count;
            Q_EMIT tokenCountChanged(count);
        }
    });
    // The snapshot shares the document's pieces; the estimate reads them off the main thread.
    watcher->setFuture(QtConcurrent::run(
        [estimator = m_estimator, text = takePendingText(m_token)] { return estimator(text); }));
}

void DocumentAnalyzer::startValidationRun()
{
    using Result = YAMLValidator::ValidationResult;
    const quint64 generation = ++m_validation.started;
    auto* watcher = new QFutureWatcher<Result>(this);
    connect(watcher, &QFutureWatcher<Result>::finished, this, [this, watcher, generation] {
        watcher->deleteLater();
        if (generation != m_validation.started || !m_workspace)
            return;
        m_workspace->setYamlValidationResult(watcher->result());
    });
    watcher->setFuture(
        QtConcurrent::run([validator = m_validator, text = takePendingText(m_validation)] {
            return validator(frontMatterStretch(text));
        }));
}

void DocumentAnalyzer::startCountRun()
{
    const quint64 generation = ++m_count.started;
    auto* watcher = new QFutureWatcher<Counts>(this);
    connect(watcher, &QFutureWatcher<Counts>::finished, this, [this, watcher, generation] {
        watcher->deleteLater();
        if (generation == m_count.started)
            publishCounts(watcher->result());
    });
    // Counting a long text takes longer than a keystroke: never on the main thread.
    watcher->setFuture(QtConcurrent::run(
        [counter = m_counter, text = takePendingText(m_count)] { return counter(text); }));
}

void DocumentAnalyzer::publishCounts(const Counts& counts)
{
    if (counts == m_counts)
        return;
    m_counts = counts;
    Q_EMIT countsChanged(counts.words, counts.characters);
}

DocumentAnalyzer::Counts DocumentAnalyzer::countsOf(const QString& text)
{
    return { wordCount(text), characterCount(text) };
}

DocumentAnalyzer::Counts DocumentAnalyzer::countsOf(const ChunkedText& text)
{
    // A line feed ends a cluster and a word: the stretches' counts add up to the whole's.
    Counts total;
    text.forEachLineStretch(1 << 20, [&](const QString& stretch) {
        const Counts counts = countsOf(stretch);
        total.words += counts.words;
        total.characters += counts.characters;
    });
    return total;
}

QString DocumentAnalyzer::frontMatterStretch(const ChunkedText& text)
{
    for (qsizetype length = 64 * 1024; length < text.size(); length *= 4) {
        const qsizetype end = text.lastIndexOf(QChar(u'\n'), length - 1) + 1;
        if (end <= 0)
            continue;
        const QString stretch = text.mid(0, end);
        // Whether the first line opens front matter, as the validator reads it: a marker line
        // after it would close it.
        const QString opening = stretch.left(stretch.indexOf(u'\n') + 1) + QStringLiteral("---");
        if (!YAMLValidator::extractFrontmatter(opening)
            || YAMLValidator::extractFrontmatter(stretch))
            return stretch;
    }
    return text.toString();
}

int DocumentAnalyzer::wordCount(QStringView text)
{
    int words = 0;
    bool inWord = false;
    for (QChar c : text) {
        const bool space = c.isSpace();
        if (!space && !inWord)
            ++words;
        inWord = !space;
    }
    return words;
}

namespace {

int clustersOf(const QString& text)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    int count = 0;
    while (finder.toNextBoundary() != -1)
        ++count;
    return count;
}

} // namespace

int DocumentAnalyzer::characterCount(const QString& text)
{
    // Below U+0300 every character is a cluster of its own, CR LF excepted: the full rules run
    // only on the stretches around other characters, so a long text in Latin script is counted
    // in one quick pass.
    const char16_t* s = reinterpret_cast<const char16_t*>(text.constData());
    const qsizetype n = text.size();
    const auto high = [s](qsizetype at) { return s[at] >= 0x300; };
    // A low character that a following high one may join (its base, or the CR LF before it).
    const auto startsStretch = [&](qsizetype at) {
        return high(at) || (at + 1 < n && high(at + 1))
            || (s[at] == u'\r' && at + 2 < n && s[at + 1] == u'\n' && high(at + 2));
    };
    int count = 0;
    qsizetype i = 0;
    while (i < n) {
        if (startsStretch(i)) {
            qsizetype end = i;
            while (end < n && startsStretch(end))
                ++end;
            // The character after the stretch, which a prepended one joins.
            if (end < n) {
                ++end;
                if (s[end - 1] == u'\r' && end < n && s[end] == u'\n')
                    ++end;
            }
            count += clustersOf(text.mid(i, end - i));
            i = end;
        } else if (s[i] == u'\r' && i + 1 < n && s[i + 1] == u'\n') {
            ++count;
            i += 2;
        } else {
            ++count;
            ++i;
        }
    }
    return count;
}

} // namespace quillon
