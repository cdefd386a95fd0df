#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

class QTextDocument;

namespace quillon {

class AttributedText;

// Colours the source pane's document with CodeSyntaxHighlighter as layout formats, which leave
// the text and its undo history alone. Only paragraphs whose colours changed are laid out again.
//
// A long text is not coloured whole on every keystroke: the lines around an edit are coloured at
// once (inside the fenced block that holds them, by the rules of the whole document) and the
// whole text once typing pauses, which settles what a local pass cannot see (a quote or a link
// that spans many lines).
class SourceColouring : public QObject
{
    Q_OBJECT
public:
    // Texts up to this length are coloured whole after every edit.
    static constexpr qsizetype kWholeTextLimit = 32'000;

    // `currentText` gives the document's text (as the pane reads it) for the pass that follows a
    // pause in typing.
    SourceColouring(QTextDocument& document, std::function<const QString&()> currentText,
        QObject* parent = nullptr);

    bool isDarkMode() const { return m_isDarkMode; }
    qreal fontSize() const { return m_fontSize; }
    void setAppearance(bool isDarkMode, qreal fontSize);

    void colourAll(const QString& text);
    // After the user changed [from, to) of `text` (offsets after the change).
    void colourEdit(const QString& text, qsizetype from, qsizetype to);
    // Runs the whole-text pass now if one is waiting.
    void flush();
    bool hasPendingPass() const { return m_wholePass.isActive(); }

Q_SIGNALS:
    // After a pass, with the number of paragraphs whose colours changed.
    void coloured(int changedParagraphs);

private:
    // Moves the colours of `coloured` (which holds text[offset, offset + its length)) into the
    // paragraphs that lie wholly inside it.
    int apply(const AttributedText& coloured, qsizetype offset);

    QTextDocument& m_document;
    std::function<const QString&()> m_currentText;
    QTimer m_wholePass;
    bool m_isDarkMode = false;
    qreal m_fontSize = 15;
    bool m_lastWasYAML = false;
};

} // namespace quillon
