#pragma once

// A few threads that each run one job per round beside the caller, which
// runs its own share and then sleeps until every worker has finished. No
// one polls: a core the caller gives up goes at once to a worker that the
// system had descheduled, or to another program.

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace morva {

class WorkerPool {
public:
    // Starts a thread running the given function.
    using ThreadStarter = std::function<std::thread(std::function<void()>)>;

    // Up to workers threads: one the system cannot create (std::system_error)
    // means fewer, never a failure.
    explicit WorkerPool(int workers, const ThreadStarter& start = {});
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    int Workers() const { return static_cast<int>(threads_.size()); }
    // Runs job(0) on the caller and job(i) on worker i, and returns when all
    // have returned; what the jobs wrote is then visible to the caller. An
    // exception of any job (a std::bad_alloc) is thrown here then, the
    // caller's own first.
    void Run(const std::function<void(int)>& job);

private:
    void Loop(int index);

    std::mutex mutex_;
    std::condition_variable roundStarted_;
    std::condition_variable roundFinished_;
    const std::function<void(int)>* job_ = nullptr;
    std::uint64_t round_ = 0;
    int pending_ = 0;
    std::exception_ptr failure_;  // the round's first worker that threw
    bool quit_ = false;
    std::vector<std::thread> threads_;
};

}  // namespace morva
