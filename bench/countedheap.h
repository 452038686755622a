#pragma once

#include <thread>

// The heap a benchmark program holds, counted by its replaced global
// operator new and delete (countedheap.cpp, linked into every benchmark):
// the bytes in use now and the most in use since the last markPeak.

namespace countedheap {

long long inUse();

// Starts a new peak at what is in use now and returns that.
long long markPeak();

// The most in use since markPeak.
long long peak();

// The most heap that one call holds at once beyond what was live before it,
// in a thread of its own so that the engine's per-thread working lists are
// counted too; -1 when the call throws.
template <class Call>
long long peakHeapOf(Call call) {
    long long peak = -1;
    std::thread([&] {
        const long long before = markPeak();
        try {
            call();
            peak = countedheap::peak() - before;
        } catch (...) {
        }
    }).join();
    return peak;
}

}  // namespace countedheap
