#pragma once

#include "support/HangBound.h"

#include <QFile>
#include <QStringList>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include <fcntl.h>
#include <unistd.h>

namespace vimra::test {

// Runs `action`; should it still run after the hang bound, frees whatever
// waits on one of `fifos` (opening each for writing and closing it gives a
// reader the end of the file) and answers false: code that would wait for
// ever fails its test instead of hanging the suite.
inline bool bAnswersAtOnce(const QStringList& fifos, const std::function<void()>& action)
{
    std::mutex mutex;
    std::condition_variable finished;
    bool bDone = false, bFreed = false;
    std::thread guard([&] {
        std::unique_lock lock(mutex);
        if (finished.wait_for(lock, kHang, [&] { return bDone; }))
            return;
        bFreed = true;
        do
            for (const QString& fifo : fifos)
                if (const int fd = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK); fd >= 0)
                    ::close(fd);
        while (!finished.wait_for(lock, std::chrono::milliseconds(10), [&] { return bDone; }));
    });
    action();
    {
        const std::lock_guard lock(mutex);
        bDone = true;
    }
    finished.notify_one();
    guard.join();
    return !bFreed;
}

} // namespace vimra::test
