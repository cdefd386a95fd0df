#include "workspace/DocumentAnalyzer.h"

#include "workspace/TokenCounter.h"
#include "workspace/WorkspaceState.h"

#include <QFutureWatcher>
#include <QTextBoundaryFinder>
#include <QtConcurrent/QtConcurrentRun>

namespace quillon {

DocumentAnalyzer::DocumentAnalyzer(WorkspaceState& workspace, QObject* parent)
    : QObject(parent)
    , m_workspace(&workspace)
    , m_estimator([](const QString& text) { return int(TokenCounter::estimate(text)); })
    , m_validator([](const QString& text) { return YAMLValidator::validate(text); })
{
    for (Slot* slot : { &m_token, &m_validation })
        slot->timer.setSingleShot(true);
    m_token.timer.setInterval(kTokenDelayMs);
    m_validation.timer.setInterval(kValidationDelayMs);
    connect(&m_token.timer, &QTimer::timeout, this, &DocumentAnalyzer::startTokenRun);
    connect(&m_validation.timer, &QTimer::timeout, this, &DocumentAnalyzer::startValidationRun);
    connect(&workspace, &WorkspaceState::currentFileContentChanged, this,
        [this] { schedule(m_workspace->currentFileContent()); });
}

DocumentAnalyzer::~DocumentAnalyzer() = default;

void DocumentAnalyzer::setAnalysesForTesting(TokenEstimator estimator, Validator validator)
{
    m_estimator = std::move(estimator);
    m_validator = std::move(validator);
}

void DocumentAnalyzer::schedule(const QString& text)
{
    m_token.pendingText = text;
    m_validation.pendingText = text;
    m_token.timer.start();
    m_validation.timer.start();
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
    watcher->setFuture(QtConcurrent::run(m_estimator, std::exchange(m_token.pendingText, {})));
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
    watcher->setFuture(QtConcurrent::run(m_validator, std::exchange(m_validation.pendingText, {})));
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

int DocumentAnalyzer::characterCount(const QString& text)
{
    if (text.isEmpty())
        return 0;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    int count = 0;
    while (finder.toNextBoundary() != -1)
        ++count;
    return count;
}

} // namespace quillon
