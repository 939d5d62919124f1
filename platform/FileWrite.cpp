#include "platform/FileWrite.h"

#include "platform/FileCopy.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <csignal>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <limits>
#include <unordered_map>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
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
constexpr char kMarkText[] = ".vimra-";
const QByteArray kMark(kMarkText);
// Longest names of file systems on Linux, in bytes.
constexpr qsizetype kNameMax = 255;
// The mark, the process id (at most 10 digits) and '-' with 32 random bits
// in base 36 (at most 7 digits).
constexpr qsizetype kTailMax = qsizetype(sizeof kMarkText - 1) + 10 + 1 + 7;
constexpr qsizetype kHashLength = 16;

// What stands for `name` in its temporary file's name: the name itself, or
// for a name too long to leave room for the rest, its start cut at a
// character boundary and a digest of all of it (so that the temporaries of
// two long names with one start are still told apart).
QByteArray temporaryStem(const QByteArray& name)
{
    if (1 + name.size() + kTailMax <= kNameMax)
        return name;
    qsizetype keep = kNameMax - 1 - kTailMax - 1 - kHashLength;
    while (keep > 0 && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80)
        --keep;
    return name.left(keep) + '~'
        + QCryptographicHash::hash(name, QCryptographicHash::Sha256).toHex().left(kHashLength);
}

QByteArray temporaryName(const Target& t)
{
    return t.folder + "/." + temporaryStem(t.name) + kMark + QByteArray::number(qint64(::getpid())) + '-'
        + QByteArray::number(QRandomGenerator::global()->generate(), 36);
}

// The process id written in a name of ours, as it was written: digits only,
// no sign or leading zero, within pid_t; 0 when it is not one.
qint64 writtenProcessId(const QByteArray& digits)
{
    bool ok = false;
    const qint64 pid = digits.toLongLong(&ok);
    const bool plain = ok && digits == QByteArray::number(pid);
    return plain && pid > 0 && pid <= std::numeric_limits<pid_t>::max() ? pid : 0;
}

bool bBase36(QByteArrayView text, qsizetype maxLength)
{
    if (text.isEmpty() || text.size() > maxLength)
        return false;
    for (const char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z')))
            return false;
    return true;
}

// The process that made the temporary file `fileName` (of `forName` when it
// is not empty); 0 when the name is not of our temporary naming.
qint64 temporaryOwner(const QByteArray& fileName, const QByteArray& forName)
{
    const qsizetype mark = fileName.lastIndexOf(kMark);
    if (!fileName.startsWith('.') || mark < 2)
        return 0;
    if (!forName.isEmpty() && fileName.mid(1, mark - 1) != temporaryStem(forName))
        return 0;
    const QByteArray rest = fileName.mid(mark + kMark.size());
    const qsizetype dash = rest.indexOf('-');
    if (dash < 1 || !bBase36(QByteArrayView(rest).sliced(dash + 1), 7))
        return 0;
    return writtenProcessId(rest.left(dash));
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

namespace {

// When this process started, in nanoseconds since the epoch: its start on
// the boot clock, carried over to the clock file times are on. Truncated to
// the kernel's tick, so it errs early: a file made just before stays.
qint64 processStartNs()
{
    static const qint64 start = [] {
        timespec now {}, boot {};
        ::clock_gettime(CLOCK_REALTIME, &now);
        ::clock_gettime(CLOCK_BOOTTIME, &boot);
        const qint64 nowNs = qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
        const qint64 bootNs = qint64(boot.tv_sec) * 1000000000 + boot.tv_nsec;
        char text[1024];
        const int fd = ::open("/proc/self/stat", O_RDONLY | O_CLOEXEC);
        const ssize_t n = fd < 0 ? -1 : ::read(fd, text, sizeof text - 1);
        if (fd >= 0)
            ::close(fd);
        const long hz = ::sysconf(_SC_CLK_TCK);
        // The fields after the command name's ")": the start is the 22nd
        // field, the 20th of these.
        const QByteArray line = n > 0 ? QByteArray(text, n) : QByteArray();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        bool ok = false;
        const qint64 ticks = fields.size() > 19 ? fields[19].toLongLong(&ok) : 0;
        // Unknown: from the first look on, which errs late only for files
        // made before it by this very process.
        if (!ok || hz <= 0)
            return nowNs;
        return nowNs - (bootNs - ticks * (1000000000 / hz));
    }();
    return start;
}

// A file of our naming is a leftover only when it is a regular file of this
// user, last written before this process started, by a process that no
// longer runs: another run's file, however old, stays while it runs.
bool bLeftover(int dirFd, const QByteArray& fileName, qint64 pid)
{
    struct stat st {};
    return ::fstatat(dirFd, fileName.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode)
        && st.st_uid == ::geteuid()
        && qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec < processStartNs() && !bRunning(pid);
}

// Removes the leftovers among `candidates` (names of ours in the folder
// `path`, each with the process that made it), first handing each to
// `before` with the folder open; answers the names removed. A folder that is
// a link leads elsewhere: nothing there is this folder's.
std::vector<QByteArray> removeIfLeftovers(const QByteArray& path,
                                        const std::vector<std::pair<QByteArray, qint64>>& candidates,
                                        const std::function<void(int, const QByteArray&)>& before = {})
{
    std::vector<QByteArray> removed;
    if (candidates.empty())
        return removed;
    const int fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return removed;
    for (const auto& [fileName, pid] : candidates) {
        if (!bLeftover(fd, fileName, pid))
            continue;
        if (before)
            before(fd, fileName);
        if (::unlinkat(fd, fileName.constData(), 0) == 0)
            removed.push_back(fileName);
    }
    ::close(fd);
    return removed;
}

// The files vimra makes outside any document (a keyframe grab, a note of
// the folders a save-as writes): "vimra-", the process id, '-', 32 hex
// digits of a random number, and a suffix of its kind.
const QByteArray kOwnPrefix = QByteArrayLiteral("vimra-");
const QByteArray kNoteSuffix = QByteArrayLiteral(".folders");

// The process that made the file `fileName` of our own naming; 0 when the
// name is not of it.
qint64 ownFileOwner(const QByteArray& fileName)
{
    if (!fileName.startsWith(kOwnPrefix))
        return 0;
    const QByteArray rest = fileName.mid(kOwnPrefix.size());
    const qsizetype dash = rest.indexOf('-');
    const qsizetype dot = rest.indexOf('.', dash + 1);
    if (dash < 1 || dot != dash + 33 || !bBase36(QByteArrayView(rest).sliced(dot + 1), 8))
        return 0;
    for (const char c : QByteArrayView(rest).sliced(dash + 1, 32))
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return 0;
    return writtenProcessId(rest.left(dash));
}

// The folders a note names, each with the name that limits what is ours there.
std::vector<std::pair<QString, QString>> readNote(int dirFd, const QByteArray& fileName)
{
    std::vector<std::pair<QString, QString>> folders;
    const int fd = ::openat(dirFd, fileName.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return folders;
    QByteArray text;
    char buffer[4096];
    for (ssize_t n; text.size() < (1 << 16) && (n = ::read(fd, buffer, sizeof buffer)) > 0;)
        text.append(buffer, n);
    ::close(fd);
    const QList<QByteArray> lines = text.split('\n');
    for (qsizetype i = 0; i + 1 < lines.size(); i += 2)
        folders.emplace_back(QFile::decodeName(QByteArray::fromPercentEncoding(lines[i])),
                             QFile::decodeName(QByteArray::fromPercentEncoding(lines[i + 1])));
    return folders;
}

} // namespace

int removeStaleTemporaries(const QString& folder, const QString& forName)
{
    const QByteArray path = folderKey(folder);
    const QByteArray name = QFile::encodeName(forName);
    // The names are read from the shared listing; the folder itself is
    // opened only when one of them is a temporary of an ended run.
    const auto listing = cachedListing(path);
    std::vector<std::pair<QByteArray, qint64>> candidates;
    for (const FolderEntry& entry : *listing)
        if (const qint64 pid = temporaryOwner(entry.name, name))
            candidates.emplace_back(entry.name, pid);
    const auto removed = removeIfLeftovers(path, candidates);
    // Gone from the folder, gone from its listing.
    for (const QByteArray& fileName : removed)
        for (auto it = listing->begin(); it != listing->end(); ++it)
            if (it->name == fileName) {
                listing->erase(it);
                break;
            }
    return int(removed.size());
}

QString newOwnFileName(const QString& folder, const QString& suffix)
{
    QByteArray random;
    for (int i = 0; i < 4; ++i)
        random += QByteArray::number(QRandomGenerator::system()->generate(), 16).rightJustified(8, '0');
    QString path = folder;
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    return path + QString::fromLatin1(kOwnPrefix + QByteArray::number(qint64(::getpid())) + '-' + random) + suffix;
}

int removeLeftovers(const QString& tempFolder)
{
    const QByteArray path = folderKey(tempFolder.isEmpty() ? QDir::tempPath() : tempFolder);
    std::vector<std::pair<QByteArray, qint64>> candidates;
    const auto listing = listFolder(path);
    for (const FolderEntry& entry : *listing)
        if (const qint64 pid = std::max(temporaryOwner(entry.name, {}), ownFileOwner(entry.name)))
            candidates.emplace_back(entry.name, pid);
    int removed = 0;
    // A note goes only after the folders it names were cleaned.
    const auto cleanNoted = [&](int dirFd, const QByteArray& fileName) {
        if (fileName.endsWith(kNoteSuffix) && ownFileOwner(fileName))
            for (const auto& [folder, forName] : readNote(dirFd, fileName))
                removed += removeStaleTemporaries(folder, forName);
    };
    removed += int(removeIfLeftovers(path, candidates, cleanNoted).size());
    return removed;
}

TemporariesNote::TemporariesNote(const std::vector<std::pair<QString, QString>>& folders, const QString& tempFolder)
{
    QByteArray text;
    for (const auto& [folder, forName] : folders)
        text += QFile::encodeName(folder).toPercentEncoding() + '\n' + QFile::encodeName(forName).toPercentEncoding()
            + '\n';
    const QByteArray path =
        QFile::encodeName(newOwnFileName(tempFolder.isEmpty() ? QDir::tempPath() : tempFolder, QString::fromLatin1(kNoteSuffix)));
    // Without a note the cleanup waits for the next open or save there.
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    m_path = path;
    const bool written = writeAll(fd, text);
    ::close(fd);
    if (!written) {
        ::unlink(m_path.constData());
        m_path.clear();
    }
}

TemporariesNote::~TemporariesNote()
{
    if (!m_path.isEmpty())
        ::unlink(m_path.constData());
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
