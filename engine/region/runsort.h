#pragma once

// Sorting lists that arrive as a few long ordered stretches: the points of an
// outline taken in drawing order rise and fall in x only a few times, so
// merging those stretches costs far less than sorting from scratch.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

namespace carvex::region {

// Sorts v by less, a strict weak order, by merging the stretches it falls
// into, and true; false, with v in an order of its own that std::sort is
// to finish, when the stretches are too short for merging to pay. scratch
// is working space.
template <class List, class Less>
bool sortedByMergingRuns(List& v, List& scratch, Less less) {
    const size_t n = v.size();
    if (n < 2) return true;
    // The bounds of the stretches, kept where v keeps its elements.
    using Bounds =
        std::vector<size_t, typename std::allocator_traits<
                                typename List::allocator_type>::template rebind_alloc<size_t>>;
    Bounds bounds(1, 0, v.get_allocator());
    for (size_t i = 0; i < n;) {
        size_t j = i + 1;
        if (j < n && less(v[j], v[j - 1])) {
            // Falling strictly: turned around, it rises.
            while (j < n && less(v[j], v[j - 1]))
                ++j;
            std::reverse(v.begin() + i, v.begin() + j);
        } else {
            while (j < n && !less(v[j], v[j - 1]))
                ++j;
        }
        bounds.push_back(j);
        i = j;
        // Short stretches: merging would cost more than sorting.
        if (bounds.size() > 8 + n / 16) return false;
    }
    scratch.resize(n);
    while (bounds.size() > 2) {
        Bounds merged(1, 0, v.get_allocator());
        size_t k = 0;
        for (; k + 2 < bounds.size(); k += 2) {
            std::merge(v.begin() + bounds[k], v.begin() + bounds[k + 1], v.begin() + bounds[k + 1],
                       v.begin() + bounds[k + 2], scratch.begin() + bounds[k], less);
            merged.push_back(bounds[k + 2]);
        }
        if (k + 1 < bounds.size()) {
            std::copy(v.begin() + bounds[k], v.begin() + bounds[k + 1],
                      scratch.begin() + bounds[k]);
            merged.push_back(bounds[k + 1]);
        }
        v.swap(scratch);
        bounds.swap(merged);
    }
    return true;
}

// Sorts v by less, a strict weak order; scratch is working space. Where less
// is a total order the result is the one std::sort gives. Lists that do not
// fall into long stretches are handed to std::sort.
template <class List, class Less>
void sortByRuns(List& v, List& scratch, Less less) {
    if (!sortedByMergingRuns(v, scratch, less)) std::sort(v.begin(), v.end(), less);
}

// The bits of a finite double as an unsigned number in the same order: -0.0
// and 0.0, which compare equal, give one key.
inline std::uint64_t orderedBits(double x) {
    x += 0.0;  // -0.0 becomes 0.0
    std::uint64_t u = 0;
    std::memcpy(&u, &x, sizeof u);
    return u >> 63 ? ~u : u | (std::uint64_t(1) << 63);
}

// Below this many elements std::sort takes less than sorting by bytes (a
// pair of a double and an int, keys at random: 107 against 74 microseconds
// at 4,096, 152 against 415 at 8,192; in place, 16-byte stops by their
// segment, 35 against 24 at 2,048, 153 against 382 at 8,192).
constexpr std::size_t kFewestForRadixSort = 8192;

// Sorts v by key(element), an unsigned 64-bit number, keeping the order of
// equal keys; scratch is working space, and takes no memory if it already
// holds as many elements as v (so that a thread that does not own v's
// memory may sort it). A byte a pass from the lowest, and a pass is left out
// where every key has the same byte, as the bytes above the span of the keys
// do: for lists that fall into no long ordered stretches, where this takes
// a fraction of what comparing takes.
template <class List, class Key>
void radixSort(List& v, List& scratch, Key key) {
    constexpr int kDigits = 8;
    constexpr std::size_t kBuckets = 256;
    const std::size_t n = v.size();
    if (n < 2) return;
    std::array<std::uint32_t, kDigits * kBuckets> counts{};
    for (const auto& e : v) {
        const std::uint64_t k = key(e);
        for (int d = 0; d < kDigits; ++d)
            ++counts[d * kBuckets + ((k >> (8 * d)) & 0xff)];
    }
    scratch.resize(n);
    for (int d = 0; d < kDigits; ++d) {
        std::uint32_t* c = counts.data() + d * kBuckets;
        if (c[(key(v[0]) >> (8 * d)) & 0xff] == n) continue;  // one byte for all
        std::uint32_t sum = 0;
        for (std::size_t b = 0; b < kBuckets; ++b)
            sum += std::exchange(c[b], sum);
        for (const auto& e : v)
            scratch[c[(key(e) >> (8 * d)) & 0xff]++] = e;
        v.swap(scratch);
    }
}

// Sorts [begin, end) by less, in place and not keeping the order of equal
// elements, where key(element), an unsigned 64-bit number, orders as less
// does but may tie where less does not. A byte of the key at a time from the
// highest one in use, each byte's buckets swapped into place and sorted by
// the next; a list of fewer than kFewestForRadixSort elements, a bucket of
// a few, or one of a single key, is left to std::sort. For large lists in
// no long ordered stretches whose keys part most elements: it takes no
// working space beside them.
template <class T, class Key, class Less>
void sortByKeyBytes(T* begin, T* end, Key key, Less less, int byte = -1) {
    if (end - begin < (byte < 0 ? std::ptrdiff_t(kFewestForRadixSort) : 64)) {
        std::sort(begin, end, less);
        return;
    }
    if (byte < 0) {
        std::uint64_t any = 0;
        for (const T* e = begin; e != end; ++e)
            any |= key(*e);
        byte = 0;
        while (byte < 7 && (any >> (8 * (byte + 1))) != 0)
            ++byte;
    }
    auto bucketOf = [&](const T& e) { return std::size_t(key(e) >> (8 * byte)) & 0xff; };
    std::array<std::size_t, 257> start{};
    for (const T* e = begin; e != end; ++e)
        ++start[bucketOf(*e) + 1];
    for (std::size_t b = 0; b < 256; ++b)
        start[b + 1] += start[b];
    // Each element swapped into the bucket it belongs to, until every
    // bucket holds its own.
    std::array<std::size_t, 256> next;
    std::copy(start.begin(), start.end() - 1, next.begin());
    for (std::size_t b = 0; b < 256; ++b)
        while (next[b] < start[b + 1]) {
            const std::size_t to = bucketOf(begin[next[b]]);
            if (to == b)
                ++next[b];
            else
                std::swap(begin[next[b]], begin[next[to]++]);
        }
    for (std::size_t b = 0; b < 256; ++b) {
        T* first = begin + start[b];
        T* last = begin + start[b + 1];
        if (last - first < 2) continue;
        if (byte > 0)
            sortByKeyBytes(first, last, key, less, byte - 1);
        else
            std::sort(first, last, less);  // one key
    }
}

// How many of the first k elements std::merge(a, b) gives come from a
// (sorted lists, of n and m elements): merging a's first i and b's first
// k - i, and then the rest of each, gives what one merge gives, equal
// elements included, so that two threads can merge the halves.
template <class T, class Less>
std::size_t mergeSplit(const T* a, std::size_t n, const T* b, std::size_t m, std::size_t k,
                       Less less) {
    std::size_t lo = k > m ? k - m : 0;
    std::size_t hi = std::min(k, n);
    while (lo < hi) {
        const std::size_t i = lo + (hi - lo) / 2;
        // a[i] comes before b[k - i - 1] unless that one is less: then the
        // first k hold a[i] too.
        if (!less(b[k - i - 1], a[i]))
            lo = i + 1;
        else
            hi = i;
    }
    return lo;
}

// The sorted list later merged into the sorted list into, from the back and
// in place, equal elements as std::merge leaves them: later's after the
// others. Where into has the room reserved nothing moves, and no third list
// lies beside the two: for a few elements merged into many.
template <class List, class Less>
void mergeInto(List& into, const List& later, Less less) {
    size_t i = into.size();
    size_t j = later.size();
    into.resize(i + j);
    for (size_t k = i + j; j > 0;) {
        if (i > 0 && less(later[j - 1], into[i - 1]))
            into[--k] = into[--i];
        else
            into[--k] = later[--j];
    }
}

}  // namespace carvex::region
