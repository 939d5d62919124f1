#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <cerrno>
#include <cstring>
#include <string>

#include <sys/mount.h>

namespace vimra::test {

// A small tmpfs (64 KiB by default) mounted on a folder for the guard's
// lifetime. Its size counts whole 4 KiB pages of file data; folders are free.
struct SmallDisk {
    explicit SmallDisk(const QString& folder, const char* options = "size=64k") : path(QFile::encodeName(folder))
    {
        QDir().mkpath(folder);
        mounted = ::mount("tmpfs", path.constData(), "tmpfs", 0, options) == 0;
        error = std::strerror(errno);
    }
    ~SmallDisk()
    {
        if (mounted)
            ::umount2(path.constData(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;
    QByteArray path;
    bool mounted = false;
    std::string error;
};

} // namespace vimra::test
