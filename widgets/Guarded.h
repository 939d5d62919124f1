#pragma once

#include "platform/Prompts.h"

#include <QString>

#include <exception>
#include <utility>

namespace vimra {

// Runs an event handler's model work. An exception leaving a Qt slot would
// end the program with the user's unsaved edits, so it stops here: its text
// is shown and `failed` answered instead.
template <typename R, typename Fn>
R guarded(R failed, Fn&& fn)
{
    try {
        return std::forward<Fn>(fn)();
    } catch (const std::exception& e) {
        prompts().MsgBox(QString::fromLocal8Bit(e.what()), Prompts::OKOnly, Prompts::Exclamation);
        return failed;
    }
}

// For work with nothing to answer: false when it failed.
template <typename Fn>
bool guarded(Fn&& fn)
{
    return guarded(false, [&] {
        std::forward<Fn>(fn)();
        return true;
    });
}

} // namespace vimra
