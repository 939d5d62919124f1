#include "platform/FileWrite.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vimra::fs {

namespace {

thread_local SyncBatch* tCurrent = nullptr;

QString systemError(int code) { return qt_error_string(code); }

// A link is followed so that the file it names is replaced, not the link.
QByteArray resolvedTarget(const QString& path, struct stat* old, bool* exists)
{
    QByteArray target = QFile::encodeName(path);
    *exists = ::lstat(target.constData(), old) == 0;
    if (*exists && S_ISLNK(old->st_mode)) {
        QFileInfo info(path);
        for (int depth = 0; depth < 128 && info.isSymLink(); ++depth)
            info.setFile(info.symLinkTarget());
        if (!info.isSymLink())
            target = QFile::encodeName(info.filePath());
        *exists = ::stat(target.constData(), old) == 0;
    }
    return target;
}

bool writeAll(int fd, const QByteArray& bytes)
{
    const char* p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, static_cast<size_t>(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        p += n;
        left -= n;
    }
    return true;
}

} // namespace

bool writeAtomically(const QString& path, const QByteArray& bytes, QString* error)
{
    const auto fail = [&](int code) {
        if (error)
            *error = systemError(code);
        return false;
    };
    struct stat old {};
    bool replacing = false;
    const QByteArray target = resolvedTarget(path, &old, &replacing);
    const qsizetype slash = target.lastIndexOf('/');
    const QByteArray folder = slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : target.left(slash);
    const QByteArray name = target.mid(slash + 1);

    if (tCurrent) {
        const QString watchError = tCurrent->watch(folder);
        if (!watchError.isEmpty()) {
            if (error)
                *error = watchError;
            return false;
        }
    }

    QByteArray temp;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temp = folder + '/' + '.' + name + '.' + QByteArray::number(QRandomGenerator::global()->generate(), 36);
        fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            return fail(errno);
    }
    if (fd < 0)
        return fail(EEXIST);

    int code = 0;
    if (replacing && ::fchmod(fd, old.st_mode & 07777) != 0)
        code = errno;
    if (!code && !writeAll(fd, bytes))
        code = errno;
    if (!code && !tCurrent && ::fsync(fd) != 0)
        code = errno;
    if (::close(fd) != 0 && !code && errno != EINTR)
        code = errno;
    if (!code && ::rename(temp.constData(), target.constData()) != 0)
        code = errno;
    if (code) {
        ::unlink(temp.constData());
        return fail(code);
    }
    return true;
}

SyncBatch::SyncBatch() : m_outer(tCurrent)
{
    tCurrent = this;
}

SyncBatch::~SyncBatch()
{
    if (!m_finished)
        close();
}

QString SyncBatch::watch(const QByteArray& folder)
{
    for (const auto& [path, fd] : m_folders)
        if (path == folder)
            return {};
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    struct stat info {};
    if (fd < 0 || ::fstat(fd, &info) != 0) {
        const int code = errno;
        if (fd >= 0)
            ::close(fd);
        return systemError(code);
    }
    // One descriptor per file system is enough: syncfs() covers all of it.
    for (auto& [path, kept] : m_folders) {
        struct stat other {};
        if (kept >= 0 && ::fstat(kept, &other) == 0 && other.st_dev == info.st_dev) {
            ::close(fd);
            m_folders.emplace_back(folder, -1);
            return {};
        }
    }
    m_folders.emplace_back(folder, fd);
    return {};
}

QString SyncBatch::finish()
{
    QString error;
    // syncfs() writes out every dirty file and folder of the file system,
    // the renames included, and reports a write-back failure since the
    // descriptor was opened.
    for (const auto& [path, fd] : m_folders) {
        if (fd >= 0 && error.isEmpty() && ::syncfs(fd) != 0)
            error = systemError(errno);
    }
    close();
    return error;
}

void SyncBatch::close()
{
    for (const auto& [path, fd] : m_folders)
        if (fd >= 0)
            ::close(fd);
    m_folders.clear();
    m_finished = true;
    if (tCurrent == this)
        tCurrent = m_outer;
}

} // namespace vimra::fs
