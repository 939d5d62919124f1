#pragma once

#include <cstddef>

namespace vimra {

// While one lives, the heap grows in large steps, in huge pages where the
// kernel gives them on request: a burst of allocations (thousands of objects
// opening) then faults its memory in a few large pieces rather than one small
// page at a time, which is slow on virtual machines. Room is only reserved,
// not used: memory is taken as it is touched. When the reserve ends the heap
// gives back unused room again as usual.
class HeapReserve {
public:
    HeapReserve() = default;
    ~HeapReserve();
    HeapReserve(const HeapReserve&) = delete;
    HeapReserve& operator=(const HeapReserve&) = delete;

    // Makes room for `bytes` more; only a larger request than before counts.
    void reserve(std::size_t bytes);
    // A thread about to allocate a lot asks for its own heap in huge pages
    // too, while a reserve lives.
    static void adviseThreadHeap();

private:
    std::size_t m_bytes = 0;
};

} // namespace vimra
