#include "region/spare.h"

#ifdef CARVEX_REGION_THREADS

#include <deque>
#include <system_error>
#include <thread>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace carvex::region {

void SpareTask::run() {
    try {
        work_();
    } catch (...) {
        thrown_ = std::current_exception();
    }
}

void SpareTask::end() {
    const std::lock_guard<std::mutex> lock(mutex_);
    done_ = true;
    ended_.notify_one();
}

void SpareTask::wait() {
    finish();
    if (thrown_) std::rethrow_exception(thrown_);
}

void SpareTask::finish() {
    std::unique_lock<std::mutex> lock(mutex_);
    ended_.wait(lock, [this] { return done_; });
}

namespace {

// The threads of the spare cores and the tasks handed to them. A task is
// only taken while a thread is idle, so none waits behind another.
class SpareCores {
public:
    // A thread the system will not start (short of memory or of threads)
    // is a core less to hand work to.
    SpareCores() {
        const int cores = int(std::thread::hardware_concurrency());
        for (int i = 1; i < cores; ++i) {
            try {
                std::thread([this] { serve(); }).detach();
            } catch (const std::system_error&) {
                break;
            }
            const std::lock_guard<std::mutex> lock(mutex_);
            ++idle_;
        }
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
            // Idle again before the caller hears that the task ended, so
            // that its next call finds this core spare.
            lock.lock();
            ++idle_;
            lock.unlock();
            task->end();
            lock.lock();
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
