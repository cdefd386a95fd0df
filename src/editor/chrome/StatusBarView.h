#pragma once

#include "workspace/YAMLValidator.h"

#include <QWidget>

class QLabel;

namespace quillon {

class ChromeGlyph;

// The one-line bar under the editors: the front matter's state on the left (and, when there is
// one, why the document could not be read or written); the token estimate, the words and the
// characters on the right. It only shows the plain values it is given; the window computes them.
class StatusBarView : public QWidget
{
    Q_OBJECT
public:
    explicit StatusBarView(QWidget* parent = nullptr);

    void setValues(
        const YAMLValidator::ValidationResult& yaml, int tokenCount, int wordCount, int charCount);
    void setYamlValidationResult(const YAMLValidator::ValidationResult& yaml);
    void setTokenCount(int count);
    void setWordAndCharCount(int words, int chars);
    // The active document could not be read (shown, never edited) or written; empty when fine.
    void setDocumentError(const QString& error);
    void setSaveError(const QString& error);
    void setDarkMode(bool dark);

    // What the bar shows, as a user reads it (for tests and accessibility).
    QLabel* yamlLabel() const { return m_yamlLabel; }
    QLabel* yamlStateLabel() const { return m_yamlState; }
    ChromeGlyph* yamlGlyph() const { return m_yamlGlyph; }
    QLabel* problemLabel() const { return m_problem; }
    QLabel* tokenLabel() const { return m_tokens; }
    QLabel* wordLabel() const { return m_words; }
    QLabel* charLabel() const { return m_chars; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void updateYaml();
    void updateProblem();
    void elideProblem();
    void updateColors();

    YAMLValidator::ValidationResult m_yaml;
    QString m_documentError;
    QString m_saveError;
    bool m_isDarkMode = false;
    QLabel* m_yamlLabel = nullptr;
    ChromeGlyph* m_yamlGlyph = nullptr;
    QLabel* m_yamlState = nullptr;
    ChromeGlyph* m_problemGlyph = nullptr;
    QLabel* m_problem = nullptr;
    QWidget* m_tokenGroup = nullptr;
    QLabel* m_approx = nullptr;
    QLabel* m_tokens = nullptr;
    QLabel* m_tokensWord = nullptr;
    QLabel* m_dot1 = nullptr;
    QLabel* m_words = nullptr;
    QLabel* m_dot2 = nullptr;
    QLabel* m_chars = nullptr;
};

} // namespace quillon
