#pragma once

#include "support/HangBound.h"

#include <QFile>
#include <QStringList>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include <fcntl.h>
#include <unistd.h>

namespace vimra::test {

// Runs `action`; should it still run after kHang, frees whatever waits
// on one of `fifos` (opening each for writing and closing it gives a reader
// the end of the file) and answers false: code that would wait for ever
// fails its test instead of hanging the suite.
inline bool bAnswersAtOnce(const QStringList& fifos, const std::function<void()>& action)
{
    std::atomic<bool> bDone = false, bFreed = false;
    std::thread guard([&] {
        for (const auto start = std::chrono::steady_clock::now(); !bDone;
             std::this_thread::sleep_for(std::chrono::milliseconds(10))) {
            if (std::chrono::steady_clock::now() - start < kHang)
                continue;
            bFreed = true;
            for (const QString& fifo : fifos)
                if (const int fd = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK); fd >= 0)
                    ::close(fd);
        }
    });
    action();
    bDone = true;
    guard.join();
    return !bFreed;
}

} // namespace vimra::test
