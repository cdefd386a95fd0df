#include "workspace/DocumentStore.h"

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
    m_documents.erase(it);
    m_documents.insert(to, std::move(moved));
}

DocumentStore::Document& DocumentStore::load(const QString& path)
{
    Document& document = m_documents[path];
    document = Document();
    const FileUtil::TextFile file = FileUtil::readText(path);
    if (!file.ok) {
        document.readError = file.error.isEmpty() ? QStringLiteral("unreadable") : file.error;
        return document;
    }
    document.text = document.diskText = file.text;
    document.diskDigest = file.digest;
    document.lineEnds = file.lineEnds;
    return document;
}

bool DocumentStore::reload(Document& document, const QString& path)
{
    const FileUtil::TextFile file = FileUtil::readText(path);
    if (!file.ok)
        return false;
    document.text = document.diskText = file.text;
    document.diskDigest = file.digest;
    document.lineEnds = file.lineEnds;
    document.readError.clear();
    document.postponedDigest.clear();
    return true;
}

bool DocumentStore::changedOnDisk(const Document& document, const QString& path)
{
    return FileUtil::digestOfFile(path) != document.diskDigest;
}

} // namespace quillon
