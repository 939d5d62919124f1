#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

namespace vimra::test {

// Writes `bytes` to `path` as they are, replacing any file there and making
// missing parent folders. A file that cannot be opened fails the test (a fatal
// failure in this helper: wrap in ASSERT_NO_FATAL_FAILURE to stop the test).
inline void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    f.write(bytes);
}

// Dates the file's last change `seconds` back, as a file written long ago.
inline void backdate(const QString& path, int seconds)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite)) << path.toStdString();
    ASSERT_TRUE(f.setFileTime(QDateTime::currentDateTime().addSecs(-seconds), QFileDevice::FileModificationTime));
}

// The bytes of `path`; empty when it cannot be read.
inline QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Restores the current folder on destruction; constructed with a folder, makes
// that the current folder for its lifetime.
class CurrentFolder {
public:
    CurrentFolder() = default;
    explicit CurrentFolder(const QString& folder) { QDir::setCurrent(folder); }
    ~CurrentFolder() { QDir::setCurrent(m_saved); }
    CurrentFolder(const CurrentFolder&) = delete;
    CurrentFolder& operator=(const CurrentFolder&) = delete;

private:
    QString m_saved = QDir::currentPath();
};

// The id of a process that has ended and been waited for: no process runs
// under it (until the system gives it out again).
inline qint64 endedProcessId()
{
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(0);
    ::waitpid(pid, nullptr, 0);
    return pid;
}

} // namespace vimra::test
