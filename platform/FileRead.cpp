#include "platform/FileRead.h"

#include <QFile>

#include <cerrno>
#include <new>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vimra::fs {

ReadResult readRegularFile(const QString& path, QByteArray& bytes, qint64 maxSize)
{
    bytes.clear();
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return errno == ENOENT || errno == ENOTDIR ? ReadResult::NotFound : ReadResult::Failed;
    struct stat st {};
    ReadResult result = ReadResult::Read;
    if (::fstat(fd, &st) != 0)
        result = ReadResult::Failed;
    else if (!S_ISREG(st.st_mode))
        result = ReadResult::NotRegular;
    else if (st.st_size > maxSize)
        result = ReadResult::TooLarge;
    try {
        if (result == ReadResult::Read)
            bytes.resize(static_cast<qsizetype>(st.st_size));
    } catch (const std::bad_alloc&) {
        result = ReadResult::NoMemory;
    }
    qsizetype done = 0;
    while (result == ReadResult::Read && done < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + done, static_cast<size_t>(bytes.size() - done));
        if (n > 0)
            done += n;
        else if (n == 0)
            bytes.truncate(done); // shrank while read
        else if (errno != EINTR)
            result = ReadResult::Failed;
    }
    const int reason = errno;
    ::close(fd);
    errno = reason;
    if (result != ReadResult::Read)
        bytes.clear();
    return result;
}

} // namespace vimra::fs
