#include "platform/HeapReserve.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <vector>

#if defined(__GLIBC__) && !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
#define VIMRA_GLIBC_HEAP 1
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>
#endif

#ifdef VIMRA_GLIBC_HEAP
extern "C" char end; // the end of the program's data, where the main heap begins
#endif

namespace vimra {

#ifdef VIMRA_GLIBC_HEAP

namespace {

constexpr std::size_t kDefaultTopPad = 128 * 1024; // the C library's own
constexpr std::size_t kSmallest = 8 << 20;         // below this the usual growth does
constexpr std::size_t kLargest = std::size_t(1) << 30;
constexpr std::uintptr_t kHugePage = 2 << 20;
// Below the size the C library maps on its own, so each comes from the heap.
constexpr std::size_t kBlock = 64 * 1024;

std::atomic<bool> g_reserved{false};

} // namespace

void HeapReserve::adviseThreadHeap()
{
    if (!g_reserved)
        return;
    // A thread's own heap is a 64 MiB reservation aligned to its size, its
    // growing part made usable in one piece while the reserve lives; the
    // main heap lies between the program's data and the break. Advice
    // changes no data, so a wrong guess here costs nothing.
    void* probe = malloc(1);
    const std::uintptr_t at = reinterpret_cast<std::uintptr_t>(probe);
    free(probe);
    const bool ownHeap =
        probe && (at < reinterpret_cast<std::uintptr_t>(&end) || at >= reinterpret_cast<std::uintptr_t>(sbrk(0)));
    if (!ownHeap)
        return;
    constexpr std::uintptr_t kThreadHeap = 64 << 20;
    madvise(reinterpret_cast<void*>(at & ~(kThreadHeap - 1)), kThreadHeap, MADV_HUGEPAGE);
}

void HeapReserve::reserve(std::size_t bytes)
{
    bytes = std::min(bytes, kLargest);
    if (bytes < kSmallest || bytes <= m_bytes)
        return;
    m_bytes = bytes;
    g_reserved = true;
    // The heap now grows by `bytes` at a time, and the per-thread heaps made
    // from now on start that large (up to their own limit). This also fixes
    // the size above which blocks are mapped on their own at its present value.
    mallopt(M_TOP_PAD, static_cast<int>(bytes));

    // Use up the free room at the top in blocks (some come from free room
    // further down); the block that does not fit grows the heap by the new
    // pad in one step.
    void* const start = sbrk(0);
    std::vector<void*> blocks;
    const std::size_t most = bytes / kBlock + 1;
    blocks.reserve(most);
    while (sbrk(0) == start && blocks.size() < most) {
        void* block = malloc(kBlock);
        if (!block)
            break;
        blocks.push_back(block);
    }
    void* const end = sbrk(0);
    for (void* block : blocks)
        free(block);

    // Whole huge pages of the room just added.
    const std::uintptr_t from = (reinterpret_cast<std::uintptr_t>(start) + kHugePage - 1) & ~(kHugePage - 1);
    const std::uintptr_t to = reinterpret_cast<std::uintptr_t>(end) & ~(kHugePage - 1);
    if (to > from)
        madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
}

HeapReserve::~HeapReserve()
{
    if (m_bytes) {
        g_reserved = false;
        mallopt(M_TOP_PAD, static_cast<int>(kDefaultTopPad));
    }
}

#else

void HeapReserve::adviseThreadHeap() {}
void HeapReserve::reserve(std::size_t) {}
HeapReserve::~HeapReserve() = default;

#endif

} // namespace vimra
