#include "editor/document/EditorFindController.h"

#include "editor/document/DocumentFind.h"
#include "editor/document/FlagScope.h"
#include "editor/layout/LazyTextLayout.h"
#include "markdown/MarkdownTextViewSupport.h"

#include <QAbstractTextDocumentLayout>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextEdit>

#include <algorithm>

namespace quillon {

void EditorFindController::scrollIntoView(QTextEdit& view, const TextRange& range)
{
    const QTextBlock block = view.document()->findBlock(int(range.location));
    if (!block.isValid())
        return;
    // Measuring the paragraph lays out its neighbours; their new heights are reported before the
    // scroll, while they are still below or above the view, so that they do not move it after.
    QAbstractTextDocumentLayout* documentLayout = view.document()->documentLayout();
    documentLayout->blockBoundingRect(block);
    if (auto* lazy = qobject_cast<LazyTextLayout*>(documentLayout))
        lazy->reportNow();
    const QTextLayout* layout = block.layout();
    const QTextLine line = layout->lineForTextPosition(int(range.location - block.position()));
    if (!line.isValid())
        return;
    const int top = int(layout->position().y() + line.y());
    const int lineHeight = int(line.height());
    QScrollBar* bar = view.verticalScrollBar();
    const int height = view.viewport()->height();
    // A line as high as a table's grid is shown whole where it fits, in the middle when a third
    // of the view cannot be kept free before it, and from its top where it does not fit: the
    // match is somewhere in it, and a third kept free would cut off its first or last rows.
    const int margin = qMin(height / 3, qMax(0, height - lineHeight) / 2);
    if (top < bar->value())
        bar->setValue(top - margin);
    else if (top + lineHeight > bar->value() + height)
        bar->setValue(qMin(top, top + lineHeight - height + margin));
}

EditorFindController::EditorFindController(
    QTextEdit& view, DocumentFind& find, FindPane pane, QObject* parent)
    : QObject(parent)
    , m_view(view)
    , m_find(find)
    , m_pane(std::move(pane))
{
    // Revealing first: what the scroll brings into view is painted once, after it.
    auto revealAndPaint = [this] {
        reveal();
        refresh();
    };
    connect(&find, &DocumentFind::searched, this, revealAndPaint);
    connect(&find, &DocumentFind::stepped, this, revealAndPaint);
    connect(&find, &DocumentFind::resumed, this, &EditorFindController::refresh);
    // A scroll paints the matches it brings into view (a step paints once, after its scroll).
    auto paintUnlessRevealing = [this] {
        if (!m_isRevealing)
            refresh();
    };
    connect(view.verticalScrollBar(), &QScrollBar::valueChanged, this, paintUnlessRevealing);
    connect(view.verticalScrollBar(), &QScrollBar::rangeChanged, this, paintUnlessRevealing);
}

void EditorFindController::setDarkMode(bool dark)
{
    if (dark == m_isDarkMode)
        return;
    m_isDarkMode = dark;
    refresh();
}

void EditorFindController::setActive(bool active)
{
    if (active == m_isActive)
        return;
    m_isActive = active;
    if (active)
        refresh();
}

void EditorFindController::refresh()
{
    if (!m_isActive)
        return;
    if (m_find.matches().isEmpty()) {
        if (!m_view.extraSelections().isEmpty())
            m_view.setExtraSelections({});
        return;
    }
    // The matches are those of the document's text: a view behind it paints once it caught up.
    if (m_pane.showsDocument())
        paintVisible();
}

void EditorFindController::reveal()
{
    const int index = m_find.revealedIndex();
    if (!m_isActive || index < 0 || !m_pane.showsDocument())
        return;
    FlagScope revealing(m_isRevealing);
    m_pane.reveal(m_pane.toView(m_find.matches().at(index)));
}

void EditorFindController::paintVisible()
{
    const QList<TextRange>& matches = m_find.matches();
    // Only the matches on screen, and a screen's worth on each side, are painted.
    const QRect viewport = m_view.viewport()->rect();
    const int first = m_view.cursorForPosition(viewport.topLeft()).position();
    const int last = m_view.cursorForPosition(viewport.bottomRight()).position();
    const int margin = qMax(1, last - first);
    const qsizetype from = m_pane.toMarkdown(qMax(0, first - margin));
    const qsizetype to = m_pane.toMarkdown(last + margin);
    const int active = m_find.activeIndex();
    const MarkdownTextViewSupport::SearchColors colors
        = MarkdownTextViewSupport::searchColors(m_isDarkMode);
    QTextCharFormat other;
    other.setBackground(colors.otherBackground);
    QTextCharFormat current;
    current.setBackground(colors.activeBackground);
    current.setForeground(colors.activeForeground);
    // A match the view draws as something else (a table's character) is marked over what is
    // drawn there, which Qt does for a selection only when it sets the text's colour too.
    QTextCharFormat otherDrawn = other;
    otherDrawn.setForeground(m_view.palette().color(QPalette::Text));
    auto it = std::lower_bound(matches.cbegin(), matches.cend(), from,
        [](const TextRange& match, qsizetype position) { return match.end() < position; });
    QList<QTextEdit::ExtraSelection> selections;
    QTextCursor cursor(m_view.document());
    for (; it != matches.cend() && it->location <= to; ++it) {
        const TextRange range = m_pane.toView(*it);
        const bool isActive = it - matches.cbegin() == active;
        // Matches that the view shows as one character (a table's) are marked once, as the
        // active one when any of them is.
        if (!selections.isEmpty() && selections.last().cursor.selectionStart() == range.location
            && selections.last().cursor.selectionEnd() == range.end()) {
            if (isActive)
                selections.last().format = current;
            continue;
        }
        cursor.setPosition(int(range.location));
        cursor.setPosition(int(range.end()), QTextCursor::KeepAnchor);
        const bool drawnOtherwise = range.length != it->length;
        selections.append({ cursor, isActive ? current : drawnOtherwise ? otherDrawn : other });
    }
    // The marks they replace may be dropped while the view's document is taking a change (the
    // scroll bar's range moves as the change is laid out), which goes over the document's
    // cursors as it does: they are let go on the next turn instead.
    if (m_retired.isEmpty())
        QMetaObject::invokeMethod(
            this, [this] { m_retired.clear(); }, Qt::QueuedConnection);
    m_retired.append(m_view.extraSelections());
    m_view.setExtraSelections(selections);
}

} // namespace quillon
