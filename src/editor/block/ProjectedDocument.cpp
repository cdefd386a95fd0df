#include "editor/block/ProjectedDocument.h"

#include "markdown/MarkdownTableProjection.h"
#include "platform/TextLines.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTextFrame>

#include <algorithm>
#include <atomic>

Q_DECLARE_METATYPE(quillon::TextAttachmentPtr)

namespace quillon {

namespace {

#ifdef QT_NO_DEBUG
std::atomic_bool verifiesTableIndex { false };
#else
std::atomic_bool verifiesTableIndex { true };
#endif

// The tables of storage[from, to) as the projection's scan finds them: object characters that
// carry a table attachment.
std::vector<ProjectedTableIndex::Table> scanTables(
    const AttributedText& storage, qsizetype from, qsizetype to)
{
    std::vector<ProjectedTableIndex::Table> tables;
    const QStringView range = storage.textView({ from, to - from });
    for (qsizetype i = range.indexOf(QChar::ObjectReplacementCharacter); i >= 0;
         i = range.indexOf(QChar::ObjectReplacementCharacter, i + 1)) {
        if (const TableAttachment* table = MarkdownTableProjection::tableAt(storage, from + i))
            tables.push_back({ from + i, table->markdownLength(), table->markdownLineCount() });
    }
    return tables;
}

// The range AttributedText replaces for `range`.
TextSpan clipped(TextSpan range, qsizetype length)
{
    const qsizetype start = std::clamp<qsizetype>(range.location, 0, length);
    return { start, std::clamp<qsizetype>(range.end(), start, length) - start };
}

} // namespace

// QTextDocument turns a carriage return into a paragraph break, which would make the document
// one character shorter than the storage at every CR LF: it holds a stand-in instead.
QString ProjectedDocument::toDocumentText(QString text)
{
    text.replace(QLatin1Char('\r'), kCarriageReturnStandIn);
    return text;
}

ProjectedDocument::ProjectedDocument(QTextDocument& document)
    : m_document(document)
{
}

void ProjectedDocument::load(
    const QString& markdown, bool isDarkMode, qreal fontSize, qsizetype around)
{
    loadInParts(markdown, isDarkMode, fontSize, -1, around);
}

ProjectedDocument::Projection ProjectedDocument::project(
    QString markdown, bool isDarkMode, qreal fontSize, bool findLines)
{
    Projection projection;
    projection.storage.setText(std::move(markdown));
    std::vector<qsizetype> lengths;
    std::vector<int> lines;
    const QList<TextRange> installed = MarkdownTableProjection::installTables(
        projection.storage, isDarkMode, fontSize, &lengths, &lines);
    // The index is made from what was installed, not by looking for each table in the storage
    // again; the tables' heights are read from it.
    std::vector<ProjectedTableIndex::Table> tables;
    tables.reserve(lengths.size());
    for (qsizetype i = 0; i < installed.size(); ++i)
        tables.push_back({ installed[i].location, lengths[size_t(i)], lines[size_t(i)] });
    projection.tables = ProjectedTableIndex(tables, projection.storage.length());
    projection.storage.shareRoomWithFront();
    const QStringView text(projection.storage.text());
    if (findLines && !TextWindow::holdsWhole(text, TextWindow::Pane::Block)) {
        projection.lines.emplace(TextWindow::Pane::Block);
        projection.lines->findLines(text);
    }
    return projection;
}

void ProjectedDocument::loadInParts(
    QString markdown, bool isDarkMode, qreal fontSize, qsizetype firstPart, qsizetype around)
{
    loadInParts(project(std::move(markdown), isDarkMode, fontSize), firstPart, around);
}

void ProjectedDocument::loadInParts(Projection projection, qsizetype firstPart, qsizetype around)
{
    m_storage = std::move(projection.storage);
    m_tables = std::move(projection.tables);
    std::optional<TextWindow> lines = std::move(projection.lines);
    ++m_textRevision;
    m_validUtf16.reset();
    verifyIndex("loading");
    clearDocument();
    m_inDocument = 0;
    m_windowed = !TextWindow::holdsWhole(QStringView(m_storage.text()), TextWindow::Pane::Block);
    if (m_windowed) {
        // A window is one part: it goes in at once.
        if (lines && lines->textLength() == m_storage.length()) {
            m_window = std::move(*lines);
            m_window.estimateFound(m_estimate, tableHeights());
        } else {
            m_window.reset(QStringView(m_storage.text()), m_estimate, tableHeights());
        }
        const qsizetype at = qMin(storageOffset(around), m_storage.length());
        const auto [first, end] = m_window.around(at, at);
        placeWindow(first, end);
        return;
    }
    insertDocumentText(firstPart < 0 ? m_storage.length() : firstPart);
}

void ProjectedDocument::estimateAll()
{
    if (!m_windowed)
        return;
    m_window.estimateAll(m_estimate, tableHeights());
}

std::vector<TextWindow::FixedHeight> ProjectedDocument::tableHeights() const
{
    // A table stands in one character of its paragraph but is as high as its rows.
    std::vector<TextWindow::FixedHeight> heights;
    heights.reserve(size_t(m_tables.count()));
    // Each line count is estimated once.
    std::vector<double> byLines;
    for (const ProjectedTableIndex::Table& table : m_tables.tables()) {
        const size_t lines = size_t(table.markdownLines);
        if (lines >= byLines.size())
            byLines.resize(lines + 1, -1.0);
        if (byLines[lines] < 0)
            byLines[lines] = m_tableEstimate(table.markdownLines);
        heights.push_back({ table.position, byLines[lines] });
    }
    return heights;
}

void ProjectedDocument::placeWindow(int firstLine, int endLine)
{
    m_window.place(firstLine, endLine);
    clearDocument();
    appendToDocument(m_window.start(), m_window.end());
    m_inDocument = m_storage.length();
    m_partial = false;
}

void ProjectedDocument::clearDocument()
{
    // Emptying the document makes it a root frame of its own: the column's margins stay.
    const QTextFrameFormat frame = m_document.rootFrame()->frameFormat();
    m_document.setPlainText(QString());
    m_document.rootFrame()->setFrameFormat(frame);
}

bool ProjectedDocument::insertMore(qsizetype length)
{
    if (!isDocumentComplete())
        insertDocumentText(length < 0 ? m_storage.length() : length);
    return isDocumentComplete();
}

void ProjectedDocument::insertDocumentText(qsizetype length)
{
    // Whole paragraphs: up to the line feed at or after `length` characters.
    const QString& all = m_storage.text();
    const qsizetype from = m_inDocument;
    qsizetype to = from + length >= all.size() ? -1 : all.indexOf(u'\n', from + length);
    to = to < 0 ? all.size() : to + 1;
    appendToDocument(from, to);
    m_inDocument = to;
    m_partial = to < all.size();
}

void ProjectedDocument::appendToDocument(qsizetype from, qsizetype to)
{
    const QString& all = m_storage.text();
    // One change that brings the tables' object characters with their formats, as setPlainText()
    // would bring the text (the view then lays it out lazily, screen by screen): formats set
    // afterwards would be a change of its own, reaching from the first table to the last.
    QString text = toDocumentText(all.mid(from, to - from));
    if (m_windowed)
        m_window.breakSoftly(text, from);
    QTextCursor cursor(&m_document);
    // Placed inside the edit block, the cursor does not lay its paragraph out to know its x.
    cursor.beginEditBlock();
    cursor.movePosition(QTextCursor::End);
    qsizetype copied = from;
    // The tables are found in their index: reading the attachments of every styling run of a
    // window was a good part of moving it.
    for (const ProjectedTableIndex::Table& table : m_tables.tablesIn(from, to)) {
        const TextAttachmentPtr* attachment
            = m_storage.attribute<TextAttribute::Attachment>(table.position);
        if (!attachment || !dynamic_cast<const TableAttachment*>(attachment->get()))
            continue;
        if (table.position > copied)
            cursor.insertText(text.mid(copied - from, table.position - copied), QTextCharFormat());
        cursor.insertText(QString(QChar::ObjectReplacementCharacter), objectFormat(*attachment));
        copied = table.position + 1;
    }
    if (copied < to)
        cursor.insertText(text.mid(copied - from), QTextCharFormat());
    cursor.endEditBlock();
}

QString ProjectedDocument::documentText(int position, int length) const
{
    if (length <= 0)
        return {};
    QTextCursor cursor(&m_document);
    cursor.setPosition(position);
    cursor.setPosition(position + length, QTextCursor::KeepAnchor);
    QString text = cursor.selectedText();
    for (QChar& c : text) {
        if (c == QChar::ParagraphSeparator)
            c = QLatin1Char('\n');
        else if (c == kCarriageReturnStandIn)
            c = QLatin1Char('\r');
    }
    return text;
}

bool ProjectedDocument::mirrorDocumentChange(int position, int removed, int added, bool mayOpenGap)
{
    // The document reports the last paragraph's end as part of changes that reach it; the
    // storage has no such character.
    const int documentLength = m_document.characterCount() - 1;
    added = qMin(added, documentLength - position);
    removed = int(qMin<qsizetype>(removed, windowEnd() - windowStart() - position));
    if (added < 0 || removed < 0)
        return false;
    const QString text = documentText(position, added);
    const qsizetype at = toStorage(position);
    if (!text.contains(QChar::ObjectReplacementCharacter)) {
        // Typed text, as nearly every change is: no table to keep or take back.
        replaceInStorageBare({ at, removed }, text, mayOpenGap);
        windowReplaced({ at, removed }, text);
        return false;
    }
    AttributedText replacement(text);
    QList<int> bareObjects; // object characters that came in without a table
    for (int i = 0; i < added; ++i) {
        if (replacement.text().at(i) != QChar::ObjectReplacementCharacter)
            continue;
        // An object character keeps its table: read the attachment back from the document.
        QTextCursor cursor(&m_document);
        cursor.setPosition(position + i + 1);
        if (TextAttachmentPtr attachment = attachmentOf(cursor.charFormat()))
            replacement.addAttribute<TextAttribute::Attachment>({ i, 1 }, attachment);
        else
            bareObjects.append(i);
    }
    const bool keptTables = keepReplacedTables(int(at), removed, replacement, bareObjects);
    replaceInStorage({ at, removed }, replacement);
    windowReplaced({ at, removed }, replacement.text());
    return keptTables;
}

bool ProjectedDocument::keepReplacedTables(
    int position, int removed, AttributedText& replacement, const QList<int>& bareObjects) const
{
    // Text rebuilt from the view's own characters (a style or indent over several lines) holds
    // each table it spans as a bare object character. Taken as text, that character would be
    // written to the file in place of the table: it takes the table back, in order. So the
    // storage never holds an object character standing for a table it lost, and its Markdown
    // never holds one.
    if (bareObjects.isEmpty())
        return false;
    QList<TextAttachmentPtr> replaced;
    const QString& text = m_storage.text();
    for (qsizetype i = text.indexOf(QChar::ObjectReplacementCharacter, position);
         i >= 0 && i < position + removed;
         i = text.indexOf(QChar::ObjectReplacementCharacter, i + 1)) {
        if (MarkdownTableProjection::tableAt(m_storage, i))
            replaced.append(*m_storage.attribute<TextAttribute::Attachment>(i));
    }
    // Tables the change brings back itself stay where it puts them.
    const QString& added = replacement.text();
    for (qsizetype i = added.indexOf(QChar::ObjectReplacementCharacter); i >= 0;
         i = added.indexOf(QChar::ObjectReplacementCharacter, i + 1)) {
        if (const TextAttachmentPtr* kept = replacement.attribute<TextAttribute::Attachment>(i))
            replaced.removeOne(*kept);
    }
    const qsizetype count = qMin(replaced.size(), bareObjects.size());
    for (qsizetype k = 0; k < count; ++k) {
        replacement.addAttribute<TextAttribute::Attachment>(
            { bareObjects.at(k), 1 }, replaced.at(k));
        replacement.addAttribute<TextAttribute::ParagraphStyle>(
            { bareObjects.at(k), 1 }, MarkdownTableProjection::tableParagraphStyle());
    }
    return count > 0;
}

void ProjectedDocument::replace(TextSpan range, const QString& text)
{
    const qsizetype start = windowStart();
    replaceInStorage(range, text);
    if (!windowReplaced(range, text))
        return;
    QTextCursor cursor(&m_document);
    cursor.setPosition(int(range.location - start));
    cursor.setPosition(int(range.end() - start), QTextCursor::KeepAnchor);
    cursor.insertText(toDocumentText(text), QTextCharFormat());
}

void ProjectedDocument::replace(TextSpan range, const AttributedText& text)
{
    const qsizetype start = windowStart();
    replaceInStorage(range, text);
    if (!windowReplaced(range, text.text()))
        return;
    QTextCursor cursor(&m_document);
    cursor.beginEditBlock();
    cursor.setPosition(int(range.location - start));
    cursor.setPosition(int(range.end() - start), QTextCursor::KeepAnchor);
    cursor.insertText(toDocumentText(text.text()), QTextCharFormat());
    const qsizetype end = range.location + text.length();
    for (qsizetype i = range.location; i < end; ++i) {
        const TextAttachmentPtr* attachment = m_storage.attribute<TextAttribute::Attachment>(i);
        if (!attachment || m_storage.at(i) != QChar::ObjectReplacementCharacter)
            continue;
        cursor.setPosition(int(i - start));
        cursor.setPosition(int(i + 1 - start), QTextCursor::KeepAnchor);
        cursor.setCharFormat(objectFormat(*attachment));
    }
    cursor.endEditBlock();
}

bool ProjectedDocument::windowReplaced(TextSpan range, QStringView inserted)
{
    if (!m_windowed)
        return true;
    const TextWindow::Place place
        = m_window.apply(range.location, range.length, inserted, m_estimate);
    if (place == TextWindow::Place::Inside)
        return true;
    if (place == TextWindow::Place::Across)
        placeWindow(m_window.firstLine(), m_window.endLine());
    return false;
}

void ProjectedDocument::replaceInStorage(TextSpan range, const QString& text)
{
    const TextSpan removed = clipped(range, m_storage.length());
    m_storage.replaceCharacters(removed, text);
    storageReplaced(removed, text.size());
}

void ProjectedDocument::replaceInStorage(TextSpan range, const AttributedText& text)
{
    const TextSpan removed = clipped(range, m_storage.length());
    m_storage.replaceCharacters(removed, text);
    storageReplaced(removed, text.length());
}

void ProjectedDocument::replaceInStorageBare(TextSpan range, const QString& text, bool mayOpenGap)
{
    const TextSpan removed = clipped(range, m_storage.length());
    m_storage.replaceWithBareCharacters(removed, text, mayOpenGap);
    storageReplaced(removed, text.size());
}

void ProjectedDocument::storageReplaced(TextSpan removed, qsizetype inserted)
{
    ++m_textRevision;
    m_mark = mapThroughEdit(m_mark, removed.location, removed.length, inserted);
    validityReplaced(removed, inserted);
    indexReplaced(removed, inserted);
    if (m_replacedHook)
        m_replacedHook(removed, inserted);
}

bool ProjectedDocument::isValidUtf16() const
{
    if (!m_validUtf16)
        m_validUtf16 = textlines::isValidUtf16(m_storage.text());
    return *m_validUtf16;
}

void ProjectedDocument::validityReplaced(TextSpan removed, qsizetype inserted)
{
    if (!m_validUtf16 || !*m_validUtf16) {
        // A text that held an unpaired surrogate may have lost its last one anywhere.
        m_validUtf16.reset();
        return;
    }
    // The text around the change was valid and is unchanged: only the new characters and their
    // neighbours can make a pair or break one, read from a place no pair straddles.
    // Read as a stretch: the whole text would close the gap typing keeps in a long one.
    const qsizetype length = m_storage.length();
    const qsizetype start = qMax<qsizetype>(0, removed.location - 2);
    const qsizetype end = qMin(length, removed.location + inserted + 2);
    const QStringView text = m_storage.textView({ start, end - start });
    const auto at = [&](qsizetype i) { return text[i - start]; };
    qsizetype from = qMax<qsizetype>(0, removed.location - 1);
    if (from > 0 && at(from).isLowSurrogate() && at(from - 1).isHighSurrogate())
        --from;
    qsizetype to = qMin(length, removed.location + inserted + 1);
    if (to < length && at(to - 1).isHighSurrogate() && at(to).isLowSurrogate())
        ++to;
    m_validUtf16 = textlines::isValidUtf16(text.mid(from - start, to - from));
}

void ProjectedDocument::indexReplaced(TextSpan removed, qsizetype inserted)
{
    // Only the new characters are looked at: the tables among them, whether they came with
    // their attachments or took one over from the character before.
    const qsizetype end = removed.location + inserted;
    // An edit of the part already in the document (a paste from the menu while the rest goes
    // in) moves where the rest begins.
    if (m_partial && removed.location <= m_inDocument)
        m_inDocument += inserted - removed.length;
    m_tables.replace(
        removed.location, removed.length, inserted, scanTables(m_storage, removed.location, end));
    verifyIndex("an edit");
}

void ProjectedDocument::rebuildIndex()
{
    m_tables
        = ProjectedTableIndex(scanTables(m_storage, 0, m_storage.length()), m_storage.length());
}

void ProjectedDocument::verifyIndex(const char* change) const
{
    if (!verifiesTableIndex.load(std::memory_order_relaxed))
        return;
    // An index out of date maps offsets wrongly, and the wrong text would be written to the file.
    const qsizetype length = m_storage.length();
    if (m_tables != ProjectedTableIndex(scanTables(m_storage, 0, length), length))
        qFatal("ProjectedDocument: the table index is out of date after %s", change);
}

void ProjectedDocument::setVerifiesTableIndex(bool verifies)
{
    verifiesTableIndex.store(verifies, std::memory_order_relaxed);
}

void ProjectedDocument::styleStorage(const std::function<void(AttributedText&)>& style)
{
    style(m_storage);
    // Styling keeps the characters. Were the length to change all the same, the index is built
    // again rather than left to map offsets into the wrong text.
    if (m_storage.length() != m_tables.storageLength())
        rebuildIndex();
    verifyIndex("styling");
}

QString ProjectedDocument::markdown() const
{
    return markdown(0, m_storage.length());
}

QString ProjectedDocument::markdown(qsizetype from, qsizetype to) const
{
    from = qBound<qsizetype>(0, from, m_storage.length());
    to = qBound<qsizetype>(from, to, m_storage.length());
    const QString& text = m_storage.text();
    const std::vector<ProjectedTableIndex::Table> tables = m_tables.tablesIn(from, to);
    if (tables.empty() && from == 0 && to == text.size())
        return text;
    QString result;
    result.reserve(markdownOffset(to) - markdownOffset(from));
    qsizetype copied = from;
    for (const ProjectedTableIndex::Table& t : tables) {
        if (const TableAttachment* table
            = MarkdownTableProjection::tableAt(m_storage, t.position)) {
            result.append(QStringView(text).mid(copied, t.position - copied));
            result.append(table->markdown());
            copied = t.position + 1;
        }
    }
    result.append(QStringView(text).mid(copied, to - copied));
    return result;
}

QString ProjectedDocument::markdownBetween(qsizetype from, qsizetype to) const
{
    if (to <= from)
        return QString();
    // Widened to whole table characters, then cut back.
    const qsizetype storageFrom = storageOffset(from);
    const qsizetype markdownFrom = markdownOffset(storageFrom);
    qsizetype storageTo = storageOffset(to);
    if (markdownOffset(storageTo) < to)
        ++storageTo;
    return markdown(storageFrom, storageTo).mid(from - markdownFrom, to - from);
}

qsizetype ProjectedDocument::markdownOffset(qsizetype storageOffset) const
{
    return m_tables.markdownOffset(storageOffset);
}

qsizetype ProjectedDocument::storageOffset(qsizetype markdownOffset) const
{
    return m_tables.storageOffset(markdownOffset);
}

int ProjectedDocument::tableCount() const
{
    return m_tables.count();
}

int ProjectedDocument::tableCount(qsizetype from, qsizetype to) const
{
    return int(m_tables.tablesIn(from, to).size());
}

QList<TextRange> ProjectedDocument::tableMarkdownRanges(qsizetype from, qsizetype to) const
{
    QList<TextRange> ranges;
    for (const ProjectedTableIndex::Table& table : m_tables.tablesIn(from, to))
        ranges.append({ markdownOffset(table.position), table.markdownLength });
    return ranges;
}

QTextCharFormat ProjectedDocument::objectFormat(const TextAttachmentPtr& attachment)
{
    QTextCharFormat format;
    format.setObjectType(kTableObjectType);
    format.setProperty(kTableAttachmentProperty, QVariant::fromValue(attachment));
    format.setProperty(
        kTableIdentityProperty, int(qHash(reinterpret_cast<quintptr>(attachment.get()))));
    return format;
}

TextAttachmentPtr ProjectedDocument::attachmentOf(const QTextFormat& format)
{
    if (format.objectType() != kTableObjectType)
        return {};
    return format.property(kTableAttachmentProperty).value<TextAttachmentPtr>();
}

} // namespace quillon
