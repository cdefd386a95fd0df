#include "workspace/DocumentStore.h"

#include <QFile>

namespace quillon {

DocumentStore::Document* DocumentStore::find(const QString& path)
{
    auto it = m_documents.find(path);
    return it == m_documents.end() ? nullptr : &it.value();
}

const DocumentStore::Document* DocumentStore::find(const QString& path) const
{
    auto it = m_documents.constFind(path);
    return it == m_documents.constEnd() ? nullptr : &it.value();
}

void DocumentStore::rename(const QString& from, const QString& to)
{
    auto it = m_documents.find(from);
    if (it == m_documents.end() || from == to)
        return;
    Document moved = std::move(it.value());
    moved.textReplaced(); // the writer knows the text by its old path
    m_documents.erase(it);
    m_documents.insert(to, std::move(moved));
}

void DocumentStore::Document::noteEdit(TextChange change)
{
    if (!writerHasText)
        return;
    // Edits that are never written (the document cannot be saved) are not kept forever.
    constexpr qsizetype kMostUnsent = 4096;
    if (unsentChanges.size() >= kMostUnsent) {
        textReplaced();
        return;
    }
    unsentChanges.append(std::move(change));
}

namespace {

bool readInto(DocumentStore::Document& document, const QString& path, QString* error)
{
    // Taken before reading: a change in between then shows as a change, never hides one.
    const FileSignature signature = FileSignature::of(path);
    const FileUtil::TextFile file = FileUtil::readText(path);
    if (!file.ok) {
        *error = file.error.isEmpty() ? QStringLiteral("unreadable") : file.error;
        return false;
    }
    DocumentStore::markWritten(document, file.text, file.lineEnds, signature);
    document.text = file.text;
    document.textReplaced();
    document.lineEnds = file.lineEnds;
    document.readError.clear();
    return true;
}

} // namespace

DocumentStore::Document& DocumentStore::load(const QString& path)
{
    Document& document = m_documents[path];
    document = Document();
    readInto(document, path, &document.readError);
    return document;
}

bool DocumentStore::reload(Document& document, const QString& path)
{
    QString error;
    return readInto(document, path, &error);
}

bool DocumentStore::changedOnDisk(Document& document, const QString& path)
{
    const FileSignature now = FileSignature::of(path);
    if (!now.isRacy() && !document.diskSignature.isRacy()
        && now.sameFileVersion(document.diskSignature))
        return false;
    QFile file(path);
    if (!now.exists || !file.open(QIODevice::ReadOnly))
        return true;
    if (file.readAll() != document.diskLineEnds.encode(document.diskText))
        return true;
    // The same content: from now on the signature can tell.
    if (!now.isRacy())
        document.diskSignature = now;
    return false;
}

void DocumentStore::markWritten(Document& document, const QString& text, const LineEnds& lineEnds,
    const FileSignature& signature)
{
    document.diskText = text;
    document.diskLineEnds = lineEnds;
    document.diskSignature = signature;
    document.postponedDigest.clear();
    document.saveError.clear();
}

} // namespace quillon
