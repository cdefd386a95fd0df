#pragma once

#include "platform/AttributedText.h"

#include <QFont>
#include <QHash>
#include <QTextCharFormat>
#include <QTextLayout>

#include <vector>

class QTextBlock;
class QTextDocument;

namespace quillon {

// Applies the Markdown engine's styling of the storage to the view's document, paragraph by
// paragraph: paragraph styling as block formats, decorations as block data for the painter, and
// character styling as layout formats (no undo records, no document change).
//
// The storage holds the styling; the character formats are read from it only for a paragraph
// that is laid out (formats()), so that the paragraphs of a long document that are never shown
// hold none. Each paragraph keeps a fingerprint of the styling last presented (in its user state)
// and, when it has any, its decorations (BlockDecorations as its user data); a paragraph whose
// fingerprint is unchanged is not touched, and one relayout covers all changed paragraphs (which
// then take their new character formats as they are laid out again).
class BlockStylePresenter
{
public:
    // Paragraphs (block numbers) to look at; the whole document by default.
    struct Window
    {
        int firstBlock = 0;
        int lastBlock = -1; // -1: to the end
        // While the document reports a change, block formats (a document change of their own)
        // must wait: they are noted on the block and set by the next presentation.
        bool deferBlockFormats = false;
    };

    // The document must hold the storage's text (paragraph breaks for line feeds). Returns the
    // number of paragraphs that were restyled.
    int present(
        const AttributedText& storage, QTextDocument& document, qreal fontSize, Window window);
    int present(const AttributedText& storage, QTextDocument& document, qreal fontSize)
    {
        return present(storage, document, fontSize, Window { 0, -1, false });
    }
    // The character formats of a paragraph as the storage styles it: what its text layout holds
    // while it is laid out. Empty for a paragraph beyond the storage's text. `key`, when given,
    // receives a value that is equal for equal formats of equal text.
    QList<QTextLayout::FormatRange> formats(
        const AttributedText& storage, const QTextBlock& block, size_t* key = nullptr);
    // Whether the presenter has presented a paragraph (with whatever text it had then).
    static bool isPresented(const QTextBlock& block);
    // The storage offset of the document's first character (the document holds a window of the
    // storage from there).
    void setWindowStart(qsizetype start) { m_start = start; }
    // True when the last presentation left block formats to set.
    bool hasDeferredBlockFormats() const { return m_deferred; }
    // Forgets cached formats (after the appearance or size changed).
    void clearCache()
    {
        m_formats.clear();
        m_blockFormats.clear();
    }

private:
    qsizetype m_start = 0;
    QTextCharFormat charFormat(const TextAttributes& attributes, size_t key);
    // The paragraph format for a paragraph style (none: the default), shared by the paragraphs
    // that have it. `markersOnly`: the paragraph's text is all hidden markers.
    QTextBlockFormat paragraphFormat(const ParagraphStyle* style, Qt::LayoutDirection direction,
        bool markersOnly, qreal fontSize);

    // What a run's attributes hash to (runKey, characterKey), remembered by their set id in the
    // storage: hashing a run's font and colours anew for every run of every paragraph looked at
    // after an edit costs more than the rest of presenting.
    struct RunKeys
    {
        size_t run = 0;
        size_t character = 0;
        bool known = false;
    };
    const RunKeys& runKeys(const AttributedText& storage, quint32 set, const TextAttributes& a);

    std::vector<RunKeys> m_runKeys;
    quint64 m_runKeysGeneration = 0;
    QHash<size_t, QTextCharFormat> m_formats;
    struct ParagraphFormat
    {
        ParagraphStyle style;
        bool hasStyle = false;
        Qt::LayoutDirection direction = Qt::LeftToRight;
        bool markersOnly = false;
        qreal fontSize = 0;
        QTextBlockFormat format;
    };
    QHash<size_t, ParagraphFormat> m_blockFormats;
    bool m_deferred = false;
};

} // namespace quillon
