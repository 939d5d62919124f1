#include "records/FileStamp.h"

#include "platform/FileRead.h"

#include <QCryptographicHash>
#include <QFile>

#include <sys/stat.h>
#include <time.h>

namespace vimra {

namespace {

// Longer than any file-time tick (a jiffy at the slowest kernel clock).
constexpr qint64 kTickNs = 100'000'000;

qint64 nowNs()
{
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return qint64(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

int g_scopeDepth = 0;
quint64 g_scopeNumber = 0;
quint64 g_lastScope = 0;

QByteArray digestOf(const QByteArray& bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha1);
}

// The digest of the file as it is, "" when it cannot be read.
QByteArray digestOfFile(const QString& path)
{
    QByteArray bytes;
    return fs::readRegularFile(path, bytes) == fs::ReadResult::Read ? digestOf(bytes) : QByteArray();
}

} // namespace

StampScope::StampScope()
{
    if (g_scopeDepth++ == 0)
        g_scopeNumber = ++g_lastScope;
}

StampScope::~StampScope()
{
    if (--g_scopeDepth == 0)
        g_scopeNumber = 0;
}

quint64 StampScope::current() { return g_scopeNumber; }

FileStamp FileStamp::of(const QString& path)
{
    FileStamp stamp;
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return stamp;
    stamp.size = st.st_size;
    stamp.mtimeNs = qint64(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
    stamp.inode = qint64(st.st_ino);
    stamp.bRacy = stamp.mtimeNs >= nowNs() - kTickNs;
    return stamp;
}

KnownFile KnownFile::afterRead(const QString& path, const FileStamp& before)
{
    KnownFile known{before, {}};
    if (!before.exists() || !before.bRacy)
        return known;
    // Read again for its digest: the stamp alone cannot tell a write within
    // the same tick. A file that changed since `before` is left unknown.
    QByteArray digest = digestOfFile(path);
    if (FileStamp::of(path).bSameAs(before))
        known.digest = std::move(digest);
    else
        known.stamp = FileStamp();
    return known;
}

KnownFile KnownFile::afterWrite(const QString& path, const QByteArray& bytes)
{
    return {FileStamp::of(path), digestOf(bytes)};
}

KnownFile::State KnownFile::check(const QString& path)
{
    const FileStamp now = FileStamp::of(path);
    if (!now.exists())
        return State::Gone;
    if (stamp.bUnchanged(now))
        return State::Same;
    if (digest.isEmpty() || !stamp.exists() || now.size != stamp.size || digestOfFile(path) != digest)
        return State::Changed;
    if (const FileStamp after = FileStamp::of(path); after.bSameAs(now) && !after.bRacy)
        stamp = after;
    return State::Same;
}

} // namespace vimra
