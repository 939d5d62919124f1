#include "records/FileStamp.h"

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

} // namespace vimra
