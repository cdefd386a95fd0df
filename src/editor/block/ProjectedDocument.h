#pragma once

#include "editor/layout/TextWindow.h"
#include "editor/table/ProjectedTableIndex.h"
#include "markdown/TextRange.h"
#include "platform/AttributedText.h"

#include <QList>
#include <QString>
#include <QTextCharFormat>

#include <functional>
#include <optional>

class QTextDocument;

namespace quillon {

// The block editor's two copies of the projected text, kept equal character for character:
// the storage (an AttributedText the Markdown engine styles, each table one U+FFFC carrying its
// attachment) and the view's QTextDocument (line feeds as paragraph breaks, each table an object
// character drawn by TableAttachmentCell).
//
// The storage is the truth for the Markdown text; the document is where the user types. A user
// edit is mirrored from the document into the storage; programmatic changes go to both.
//
// Offsets cross between the Markdown and the storage through an index of the storage's tables
// (their characters and Markdown lengths), so that mapping the caret at the end of a long text
// never walks the text. Every change of the storage's characters goes through this class, which
// keeps the index in step; the storage is handed out for styling only (styleStorage).
class ProjectedDocument
{
public:
    static constexpr int kTableObjectType = QTextFormat::UserObject + 1;
    static constexpr int kTableAttachmentProperty = QTextFormat::UserProperty + 1;
    // A number that tells one table's format from another's where the text document files its
    // formats: it hashes a property of our own type by the type's name alone, so without it
    // every table would land in one bucket and each new one be compared with all before it.
    static constexpr int kTableIdentityProperty = QTextFormat::UserProperty + 2;

    explicit ProjectedDocument(QTextDocument& document);

    const AttributedText& storage() const { return m_storage; }
    QTextDocument& document() const { return m_document; }
    // Lets `style` set the storage's attributes. It must keep the characters and the tables'
    // attachments as they are.
    void styleStorage(const std::function<void(AttributedText&)>& style);

    // Replaces both copies with `markdown`, every pipe table installed as one attachment. A long
    // one is held in the document as a window around the Markdown offset `around`.
    void load(const QString& markdown, bool isDarkMode, qreal fontSize, qsizetype around = 0);
    // A text's storage made ready to load, its tables installed and indexed: the longest part of
    // a load, which touches neither copy and may be made on another thread.
    // With `findLines`, the lines of a storage to be held as a window are found too.
    struct Projection
    {
        AttributedText storage;
        ProjectedTableIndex tables;
        std::optional<TextWindow> lines;
    };
    static Projection project(
        QString markdown, bool isDarkMode, qreal fontSize, bool findLines = false);
    // The same, with only the first paragraphs of about `firstPart` characters put into the
    // document; insertMore() puts in the rest, part by part. Until it is all in, the document
    // is the storage's beginning and nothing may edit either.
    void loadInParts(QString markdown, bool isDarkMode, qreal fontSize, qsizetype firstPart,
        qsizetype around = 0);
    void loadInParts(Projection projection, qsizetype firstPart, qsizetype around = 0);
    // Puts the next paragraphs, about `length` characters (all that is left for -1), into the
    // document; true once it holds the whole storage.
    bool insertMore(qsizetype length);
    bool isDocumentComplete() const { return !m_partial; }
    // The user changed the document at [position, position + added) (replacing `removed`
    // characters): bring the storage in step. Tables keep their attachments, also those that
    // the change put back as bare object characters; true when it did (the document's
    // characters then draw no table until it is loaded again).
    bool mirrorDocumentChange(int position, int removed, int added, bool mayOpenGap = true);
    // Replaces a storage range in both copies (undo, redo). Must not touch a table character.
    void replace(TextSpan range, const QString& text);
    // Replaces a storage range in both copies with `text`, whose table characters carry their
    // attachments.
    void replace(TextSpan range, const AttributedText& text);

    QString markdown() const;
    // Markdown of the storage range [from, to), tables expanded.
    QString markdown(qsizetype from, qsizetype to) const;
    // The Markdown text between two Markdown offsets (which may fall inside a table's).
    QString markdownBetween(qsizetype from, qsizetype to) const;
    qsizetype markdownOffset(qsizetype storageOffset) const;
    qsizetype storageOffset(qsizetype markdownOffset) const;
    // Number of table attachments in the storage, and in its range [from, to).
    int tableCount() const;
    int tableCount(qsizetype from, qsizetype to) const;
    // The Markdown ranges of the tables whose characters stand in the storage range [from, to).
    QList<TextRange> tableMarkdownRanges(qsizetype from, qsizetype to) const;
    // Counts the changes of the storage's characters (loads included), so that work done over
    // the text in steps can tell whether it is still the text it began on.
    quint64 textRevision() const { return m_textRevision; }
    // Whether the storage holds no unpaired surrogate. Styling asks this of the whole text
    // after every key, so each change answers it from the few characters around it.
    bool isValidUtf16() const;

    // A long storage is held in the document only in part: the paragraphs of a TextWindow over
    // the storage's lines, from windowStart(). A storage no longer than the window's length is
    // held whole, and its document positions are its storage offsets.
    bool holdsAll() const { return !m_windowed; }
    qsizetype windowStart() const { return m_windowed ? m_window.start() : 0; }
    qsizetype windowEnd() const { return m_windowed ? m_window.end() : m_storage.length(); }
    const TextWindow& window() const { return m_window; }
    TextWindow& window() { return m_window; }
    // A storage offset as a position of the document, clamped to what it holds, and back.
    int toDocument(qsizetype storageOffset) const
    {
        return int(
            qBound<qsizetype>(0, storageOffset - windowStart(), windowEnd() - windowStart()));
    }
    qsizetype toStorage(int documentPosition) const { return windowStart() + documentPosition; }
    bool inWindow(qsizetype storageOffset) const
    {
        return storageOffset >= windowStart() && storageOffset <= windowEnd();
    }
    // How the paragraphs outside the window are given a height.
    // A table's paragraph is estimated from its Markdown's line count.
    using TableEstimate = std::function<double(int markdownLines)>;
    void setEstimate(TextWindow::Estimate estimate, TableEstimate table)
    {
        m_estimate = std::move(estimate);
        m_tableEstimate = std::move(table);
    }
    // Estimates the height of every paragraph again (a new width or font).
    void estimateAll();
    // Puts the storage's paragraphs [firstLine, endLine) into the document in place of what it
    // held.
    void placeWindow(int firstLine, int endLine);
    // Told of every change of the storage's characters but loads, after it: [removed) of the
    // text before it became `inserted` characters.
    void setReplacedHook(std::function<void(TextSpan removed, qsizetype inserted)> hook)
    {
        m_replacedHook = std::move(hook);
    }
    // An offset of the storage moved along by every change of it, as a text cursor would be.
    void setMark(qsizetype offset) { m_mark = offset; }
    qsizetype mark() const { return m_mark; }

    // Whether every change compares the table index with a scan of the whole storage and stops
    // the program when they differ: on in debug builds; tests switch it on in any build.
    static void setVerifiesTableIndex(bool verifies);

    // Text as the document holds it: a carriage return would become a paragraph break there, so
    // it is held as a stand-in character that reads back as a carriage return.
    static QString toDocumentText(QString text);
    // The stand-in: a noncharacter, which typed and pasted text never brings in (the view drops
    // it), so that no character the user enters turns into a carriage return.
    static constexpr QChar kCarriageReturnStandIn { char16_t(0xFDEF) };

    // The document format of a table's object character.
    static QTextCharFormat objectFormat(const TextAttachmentPtr& attachment);
    static TextAttachmentPtr attachmentOf(const QTextFormat& format);

private:
    // The height of every table's paragraph, by its character's offset.
    std::vector<TextWindow::FixedHeight> tableHeights() const;
    // Empties the document, keeping its root frame's format.
    void clearDocument();
    // Puts the storage's text into the document, in a document just cleared.
    void insertDocumentText(qsizetype length);
    // Appends storage[from, to) to the document.
    void appendToDocument(qsizetype from, qsizetype to);
    // The window after a change of the storage's characters at `range`: false when the change
    // lay outside it or reached over its edge (the document is then filled again), true when the
    // document is to take the change.
    bool windowReplaced(TextSpan range, QStringView inserted);
    // Gives the bare object characters (indices into `replacement`) the tables that the change
    // at [position, position + removed) of the storage replaced; true when any took one.
    bool keepReplacedTables(int position, int removed, AttributedText& replacement,
        const QList<int>& bareObjects) const;
    QString documentText(int position, int length) const;
    // The only ways the storage's characters change: each brings the table index in step.
    void replaceInStorage(TextSpan range, const QString& text);
    void replaceInStorage(TextSpan range, const AttributedText& text);
    void replaceInStorageBare(TextSpan range, const QString& text, bool mayOpenGap);
    void storageReplaced(TextSpan removed, qsizetype inserted);
    void indexReplaced(TextSpan removed, qsizetype inserted);
    void validityReplaced(TextSpan removed, qsizetype inserted);
    void rebuildIndex();
    void verifyIndex(const char* change) const;

    QTextDocument& m_document;
    AttributedText m_storage;
    ProjectedTableIndex m_tables;
    quint64 m_textRevision = 0;
    mutable std::optional<bool> m_validUtf16; // none: not known, read the text when asked
    // While the document holds only the storage's first m_inDocument characters.
    bool m_partial = false;
    qsizetype m_inDocument = 0;
    bool m_windowed = false;
    TextWindow m_window { TextWindow::Pane::Block };
    TextWindow::Estimate m_estimate = [](qsizetype length) { return 20.0 * (1 + length / 80); };
    TableEstimate m_tableEstimate = [](int lines) { return 30.0 * lines; };
    qsizetype m_mark = 0;
    std::function<void(TextSpan, qsizetype)> m_replacedHook;
};

} // namespace quillon
