#pragma once

#include "support/ScriptedUserPrompts.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <functional>

namespace quillon::test {

// A temporary folder with small helpers to lay out files for a test.
class TempTree
{
public:
    TempTree();
    QString path() const { return m_dir.path(); }
    QString filePath(const QString& relative) const;
    // Writes bytes to a file below the folder, creating its parent folders.
    QString write(const QString& relative, const QByteArray& bytes) const;
    QString mkdir(const QString& relative) const;
    QByteArray read(const QString& relative) const;

private:
    QTemporaryDir m_dir;
};

// Empties the standard settings but for the analytics opt-out, so nothing is ever sent.
void clearSettings();

// Puts the process-wide state every test shares back to a known start: the settings cleared and
// fresh scripted prompts, which it returns.
ScriptedUserPrompts& resetSharedState();

// Makes the standard settings what a restarted program would read: exactly what is on disk.
void reloadStandardDefaults();

// While it lives, files of this process may not grow past `bytes` (a write then fails with
// "File too large", even for root) and the signal that would end the process is ignored.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(unsigned long long bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    unsigned long long m_savedCurrent = 0;
    void (*m_savedHandler)(int) = nullptr;
};

// While it lives, file permissions bind the calling thread, and the threads it starts, even when
// the tests run as root: the capabilities that override them are set aside. `active()` is false
// when they could not be (the test then cannot tell a read-only folder from a writable one).
class ObeyFilePermissions
{
public:
    ObeyFilePermissions();
    ~ObeyFilePermissions();
    ObeyFilePermissions(const ObeyFilePermissions&) = delete;
    ObeyFilePermissions& operator=(const ObeyFilePermissions&) = delete;
    bool active() const { return m_active; }

private:
    bool m_active = false;
    bool m_changed = false;
    unsigned int m_savedEffective = 0;
};

// A local address where nothing listens, for as long as this lives: its port is held by a socket
// that is bound but never listens, so a connection there is refused at once. Closing a probe
// server instead frees the port for any test running beside this one, whose server then answers.
class RefusingPort
{
public:
    RefusingPort();
    ~RefusingPort();
    RefusingPort(const RefusingPort&) = delete;
    RefusingPort& operator=(const RefusingPort&) = delete;
    // "http://127.0.0.1:<port>" followed by `path`.
    QString url(const QString& path = QString()) const;

private:
    int m_socket = -1;
    unsigned short m_port = 0;
};

// Runs the Qt event loop until the predicate holds or the time-out passes; returns the predicate.
bool waitUntil(const std::function<bool()>& predicate, int timeoutMs = 5000);

} // namespace quillon::test
