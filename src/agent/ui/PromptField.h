#pragma once

#include <QPlainTextEdit>

namespace quillon {

// The assistant's prompt field: plain text, one to five visible lines as the text grows. Return
// submits; Shift+Return starts a new line.
class PromptField : public QPlainTextEdit
{
    Q_OBJECT
public:
    static constexpr int maxVisibleLines = 5;

    explicit PromptField(QWidget* parent = nullptr);

    // The text exactly as typed: line breaks as "\n", no other character rewritten.
    QString text() const;
    int visibleLines() const { return m_visibleLines; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

Q_SIGNALS:
    void submitted();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void fitHeight();
    int heightForLines(int lines) const;
    qreal emptyLineHeight() const;

    int m_visibleLines = 1;
};

} // namespace quillon
