#pragma once
// Starting the threads of an erosion sweep all or none.
//
// The sweeps' threads wait for one another's progress, so a sweep must either have all its
// threads or not start: a thread that could not be started would leave the others waiting for
// ever. The workers are started first and held at a gate; only when every one of them exists is
// the gate opened. If one cannot be started (std::system_error, std::bad_alloc), the others are
// released without working and the caller runs the sweep another way.
#include <atomic>
#include <thread>
#include <vector>

namespace orovista {

/// Runs work(t) for t = 0 … threads − 1, work(0) on the calling thread, the others on threads of
/// their own, and returns true; or returns false, having run nothing, when a thread cannot be
/// started. @a prepare runs before any thread starts (it may throw std::bad_alloc as well).
template <class Prepare, class Work>
bool runGated(int threads, Prepare &&prepare, Work &&work)
{
    std::vector<std::thread> workers;
    std::atomic<int> gate{0};   // 0 = wait, 1 = go, 2 = give up
    try {
        prepare();
        workers.reserve(std::size_t(threads - 1));
        for (int t = 1; t < threads; ++t) {
            workers.emplace_back([&gate, &work, t] {
                gate.wait(0, std::memory_order_acquire);
                if (gate.load(std::memory_order_acquire) == 1)
                    work(t);
            });
        }
    } catch (...) {
        gate.store(2, std::memory_order_release);
        gate.notify_all();
        for (std::thread &worker : workers)
            worker.join();
        return false;
    }
    gate.store(1, std::memory_order_release);
    gate.notify_all();
    work(0);
    for (std::thread &worker : workers)
        worker.join();
    return true;
}

}   // namespace orovista
