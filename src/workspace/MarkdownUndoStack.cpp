#include "workspace/MarkdownUndoStack.h"

#include <cstring>

namespace quillon {

MarkdownReplacement MarkdownReplacement::between(const QString& before, const QString& after)
{
    const qsizetype minLength = qMin(before.size(), after.size());
    const QChar* b = before.constData();
    const QChar* a = after.constData();
    // Whole chunks are compared with memcmp first: the texts are often megabytes long and
    // differ in one place.
    constexpr qsizetype chunk = 256;
    qsizetype prefix = 0;
    while (prefix + chunk <= minLength
        && std::memcmp(b + prefix, a + prefix, chunk * sizeof(QChar)) == 0)
        prefix += chunk;
    while (prefix < minLength && b[prefix] == a[prefix])
        ++prefix;
    const QChar* bEnd = b + before.size();
    const QChar* aEnd = a + after.size();
    qsizetype suffix = 0;
    while (suffix + chunk <= minLength - prefix
        && std::memcmp(bEnd - suffix - chunk, aEnd - suffix - chunk, chunk * sizeof(QChar)) == 0)
        suffix += chunk;
    while (suffix < minLength - prefix && bEnd[-1 - suffix] == aEnd[-1 - suffix])
        ++suffix;
    // Never split a surrogate pair between the kept and the replaced part.
    if (prefix > 0 && before.at(prefix - 1).isHighSurrogate())
        --prefix;
    if (suffix > 0 && before.at(before.size() - suffix).isLowSurrogate())
        --suffix;
    MarkdownReplacement change;
    change.position = int(prefix);
    change.removed = before.mid(prefix, before.size() - prefix - suffix);
    change.inserted = after.mid(prefix, after.size() - prefix - suffix);
    change.caretBefore = int(prefix);
    change.caretAfter = int(prefix + change.inserted.size());
    return change;
}

bool MarkdownReplacement::applyTo(QString& text) const
{
    if (position < 0 || position + removed.size() > text.size())
        return false;
    if (QStringView(text).mid(position, removed.size()) != removed)
        return false;
    text.replace(position, removed.size(), inserted);
    return true;
}

MarkdownReplacement MarkdownReplacement::inverted() const
{
    MarkdownReplacement inverse;
    inverse.position = position;
    inverse.removed = inserted;
    inverse.inserted = removed;
    inverse.caretBefore = caretAfter;
    inverse.caretAfter = caretBefore;
    return inverse;
}

void MarkdownUndoStack::record(const MarkdownReplacement& change, Kind kind)
{
    if (change.isEmpty())
        return;
    m_redo.clear();
    const bool typedInsertion = kind == Kind::Typing && change.removed.isEmpty()
        && !change.inserted.contains(QLatin1Char('\n'));
    if (typedInsertion && m_typingOpen && !m_undo.empty()) {
        MarkdownReplacement& last = m_undo.back();
        if (last.removed.isEmpty() && change.position == last.position + last.inserted.size()) {
            last.inserted += change.inserted;
            last.caretAfter = change.caretAfter;
            return;
        }
    }
    m_undo.push_back(change);
    m_typingOpen = typedInsertion;
}

void MarkdownUndoStack::clear()
{
    m_undo.clear();
    m_redo.clear();
    m_typingOpen = false;
}

std::optional<MarkdownReplacement> MarkdownUndoStack::takeUndo()
{
    m_typingOpen = false;
    if (m_undo.empty())
        return std::nullopt;
    MarkdownReplacement step = m_undo.back();
    m_undo.pop_back();
    m_redo.push_back(step);
    return step.inverted();
}

std::optional<MarkdownReplacement> MarkdownUndoStack::takeRedo()
{
    m_typingOpen = false;
    if (m_redo.empty())
        return std::nullopt;
    MarkdownReplacement step = m_redo.back();
    m_redo.pop_back();
    m_undo.push_back(step);
    return step;
}

} // namespace quillon
