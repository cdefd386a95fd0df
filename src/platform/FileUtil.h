#pragma once

#include <QByteArray>
#include <QString>

namespace quillon::FileUtil {

// The form in which paths are kept and compared: absolute, "." and ".." resolved, no trailing
// "/". An empty path stays empty ("none").
QString standardizedPath(const QString& path);

// Whether path equals folder or lies below it: /w/a covers /w/a and /w/a/x.md, not /w/ab.
bool isUnder(const QString& path, const QString& folder);

enum class LineEnding { Lf, CrLf };

struct TextFile
{
    bool ok = false;
    QString text;
    LineEnding lineEnding = LineEnding::Lf;
    QString error;
    bool notUtf8 = false;
    QByteArray digest;
};

// Reads a file as strict UTF-8 (invalid UTF-8 => ok=false, notUtf8=true, error says so). A leading
// BOM is dropped. "\r\n" in the file becomes "\n" in text and lineEnding=CrLf (CRLF when the first
// line break is CRLF). digest = SHA-256 of the raw bytes (used to tell whether the disk changed
// since we read/wrote it).
TextFile readText(const QString& path);

// Decodes bytes as readText does (strict UTF-8, BOM dropped, CRLF folded); path only names the file
// in the error message.
TextFile decodeText(const QByteArray& bytes, const QString& path = QString());

// The bytes writeTextAtomic writes for text: UTF-8, with CrLf every lone "\n" as "\r\n".
QByteArray encodeText(const QString& text, LineEnding lineEnding);

// Writes text atomically (QSaveFile) as UTF-8; with CrLf every "\n" is written as "\r\n". Returns
// false and sets *error on failure. *digest (if given) receives the SHA-256 of the bytes written.
bool writeTextAtomic(const QString& path, const QString& text, LineEnding lineEnding,
    QString* error, QByteArray* digest = nullptr);

// Creates a new file holding text; fails ("already exists") rather than touch an existing item,
// so a file that appeared since the caller chose the name is never overwritten.
bool createTextFile(const QString& path, const QString& text, LineEnding lineEnding, QString* error,
    QByteArray* digest = nullptr);

QByteArray digestOfBytes(const QByteArray& bytes);
QByteArray digestOfFile(const QString& path); // empty when unreadable

// Rename/move that never replaces an existing item (renameat2 RENAME_NOREPLACE; fallback
// link+unlink for files when the filesystem lacks it). Works for folders. false + *error on
// failure (e.g. "already exists").
bool renameNoReplace(const QString& from, const QString& to, QString* error);

// Freedesktop trash (QFile::moveToTrash). false + *error on failure.
bool moveToTrash(const QString& path, QString* error);

// Files and folders (recursively). A symbolic link is removed itself, never what it points to.
bool removePermanently(const QString& path, QString* error);

// A user-supplied item name is acceptable: not empty, no "/", no NUL, not "." or "..". Else
// false + *reason with a clear user-facing sentence.
bool isValidItemName(const QString& name, QString* reason);

} // namespace quillon::FileUtil
