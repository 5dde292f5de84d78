#pragma once

// A few threads that each run one job per round while the caller runs its
// own share, and the counter they hand work over with. Nobody spins for
// long: a waiter polls for some tens of microseconds, measured on the clock
// (a pause instruction takes anywhere from ten to over a hundred cycles
// depending on the core), because rounds and the hand-offs inside them
// usually follow each other that fast; then it sleeps in the kernel until
// woken, so that a peer the system has descheduled, or another program,
// gets the core.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <thread>
#include <vector>

namespace morva {

// A counter that one side advances and another waits on. Advancing it wakes
// a sleeping waiter; when nobody sleeps it costs no system call.
class Signal {
public:
    std::uint32_t Load() const { return value_.load(std::memory_order_acquire); }
    void Store(std::uint32_t value);
    // Adds delta (modulo 2^32); returns the value before.
    std::uint32_t Add(std::uint32_t delta);
    // Waits until the value differs from old and returns it: polls for at
    // most spin, then sleeps.
    std::uint32_t AwaitChange(std::uint32_t old, std::chrono::microseconds spin) const;

private:
    void WakeSleepers();

    // A cache line of its own: the two sides of a hand-off write it.
    alignas(64) std::atomic<std::uint32_t> value_{0};
    mutable std::atomic<std::uint32_t> sleepers_{0};
};

class WorkerPool {
public:
    explicit WorkerPool(int workers);
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    int Workers() const { return static_cast<int>(threads_.size()); }
    // Starts job(i) on every worker i; the previous round must be over.
    void Start(std::function<void(int)> job);
    // Returns when every worker has finished its job of this round; what the
    // jobs wrote is then visible to the caller.
    void Wait();

    // How long a worker polls for the next round before it sleeps: the
    // render loop starts the next batch within microseconds.
    static constexpr std::chrono::microseconds kRoundSpin{50};
    // How long the caller polls for the workers to finish.
    static constexpr std::chrono::microseconds kFinishSpin{20};

private:
    void Loop(int index);

    std::vector<std::thread> threads_;
    std::function<void(int)> job_;
    Signal round_;
    Signal pending_;
    std::atomic<bool> quit_{false};
};

}  // namespace morva
