#pragma once

#include "platform/ChunkedText.h"
#include "platform/LineEnds.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

namespace quillon::FileUtil {

// The form in which paths are kept and compared: absolute, "." and ".." resolved, no trailing
// "/". An empty path stays empty ("none").
QString standardizedPath(const QString& path);

// Whether path equals folder or lies below it: /w/a covers /w/a and /w/a/x.md, not /w/ab.
bool isUnder(const QString& path, const QString& folder);

// The last component of the path ("notes.md" of "/w/notes.md").
QString fileName(const QString& path);

// What follows the last "." of the file name, as typed; "" when there is none or when the only
// dot begins the name (".gitignore"). "a.tar.gz" gives "gz".
QString pathExtension(const QString& path);

// Anything at all at the path, a dangling symbolic link included: a name that is taken.
bool itemExists(const QString& path);

using LineEnding = LineEnds::Kind;

struct TextFile
{
    bool ok = false;
    qint64 bytes = -1; // the file's length as read
    QString text;
    LineEnds lineEnds;
    QString error;
    bool notUtf8 = false;
    QByteArray digest;
};

// Reads a file as strict UTF-8 (invalid UTF-8 => ok=false, notUtf8=true, error says so). A leading
// BOM is dropped from the text. "\r\n" in the file becomes "\n" in text; lineEnds remembers which
// breaks were "\r\n" and the BOM. digest = SHA-256 of the raw bytes, unless `withDigest` is false
// (it costs more than the rest of reading a large file).
TextFile readText(const QString& path, bool withDigest = true);

struct PiecesFile
{
    bool ok = false;
    qint64 bytes = -1; // the file's length as read
    ChunkedText text;
    LineEnds lineEnds;
    QString error;
    bool notUtf8 = false;
};

// As readText, with the text in pieces: a long file is decoded piece by piece and never held as
// one string (no digest).
PiecesFile readTextInPieces(const QString& path);

// Decodes bytes as readText does (strict UTF-8, BOM dropped, CRLF folded); path only names the file
// in the error message.
TextFile decodeText(
    const QByteArray& bytes, const QString& path = QString(), bool withDigest = true);

// The bytes writeTextAtomic writes for text (LineEnds::encode).
QByteArray encodeText(const QString& text, const LineEnds& lineEnds);

// Writes text atomically and durably (the data is on disk before the file is replaced, and the
// replacement is on disk when this returns) as UTF-8 with the given line ends. Returns false and
// sets *error on failure. *digest (if given) receives the SHA-256 of the bytes written.
//
// The new text goes to a temporary file beside the document (see isSaveTemporaryName), which then
// replaces it. Where no file can be made beside an existing document (a folder the user may not
// write), the document itself is rewritten in place: same file, owner and permissions, and on a
// failure it is put back as it was.
bool writeTextAtomic(const QString& path, const QString& text, const LineEnds& lineEnds,
    QString* error, QByteArray* digest = nullptr);
bool writeBytesAtomic(const QString& path, const QByteArray& bytes, QString* error);

// Replaces an existing file's content with bytes as writeBytesAtomic does, but only while the file
// still holds what the caller expects, and never creates it. `holdsExpected` is asked about the
// file right before it is replaced, and again about the version that was replaced (now under
// another name): when another program changed it in between, it is put back and nothing of ours
// stays. A file with other hard links, or in a folder we may not write, is rewritten in place,
// checked right before. A file we may not write is never written (ReadOnly).
enum class ReplaceOutcome { Replaced, Changed, Missing, ReadOnly, Failed };
struct ReplaceChecks
{
    std::function<bool(const QString& path)> holdsExpected;
    // Runs once the new text is ready beside the file, right before it takes the file's place.
    std::function<void()> beforeReplace;
    // Runs between the stretches a long text is written in (a writer that lets other work go
    // first waits there).
    std::function<void()> betweenStretches;
};
ReplaceOutcome replaceFile(
    const QString& path, const QByteArray& bytes, const ReplaceChecks& checks, QString* error);

// An existing file that we may not write. One its owner made read-only counts as such even for
// the superuser, who could write it.
bool isReadOnlyFile(const QString& path);

// The temporary files of a save are named ".<document name>.quillon-save-<pid>-<random>", so
// that one left behind by a crash is known as ours and as belonging to a process that is gone.
// Such a file is never a document: the tree and git leave it out.
bool isSaveTemporaryName(const QString& name);
// Glob patterns for one path component (git's exclusion pathspecs) that together match exactly
// the names isSaveTemporaryName accepts.
QStringList saveTemporaryGlobs();
// Whether the save temporary `name` in `folder` is a leftover: the process that made it is no
// longer running (or its number now belongs to another program) and no save holds it locked.
// Removes it then and returns true.
bool removeIfStaleSaveTemporary(const QString& folder, const QString& name);
// Removes every leftover save temporary directly in the folder (one listing, no recursion).
void removeStaleSaveTemporaries(const QString& folder);

// Creates a new file holding text; fails ("already exists") rather than touch an existing item,
// so a file that appeared since the caller chose the name is never overwritten.
bool createTextFile(const QString& path, const QString& text, const LineEnds& lineEnds,
    QString* error, QByteArray* digest = nullptr);

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
