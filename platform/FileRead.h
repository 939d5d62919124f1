#pragma once

#include <QByteArray>
#include <QString>

namespace vimra::fs {

// The most any file named by a document is read whole: no catalogue object
// or keyframe picture comes near it, and a larger one is refused unread.
constexpr qint64 kMaxReadSize = qint64(64) << 20;

enum class ReadResult {
    Read,
    NotFound,   // no such file (errno ENOENT or ENOTDIR)
    NotRegular, // a folder, FIFO, device or socket: never read
    TooLarge,   // above the size asked for
    NoMemory,   // the bytes could not be held
    Failed,     // any other failure, errno saying why
};

// Reads the regular file `path` whole into `bytes`. It is opened without
// waiting, so a FIFO or device answers at once instead of blocking the
// program, and it is checked on the descriptor opened, so nothing swapped in
// by name between a look and the read is read instead.
ReadResult readRegularFile(const QString& path, QByteArray& bytes, qint64 maxSize = kMaxReadSize);

} // namespace vimra::fs
