#pragma once

// Work split in two, the halves side by side on a spare core. The core's
// callers may be on many threads at once: the spare cores are counted for
// the whole process, so that nested and parallel calls never start more
// threads than there are cores.

// WebAssembly built without threads has none to start.
#if !defined(__EMSCRIPTEN__) || defined(__EMSCRIPTEN_PTHREADS__)
#define CARVEX_REGION_THREADS 1
#include <algorithm>
#include <atomic>
#include <future>
#include <thread>
#endif

namespace carvex::region {

#ifdef CARVEX_REGION_THREADS
// The threads the core may start beside its callers': one for each core
// past the first, shared by every call in the process.
inline std::atomic<int>& spareThreads() {
    static std::atomic<int> spare(std::max(0, int(std::thread::hardware_concurrency()) - 1));
    return spare;
}

// A spare thread, taken while one is left and given back when it ends.
class SpareThread {
public:
    SpareThread() {
        int n = spareThreads().load();
        while (n > 0 && !spareThreads().compare_exchange_weak(n, n - 1)) {
        }
        taken_ = n > 0;
    }
    ~SpareThread() {
        if (taken_) ++spareThreads();
    }
    SpareThread(const SpareThread&) = delete;
    SpareThread& operator=(const SpareThread&) = delete;
    bool taken() const { return taken_; }

private:
    bool taken_ = false;
};
#endif

// first() and second(), side by side on a spare core when the work is worth
// a thread; on one thread second() only runs when first() returns true (a
// refusal in the first half needs no second). The two must touch disjoint
// data; each thread keeps its own working lists, so what they give is what
// one thread gives.
template <typename First, typename Second>
void bothHalves(bool worthAThread, First first, Second second) {
#ifdef CARVEX_REGION_THREADS
    if (worthAThread) {
        const SpareThread spare;
        if (spare.taken()) {
            auto firstDone = std::async(std::launch::async, first);
            second();
            firstDone.get();
            return;
        }
    }
#else
    (void)worthAThread;
#endif
    if (first()) second();
}

}  // namespace carvex::region
