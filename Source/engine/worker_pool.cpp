#include "engine/worker_pool.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace morva {

namespace {

void Pause() {
#if defined(__x86_64__) || defined(__i386__)
    _mm_pause();
#elif defined(__aarch64__)
    asm volatile("yield");
#endif
}

}  // namespace

// The value is stored and the sleepers read in one total order with the
// waiter's announcement and its last look at the value, so either the waiter
// sees the new value or the advancing side sees the waiter and wakes it.
void Signal::Store(std::uint32_t value) {
    value_.store(value, std::memory_order_seq_cst);
    WakeSleepers();
}

std::uint32_t Signal::Add(std::uint32_t delta) {
    const std::uint32_t before = value_.fetch_add(delta, std::memory_order_seq_cst);
    WakeSleepers();
    return before;
}

void Signal::WakeSleepers() {
    if (sleepers_.load(std::memory_order_seq_cst) != 0) value_.notify_all();
}

std::uint32_t Signal::AwaitChange(std::uint32_t old, std::chrono::microseconds spin) const {
    const auto deadline = std::chrono::steady_clock::now() + spin;
    for (int i = 1;; ++i) {
        const std::uint32_t now = value_.load(std::memory_order_acquire);
        if (now != old) return now;
        // The clock is read every 64 polls: cheap, and well within the
        // budget on any core.
        if (i % 64 == 0 && std::chrono::steady_clock::now() >= deadline) break;
        Pause();
    }
    sleepers_.fetch_add(1, std::memory_order_seq_cst);
    std::uint32_t now = value_.load(std::memory_order_seq_cst);
    while (now == old) {
        value_.wait(old, std::memory_order_acquire);
        now = value_.load(std::memory_order_acquire);
    }
    sleepers_.fetch_sub(1, std::memory_order_release);
    return now;
}

WorkerPool::WorkerPool(int workers) {
    for (int i = 0; i < workers; ++i) threads_.emplace_back([this, i] { Loop(i); });
}

WorkerPool::~WorkerPool() {
    quit_.store(true, std::memory_order_relaxed);
    round_.Add(1);
    for (auto& thread : threads_) thread.join();
}

void WorkerPool::Start(std::function<void(int)> job) {
    // The workers are between rounds: none reads the job or the count until
    // it sees the new round, which publishes both.
    job_ = std::move(job);
    pending_.Store(static_cast<std::uint32_t>(threads_.size()));
    round_.Add(1);
}

void WorkerPool::Wait() {
    std::uint32_t pending = pending_.Load();
    while (pending != 0) pending = pending_.AwaitChange(pending, kFinishSpin);
}

void WorkerPool::Loop(int index) {
    std::uint32_t seen = 0;
    for (;;) {
        seen = round_.AwaitChange(seen, kRoundSpin);
        if (quit_.load(std::memory_order_relaxed)) return;
        job_(index);
        // Hands this round's results to the caller's Wait.
        pending_.Add(~std::uint32_t{0});
    }
}

}  // namespace morva
