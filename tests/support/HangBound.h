#pragma once

#include <chrono>

namespace vimra::test {

// How long a test waits for something before it calls the wait a hang: far
// past what a slow or loaded machine needs (a sanitizer build with a full
// build beside it), so only a hang fails a test. Every wait ends as soon as
// what it waits for is there; speed is measured in bench/, not here.
constexpr int kHangMs = 120'000;
constexpr std::chrono::milliseconds kHang{kHangMs};

} // namespace vimra::test
