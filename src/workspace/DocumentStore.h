#pragma once

#include "platform/BackgroundWriter.h"
#include "platform/FileUtil.h"

#include <QHash>
#include <QString>

namespace quillon {

// The text of each open document together with what we last read from or wrote to its file, so
// that a write happens only for text that differs from the disk and never over a change that
// another program made since.
class DocumentStore
{
public:
    struct Document
    {
        QString text; // what the tab shows
        LineEnds lineEnds; // of text
        // The file as last read or written.
        QString diskText;
        LineEnds diskLineEnds;
        FileSignature diskSignature;
        // Why the file could not be read; such a document is never written.
        QString readError;
        // The digest of another program's version that the user chose to decide about later.
        QByteArray postponedDigest;
        // Why the last write failed or was skipped; empty once the document is written.
        QString saveError;
        // The newest write asked for, and the newest the writer reported on.
        quint64 queuedWrite = 0;
        quint64 finishedWrite = 0;
        // The writer holds `text` less `unsentChanges` (the edits since the last write asked
        // for); without that, the next write sends the whole text.
        bool writerHasText = false;
        QList<TextChange> unsentChanges;
        bool readable() const { return readError.isEmpty(); }
        bool hasLocalEdits() const { return text != diskText; }
        bool isWritePending() const { return queuedWrite > finishedWrite; }
        // The text changed as a whole: the writer's copy is out of date.
        void textReplaced()
        {
            writerHasText = false;
            unsentChanges.clear();
        }
        // The user changed the text by `change`.
        void noteEdit(TextChange change);
    };

    Document* find(const QString& path);
    const Document* find(const QString& path) const;
    bool contains(const QString& path) const { return m_documents.contains(path); }
    void remove(const QString& path) { m_documents.remove(path); }
    // Moves an entry to a new path, replacing any entry there.
    void rename(const QString& from, const QString& to);
    QStringList paths() const { return m_documents.keys(); }

    // Reads the file into a fresh entry (replacing any). A failed read leaves an entry with
    // readError set and empty texts.
    Document& load(const QString& path);
    // Replaces text and baseline with the file's current content; false when it can't be read
    // (the entry is then unchanged).
    static bool reload(Document& document, const QString& path);
    // True when the file no longer holds what we last read or wrote. Reads the file only when
    // its size, times or inode cannot tell (and then remembers the signature it found).
    static bool changedOnDisk(Document& document, const QString& path);
    // The document's file now holds `text` with `lineEnds`, as of `signature`.
    static void markWritten(Document& document, const QString& text, const LineEnds& lineEnds,
        const FileSignature& signature);

private:
    QHash<QString, Document> m_documents;
};

} // namespace quillon
