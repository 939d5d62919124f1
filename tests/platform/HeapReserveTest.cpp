#include "platform/HeapReserve.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <unistd.h>

using namespace vimra;

namespace {
std::intptr_t breakAt() { return reinterpret_cast<std::intptr_t>(sbrk(0)); }
} // namespace

// The heap grows by the reserve in one step, what is allocated in it is
// ordinary memory, and once the reserve ends the heap shrinks again.
TEST(HeapReserve, GrowsOnceAndGivesRoomBack)
{
#if !defined(__GLIBC__) || defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "only the C library's own heap is reserved";
#else
    constexpr std::size_t kReserve = 64 << 20;
    std::vector<char*> blocks;
    {
        HeapReserve reserve;
        const std::intptr_t before = breakAt();
        reserve.reserve(1 << 20); // too small to be worth it
        EXPECT_EQ(breakAt(), before);
        reserve.reserve(kReserve);
        const std::intptr_t grown = breakAt();
        EXPECT_GE(grown - before, std::intptr_t(kReserve - (1 << 20)));
        reserve.reserve(kReserve / 2); // smaller than before: nothing to do
        EXPECT_EQ(breakAt(), grown);

        for (int i = 0; i < 4000; ++i) {
            blocks.push_back(static_cast<char*>(std::malloc(4000)));
            std::memset(blocks.back(), i & 0xff, 4000);
        }
        EXPECT_EQ(breakAt(), grown) << "the reserve holds them without growing again";
        EXPECT_EQ(blocks[1234][3999], char(1234 & 0xff));
    }
    const std::intptr_t held = breakAt();
    for (char* block : blocks)
        std::free(block);
    EXPECT_LT(breakAt(), held - std::intptr_t(kReserve / 2)) << "unused room is given back after the reserve";
#endif
}
