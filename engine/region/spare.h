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

namespace carvex::region {

#ifdef CARVEX_REGION_THREADS
// One piece of work handed to a spare core, and what became of it.
class SpareTask {
public:
    explicit SpareTask(std::function<void()> work) : work_(std::move(work)) {}
    // Run by the spare core.
    void run();
    // Until run() has ended; then what it threw, thrown here.
    void wait();

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

// first() and second(), side by side on a spare core when the work is worth
// a thread; on one thread second() only runs when first() returns true (a
// refusal in the first half needs no second). The two must touch disjoint
// data; each thread keeps its own working lists, so what they give is what
// one thread gives.
template <typename First, typename Second>
void bothHalves(bool worthAThread, First first, Second second) {
#ifdef CARVEX_REGION_THREADS
    if (worthAThread) {
        SpareTask task([&first] { first(); });
        if (startOnSpareCore(task)) {
            second();
            task.wait();
            return;
        }
    }
#else
    (void)worthAThread;
#endif
    if (first()) second();
}

}  // namespace carvex::region
