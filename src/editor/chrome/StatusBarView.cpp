#include "editor/chrome/StatusBarView.h"

#include "editor/chrome/ChromeColors.h"
#include "editor/chrome/ChromeGlyph.h"
#include "editor/chrome/StatusBarText.h"

#include <QEvent>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>

namespace quillon {

namespace {

constexpr int kFontSize = 11;
// Narrower than this, a message would show little more than its ellipsis.
constexpr int kProblemMinWidth = 80;

QColor withAlpha(QColor color, qreal alpha)
{
    color.setAlphaF(float(color.alphaF() * alpha));
    return color;
}

void setColor(QWidget* widget, const QColor& color)
{
    if (auto* glyph = qobject_cast<ChromeGlyph*>(widget)) {
        glyph->setColor(color);
        return;
    }
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    widget->setPalette(palette);
}

QHBoxLayout* row(int spacing)
{
    auto* layout = new QHBoxLayout;
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    return layout;
}

} // namespace

StatusBarView::StatusBarView(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("statusBar"));
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPixelSize(kFontSize);
    setFont(font);
    auto label = [this](const QString& name, const QString& text = {}) {
        auto* l = new QLabel(text, this);
        l->setObjectName(name);
        return l;
    };

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(18, 9, 18, 9);
    layout->setSpacing(16);

    auto* yaml = row(6);
    m_yamlLabel = label(QStringLiteral("yamlLabel"), QStringLiteral("YAML"));
    m_yamlGlyph = new ChromeGlyph(ChromeGlyph::Shape::CheckCircle, kFontSize + 1, this);
    m_yamlState = label(QStringLiteral("yamlState"));
    yaml->addWidget(m_yamlLabel);
    yaml->addWidget(m_yamlGlyph);
    yaml->addWidget(m_yamlState);
    layout->addLayout(yaml);

    auto* problem = row(6);
    m_problemGlyph = new ChromeGlyph(ChromeGlyph::Shape::WarningTriangle, kFontSize + 1, this);
    m_problem = label(QStringLiteral("documentProblem"));
    problem->addWidget(m_problemGlyph);
    problem->addWidget(m_problem);
    // A message takes the bar's free width, and is cut to the width it gets.
    m_problem->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_problem->setMinimumWidth(kProblemMinWidth);
    m_problem->installEventFilter(this);
    layout->addLayout(problem, 1);
    // Free width the message does not take (none while one is shown) goes here.
    layout->addStretch();

    auto* stats = row(12);
    m_tokenGroup = new QWidget(this);
    m_tokenGroup->setToolTip(QStringLiteral("Approximate token count (offline estimation)"));
    auto* tokens = row(4);
    m_tokenGroup->setLayout(tokens);
    m_approx = label(QStringLiteral("tokenApprox"), QStringLiteral("≈"));
    m_tokens = label(QStringLiteral("tokenCount"), StatusBarText::tokenCount(0));
    QFont semibold = font;
    semibold.setWeight(QFont::DemiBold);
    m_tokens->setFont(semibold);
    m_tokensWord = label(QStringLiteral("tokenWord"), QStringLiteral("tokens"));
    for (QLabel* l : { m_approx, m_tokens, m_tokensWord }) {
        l->setParent(m_tokenGroup);
        tokens->addWidget(l);
    }
    m_dot1 = label(QStringLiteral("separator"), QStringLiteral("·"));
    m_words = label(QStringLiteral("wordCount"), StatusBarText::words(0));
    m_dot2 = label(QStringLiteral("separator"), QStringLiteral("·"));
    m_chars = label(QStringLiteral("charCount"), StatusBarText::characters(0));
    stats->addWidget(m_tokenGroup);
    for (QLabel* l : { m_dot1, m_words, m_dot2, m_chars })
        stats->addWidget(l);
    layout->addLayout(stats);

    // Short of room, the front-matter words give way before a figure would be cut short.
    for (QLabel* l : { m_yamlLabel, m_problem })
        l->setMinimumWidth(1);

    updateYaml();
    updateProblem();
    updateColors();
}

void StatusBarView::setValues(
    const YAMLValidator::ValidationResult& yaml, int tokenCount, int wordCount, int charCount)
{
    setYamlValidationResult(yaml);
    setTokenCount(tokenCount);
    setWordAndCharCount(wordCount, charCount);
}

void StatusBarView::setYamlValidationResult(const YAMLValidator::ValidationResult& yaml)
{
    m_yaml = yaml;
    updateYaml();
    updateColors();
}

void StatusBarView::setTokenCount(int count)
{
    m_tokens->setText(StatusBarText::tokenCount(count));
}

void StatusBarView::setWordAndCharCount(int words, int chars)
{
    m_words->setText(StatusBarText::words(words));
    m_chars->setText(StatusBarText::characters(chars));
}

void StatusBarView::setDocumentError(const QString& error)
{
    m_documentError = error;
    updateProblem();
}

void StatusBarView::setSaveError(const QString& error)
{
    m_saveError = error;
    updateProblem();
}

void StatusBarView::setDarkMode(bool dark)
{
    m_isDarkMode = dark;
    updateColors();
    update();
}

void StatusBarView::updateYaml()
{
    using Kind = YAMLValidator::ValidationResult::Kind;
    switch (m_yaml.kind) {
    case Kind::NoFrontmatter:
        m_yamlLabel->setText(QStringLiteral("No YAML frontmatter"));
        m_yamlGlyph->hide();
        m_yamlState->hide();
        m_yamlState->setToolTip({});
        break;
    case Kind::Valid:
        m_yamlLabel->setText(QStringLiteral("YAML"));
        m_yamlGlyph->setShape(ChromeGlyph::Shape::CheckCircle);
        m_yamlState->setText(QStringLiteral("valid"));
        m_yamlState->setToolTip({});
        m_yamlGlyph->show();
        m_yamlState->show();
        break;
    case Kind::Invalid:
        m_yamlLabel->setText(QStringLiteral("YAML"));
        m_yamlGlyph->setShape(ChromeGlyph::Shape::WarningTriangle);
        m_yamlState->setText(QStringLiteral("error"));
        m_yamlState->setToolTip(
            StatusBarText::yamlErrorTooltip(m_yaml.error, m_yaml.line, m_yaml.column));
        m_yamlGlyph->show();
        m_yamlState->show();
        break;
    }
}

void StatusBarView::updateProblem()
{
    const QString problem = !m_documentError.isEmpty() ? m_documentError : m_saveError;
    m_problem->setToolTip(problem);
    m_problem->setVisible(!problem.isEmpty());
    m_problemGlyph->setVisible(!problem.isEmpty());
    elideProblem();
}

void StatusBarView::elideProblem()
{
    // The whole message is in the tooltip; the file's name and the reason stay, the middle goes.
    m_problem->setText(m_problem->fontMetrics().elidedText(
        m_problem->toolTip(), Qt::ElideMiddle, m_problem->contentsRect().width()));
}

bool StatusBarView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_problem && event->type() == QEvent::Resize)
        elideProblem();
    return QWidget::eventFilter(watched, event);
}

void StatusBarView::updateColors()
{
    const bool dark = m_isDarkMode;
    const QColor secondary = ChromeColors::secondary(dark);
    const bool noFrontmatter = m_yaml.kind == YAMLValidator::ValidationResult::Kind::NoFrontmatter;
    setColor(m_yamlLabel, noFrontmatter ? withAlpha(secondary, 0.7) : secondary);
    const QColor state = m_yaml.isInvalid() ? ChromeColors::red(dark) : ChromeColors::green(dark);
    setColor(m_yamlGlyph, state);
    setColor(m_yamlState, state);
    setColor(m_problemGlyph, ChromeColors::red(dark));
    setColor(m_problem, ChromeColors::red(dark));
    const QColor blue = ChromeColors::blue(dark);
    setColor(m_approx, withAlpha(blue, 0.8));
    setColor(m_tokens, blue);
    setColor(m_tokensWord, withAlpha(blue, 0.8));
    setColor(m_dot1, withAlpha(secondary, 0.5));
    setColor(m_dot2, withAlpha(secondary, 0.5));
    setColor(m_words, secondary);
    setColor(m_chars, secondary);
}

void StatusBarView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), ChromeColors::statusBarBackground(m_isDarkMode));
    painter.fillRect(QRect(0, 0, width(), 1), ChromeColors::statusBarDivider(m_isDarkMode));
}

} // namespace quillon
