#include "platform/FileWrite.h"

#include "platform/FileCopy.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <functional>
#include <limits>
#include <unordered_map>

#include <dirent.h>
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

// The file a write replaces, with its folder and name.
struct Target {
    QByteArray path;
    QByteArray folder;
    QByteArray name;
    struct stat old {};
    bool exists = false;
};

void splitTarget(Target& t)
{
    const qsizetype slash = t.path.lastIndexOf('/');
    t.folder = slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : t.path.left(slash);
    t.name = t.path.mid(slash + 1);
}

Target targetOf(const QString& path)
{
    Target t;
    t.path = resolvedTarget(path, &t.old, &t.exists);
    splitTarget(t);
    return t;
}

// The target of a file that must not replace anything: the name itself.
Target newTargetOf(const QString& path)
{
    Target t;
    t.path = QFile::encodeName(path);
    splitTarget(t);
    return t;
}

// Our temporary files are hidden and name the file they stand for and the
// process that writes them, so that a later run tells the ones a killed
// process left from those another running process is writing.
const QByteArray kMark = QByteArrayLiteral(".vimra-");

QByteArray temporaryName(const Target& t)
{
    return t.folder + "/." + t.name + kMark + QByteArray::number(qint64(::getpid())) + '-'
        + QByteArray::number(QRandomGenerator::global()->generate(), 36);
}

// The process that made the temporary file `fileName` (of `forName` when it
// is not empty); 0 when the name is not of our temporary naming.
qint64 temporaryOwner(const QByteArray& fileName, const QByteArray& forName)
{
    const qsizetype mark = fileName.lastIndexOf(kMark);
    if (!fileName.startsWith('.') || mark < 2)
        return 0;
    if (!forName.isEmpty() && fileName.mid(1, mark - 1) != forName)
        return 0;
    const QByteArray rest = fileName.mid(mark + kMark.size());
    const qsizetype dash = rest.indexOf('-');
    if (dash < 1 || dash + 1 == rest.size())
        return 0;
    for (const char c : rest.mid(dash + 1))
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z')))
            return 0;
    bool ok = false;
    const qint64 pid = rest.left(dash).toLongLong(&ok);
    const bool plain = ok && rest.left(dash) == QByteArray::number(pid); // no sign, no leading zero
    return plain && pid > 0 && pid <= std::numeric_limits<pid_t>::max() ? pid : 0;
}

bool bRunning(qint64 pid)
{
    return pid == ::getpid() || ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

// Gives the finished temporary file the target's name. 0 or the errno.
int place(const QByteArray& temp, const QByteArray& path, Placement placement)
{
    if (placement == Placement::Replace)
        return ::rename(temp.constData(), path.constData()) == 0 ? 0 : errno;
    if (::renameat2(AT_FDCWD, temp.constData(), AT_FDCWD, path.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
        return errno;
    // A file system without it: a hard link refuses an existing name too.
    if (::link(temp.constData(), path.constData()) == 0) {
        ::unlink(temp.constData());
        return 0;
    }
    if (errno != EPERM && errno != EOPNOTSUPP && errno != ENOSYS)
        return errno;
    // Neither (as on FAT): the name is looked at just before the rename.
    struct stat st {};
    if (::lstat(path.constData(), &st) == 0)
        return EEXIST;
    return ::rename(temp.constData(), path.constData()) == 0 ? 0 : errno;
}

// Fills a new temporary file beside the target by `fill` and puts it in the
// target's place: every write checked, made durable (or left to the batch),
// with the permission bits `mode` when given. The temporary file never
// outlives a failure. 0 or the errno of the failure.
int replaceWith(const Target& t, const mode_t* mode, const std::function<bool(int)>& fill,
                Placement placement = Placement::Replace)
{
    QByteArray temp;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temp = temporaryName(t);
        fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            return errno;
    }
    if (fd < 0)
        return EEXIST;

    int code = 0;
    if (mode && ::fchmod(fd, *mode & 07777) != 0)
        code = errno;
    if (!code && !fill(fd))
        code = errno;
    if (!code && !tCurrent && ::fsync(fd) != 0)
        code = errno;
    if (::close(fd) != 0 && !code && errno != EINTR)
        code = errno;
    if (!code)
        code = place(temp, t.path, placement);
    if (code)
        ::unlink(temp.constData());
    return code;
}

} // namespace

bool writeAtomically(const QString& path, const QByteArray& bytes, QString* error, Placement placement)
{
    // A name taken by a link is taken: the link is not followed.
    const Target t = placement == Placement::Replace ? targetOf(path) : newTargetOf(path);
    QString failure = tCurrent ? tCurrent->watch(t.folder) : QString();
    if (failure.isEmpty()) {
        const int code = replaceWith(t, t.exists ? &t.old.st_mode : nullptr,
                                     [&](int fd) { return writeAll(fd, bytes); }, placement);
        if (code)
            failure = systemError(code);
    }
    if (error && !failure.isEmpty())
        *error = failure;
    return failure.isEmpty();
}

bool copyAtomically(const QString& source, const QString& target, QString* error)
{
    const auto fail = [&](const QString& reason) {
        if (error)
            *error = reason;
        return false;
    };
    const int in = ::open(QFile::encodeName(source).constData(), O_RDONLY | O_CLOEXEC);
    struct stat from {};
    if (in < 0 || ::fstat(in, &from) != 0) {
        const int code = errno;
        if (in >= 0)
            ::close(in);
        return fail(systemError(code));
    }
    const Target t = targetOf(target);
    QString failure = tCurrent ? tCurrent->watch(t.folder) : QString();
    if (failure.isEmpty()) {
        const int code = replaceWith(t, &from.st_mode, [&](int out) {
            QByteArray buffer(1 << 16, Qt::Uninitialized);
            for (;;) {
                const ssize_t n = ::read(in, buffer.data(), static_cast<size_t>(buffer.size()));
                if (n < 0 && errno == EINTR)
                    continue;
                if (n <= 0)
                    return n == 0;
                if (!writeAll(out, QByteArray::fromRawData(buffer.constData(), n)))
                    return false;
            }
        });
        if (code)
            failure = systemError(code);
    }
    ::close(in);
    return failure.isEmpty() || fail(failure);
}

namespace {

using Listing = std::vector<FolderEntry>;
// The listings of the live outermost ListingScope on this thread, by folder
// (without trailing "/"); null when none lives.
thread_local std::unordered_map<QByteArray, std::shared_ptr<Listing>>* tListings = nullptr;

QByteArray folderKey(const QString& folder)
{
    QByteArray path = QFile::encodeName(folder);
    while (path.size() > 1 && path.endsWith('/'))
        path.chop(1);
    return path;
}

std::shared_ptr<Listing> listFolder(const QByteArray& path)
{
    auto listing = std::make_shared<Listing>();
    DIR* dir = ::opendir(path.constData());
    if (!dir)
        return listing;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArrayView name(entry->d_name);
        if (name != "." && name != "..")
            listing->push_back({name.toByteArray(), entry->d_type});
    }
    ::closedir(dir);
    return listing;
}

std::shared_ptr<Listing> cachedListing(const QByteArray& path)
{
    if (!tListings)
        return listFolder(path);
    auto& listing = (*tListings)[path];
    if (!listing)
        listing = listFolder(path);
    return listing;
}

} // namespace

std::shared_ptr<const std::vector<FolderEntry>> folderEntries(const QString& folder)
{
    return cachedListing(folderKey(folder));
}

unsigned folderEntryMode(const QString& folder, const FolderEntry& entry, bool followLinks)
{
    switch (entry.type) {
    case DT_REG:
        return S_IFREG;
    case DT_DIR:
        return S_IFDIR;
    case DT_LNK:
        if (!followLinks)
            return S_IFLNK;
        break;
    default:
        break;
    }
    const QByteArray path = folderKey(folder) + '/' + entry.name;
    struct stat st {};
    const int rc = followLinks ? ::stat(path.constData(), &st) : ::lstat(path.constData(), &st);
    return rc == 0 ? (st.st_mode & S_IFMT) : 0;
}

ListingScope::ListingScope() : m_bOuter(!tListings)
{
    if (m_bOuter)
        tListings = new std::unordered_map<QByteArray, std::shared_ptr<Listing>>();
}

ListingScope::~ListingScope()
{
    if (m_bOuter) {
        delete tListings;
        tListings = nullptr;
    }
}

int removeStaleTemporaries(const QString& folder, const QString& forName)
{
    const QByteArray path = folderKey(folder);
    const QByteArray name = QFile::encodeName(forName);
    // The names are read from the shared listing; the folder itself is
    // opened only when one of them is a temporary of an ended run.
    const auto listing = cachedListing(path);
    std::vector<QByteArray> stale;
    for (const FolderEntry& entry : *listing) {
        const qint64 pid = temporaryOwner(entry.name, name);
        if (pid && !bRunning(pid))
            stale.push_back(entry.name);
    }
    if (stale.empty())
        return 0;
    // A folder that is a link leads elsewhere: nothing there is this folder's.
    const int fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return 0;
    int removed = 0;
    for (const QByteArray& fileName : stale) {
        struct stat st {};
        if (::fstatat(fd, fileName.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode)
            && ::unlinkat(fd, fileName.constData(), 0) == 0) {
            ++removed;
            // Gone from the folder, gone from its listing.
            for (auto it = listing->begin(); it != listing->end(); ++it)
                if (it->name == fileName) {
                    listing->erase(it);
                    break;
                }
        }
    }
    ::close(fd);
    return removed;
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

namespace vimra {

QString strCopyAtomically(const QString& source, const QString& target)
{
    QString error;
    fs::copyAtomically(source, target, &error);
    return error;
}

} // namespace vimra
