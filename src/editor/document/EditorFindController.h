#pragma once

#include "markdown/TextRange.h"

#include <QObject>
#include <QTextEdit>

#include <functional>

namespace quillon {

class DocumentFind;

// How a view shows its document's text, for find.
struct FindPane
{
    // Puts in whatever of the document the view does not hold yet; false while the view does
    // not show the document's text as it stands (edits of other views not applied yet).
    std::function<bool()> showsDocument;
    // A Markdown range as the view's positions, and a view position as a Markdown offset.
    std::function<TextRange(const TextRange&)> toView;
    std::function<qsizetype(int)> toMarkdown;
    // Scrolls the view's range into view without moving the caret.
    std::function<void(const TextRange&)> reveal;
};

// Find in document for one view: paints the matches of its document's find model that are on
// screen (a scroll paints the ones it brings into view) as extra selections, which change
// neither the text nor its styling, and reveals the active match when the find bar's own
// properties change. Ten thousand matches cost no more to show or to step through than ten.
class EditorFindController : public QObject
{
    Q_OBJECT
public:
    EditorFindController(
        QTextEdit& view, DocumentFind& find, FindPane pane, QObject* parent = nullptr);

    DocumentFind& model() const { return m_find; }
    // Scrolls the line where `range` starts into view, a third in from the edge it comes from
    // (a line too high for that as far in as it fits, its top first), without moving the caret.
    static void scrollIntoView(QTextEdit& view, const TextRange& range);
    void setDarkMode(bool dark);
    // Only the view on screen paints and reveals.
    void setActive(bool active);
    // Paints the model's matches again; call once the view shows a change of the text.
    void refresh();

private:
    void reveal();
    void paintVisible();

    QTextEdit& m_view;
    DocumentFind& m_find;
    FindPane m_pane;
    bool m_isActive = true;
    bool m_isDarkMode = false;
    bool m_isRevealing = false;
    QList<QTextEdit::ExtraSelection> m_retired; // marks just replaced, let go on the next turn
};

} // namespace quillon
