#pragma once

#include <vector>

namespace vimra {

// Removals from a 1-based list of `count` members, each given by its index
// at the time it was made (later ones counting without the earlier ones):
// the index each had before any of them, in the same order. An index that
// names no member left is dropped.
inline std::vector<int> OriginalIndexes(int count, const std::vector<int>& sequential)
{
    std::vector<int> original;
    original.reserve(sequential.size());
    int left = count;
    // A few removals from a long list: each is counted past the earlier
    // ones before it, without a structure the size of the list.
    if (sequential.size() * sequential.size() <= size_t(count)) {
        std::vector<int> rising;
        for (const int c : sequential) {
            if (c < 1 || c > left)
                continue;
            int o = c;
            auto it = rising.begin();
            for (; it != rising.end() && *it <= o; ++it)
                ++o;
            rising.insert(it, o);
            --left;
            original.push_back(o);
        }
        return original;
    }
    // A Fenwick tree of the members still present finds the c-th one in
    // O(log count), so many removals cost no walk per removal.
    std::vector<int> tree(size_t(count) + 1, 0);
    for (int i = 1; i <= count; ++i) {
        tree[size_t(i)] += 1;
        if (const int up = i + (i & -i); up <= count)
            tree[size_t(up)] += tree[size_t(i)];
    }
    int top = 1;
    while (top * 2 <= count)
        top *= 2;
    for (const int c : sequential) {
        if (c < 1 || c > left)
            continue;
        int at = 0;
        int rest = c;
        for (int step = top; step > 0; step /= 2)
            if (at + step <= count && tree[size_t(at + step)] < rest) {
                at += step;
                rest -= tree[size_t(at)];
            }
        const int o = at + 1;
        for (int i = o; i <= count; i += i & -i)
            tree[size_t(i)] -= 1;
        --left;
        original.push_back(o);
    }
    return original;
}

// The same removals as marks over the members before them (index 0 unused).
inline std::vector<bool> RemovedMarks(int count, const std::vector<int>& original)
{
    std::vector<bool> gone(size_t(count) + 1, false);
    for (const int o : original)
        gone[size_t(o)] = true;
    return gone;
}

} // namespace vimra
