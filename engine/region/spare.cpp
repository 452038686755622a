#include "region/spare.h"

#ifdef CARVEX_REGION_THREADS

#include <deque>
#include <thread>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace carvex::region {

void SpareTask::run() {
    std::exception_ptr thrown;
    try {
        work_();
    } catch (...) {
        thrown = std::current_exception();
    }
    const std::lock_guard<std::mutex> lock(mutex_);
    thrown_ = thrown;
    done_ = true;
    ended_.notify_one();
}

void SpareTask::wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    ended_.wait(lock, [this] { return done_; });
    if (thrown_) std::rethrow_exception(thrown_);
}

namespace {

// The threads of the spare cores and the tasks handed to them. A task is
// only taken while a thread is idle, so none waits behind another.
class SpareCores {
public:
    SpareCores() {
        const int cores = int(std::thread::hardware_concurrency());
        idle_ = cores > 1 ? cores - 1 : 0;
        for (int i = 0; i < idle_; ++i)
            std::thread([this] { serve(); }).detach();
    }

    bool start(SpareTask& task) {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            if (idle_ == 0) return false;
            --idle_;
            tasks_.push_back(&task);
        }
        handed_.notify_one();
        return true;
    }

private:
    [[noreturn]] void serve() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            handed_.wait(lock, [this] { return !tasks_.empty(); });
            SpareTask* task = tasks_.front();
            tasks_.pop_front();
            lock.unlock();
            task->run();
            lock.lock();
            ++idle_;
        }
    }

    std::mutex mutex_;
    std::condition_variable handed_;
    std::deque<SpareTask*> tasks_;
    int idle_ = 0;
};

// Kept for the process's life and never taken down, so that a call made
// while the process ends still finds its threads. A child forked from the
// process has none of them and starts its own.
SpareCores& coresOfThisProcess() {
    static std::mutex guard;
    static SpareCores* cores = nullptr;
    const std::lock_guard<std::mutex> lock(guard);
#ifndef _WIN32
    static pid_t owner = 0;
    if (owner != getpid()) {
        cores = nullptr;
        owner = getpid();
    }
#endif
    if (!cores) cores = new SpareCores();
    return *cores;
}

}  // namespace

bool startOnSpareCore(SpareTask& task) {
    return coresOfThisProcess().start(task);
}

}  // namespace carvex::region

#endif
