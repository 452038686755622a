#pragma once

// Work split in two, the halves side by side on a spare core. The core's
// callers may be on many threads at once: the spare cores are counted for
// the whole process, so that nested and parallel calls never run more
// threads than there are cores.

// WebAssembly built without threads has none to start.
#if !defined(__EMSCRIPTEN__) || defined(__EMSCRIPTEN_PTHREADS__)
#define CARVEX_REGION_THREADS 1
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#endif

#include <cstddef>

namespace carvex::region {

#ifdef CARVEX_REGION_THREADS
// One piece of work handed to a spare core, and what became of it.
class SpareTask {
public:
    explicit SpareTask(std::function<void()> work) : work_(std::move(work)) {}
    // Run by the spare core: the work, then end() to let the caller go on
    // (after which the task may be gone).
    void run();
    void end();
    // Until run() has ended; then what it threw, thrown here.
    void wait();
    // Until run() has ended, whatever it threw: for a caller that is itself
    // leaving by an exception, before what the work reads is gone.
    void finish();

private:
    std::function<void()> work_;
    std::mutex mutex_;
    std::condition_variable ended_;
    bool done_ = false;
    std::exception_ptr thrown_;
};

// Hands task to one of the threads kept for the spare cores (one for each
// core past the first, started when first asked for and kept for the
// process's life, so that their working memory stays faulted in): false,
// and nothing run, when every one of them is busy.
bool startOnSpareCore(SpareTask& task);
#endif

// first() on a spare core and second() here, side by side, and true; false,
// with neither run, when no core is spare.
template <typename First, typename Second>
bool besideEachOther(First first, Second second) {
#ifdef CARVEX_REGION_THREADS
    SpareTask task(first);
    if (!startOnSpareCore(task)) return false;
    try {
        second();
    } catch (...) {
        task.finish();
        throw;
    }
    task.wait();
    return true;
#else
    (void)first;
    (void)second;
    return false;
#endif
}

// Where n items of the given weights, total in all, split into two halves
// of about equal weight: the first item of the second half.
template <typename Weight>
std::size_t halfwayBy(std::size_t n, std::size_t total, Weight weight) {
    std::size_t mid = 0;
    for (std::size_t seen = 0; mid < n && 2 * seen < total; ++mid)
        seen += weight(mid);
    return mid;
}

// first() and second(), side by side on a spare core when the work is worth
// a thread; on one thread second() only runs when first() returns true (a
// refusal in the first half needs no second). The two must touch disjoint
// data; each thread keeps its own working lists, so what they give is what
// one thread gives.
template <typename First, typename Second>
void bothHalves(bool worthAThread, First first, Second second) {
#ifdef CARVEX_REGION_THREADS
    if (worthAThread && besideEachOther([&first] { first(); }, second)) return;
#else
    (void)worthAThread;
#endif
    if (first()) second();
}

}  // namespace carvex::region
