#include "engine/worker_pool.h"

#include <system_error>

namespace morva {

WorkerPool::WorkerPool(int workers, const ThreadStarter& start) {
    for (int i = 0; i < workers; ++i) {
        const int index = i + 1;
        try {
            if (start) {
                threads_.push_back(start([this, index] { Loop(index); }));
            } else {
                threads_.emplace_back([this, index] { Loop(index); });
            }
        } catch (const std::system_error&) {
            break;  // out of threads: the render runs on those it has
        }
    }
}

WorkerPool::~WorkerPool() {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    roundStarted_.notify_all();
    for (auto& thread : threads_) thread.join();
}

void WorkerPool::Run(const std::function<void(int)>& job) {
    {
        std::lock_guard lock(mutex_);
        job_ = &job;
        pending_ = Workers();
        failure_ = nullptr;
        ++round_;
    }
    roundStarted_.notify_all();
    // The workers use what the caller's job holds: they finish first.
    std::exception_ptr failure;
    try {
        job(0);
    } catch (...) {
        failure = std::current_exception();
    }
    std::unique_lock lock(mutex_);
    roundFinished_.wait(lock, [this] { return pending_ == 0; });
    job_ = nullptr;
    if (!failure) failure = failure_;
    if (failure) std::rethrow_exception(failure);
}

void WorkerPool::Loop(int index) {
    std::uint64_t seen = 0;
    std::unique_lock lock(mutex_);
    for (;;) {
        roundStarted_.wait(lock, [&] { return quit_ || round_ != seen; });
        if (quit_) return;
        seen = round_;
        const std::function<void(int)>& job = *job_;
        lock.unlock();
        std::exception_ptr failure;
        try {
            job(index);
        } catch (...) {
            failure = std::current_exception();
        }
        lock.lock();
        if (failure && !failure_) failure_ = failure;
        if (--pending_ == 0) roundFinished_.notify_one();
    }
}

}  // namespace morva
