#pragma once

#include <chrono>

namespace vimra::test {

// How long a test waits before it calls the wait a hang: far past what a
// loaded machine needs under a sanitizer, so only a hang fails a test. Every
// wait ends as soon as what it waits for is there; speed belongs in bench/.
constexpr int kHangMs = 120'000;
constexpr std::chrono::milliseconds kHang{kHangMs};

} // namespace vimra::test
