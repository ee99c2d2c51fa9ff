#pragma once
// Independent pieces of work shared out over a few threads: each thread takes the next piece
// from a counter as it finishes one, so uneven pieces even out, and the calling thread works too.
// The pieces must not depend on one another or on which thread does them.
#include <algorithm>
#include <atomic>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace orovista {

/// Calls work(i) for i in [0, count) on up to `threads` threads (the calling one among them).
/// The first exception thrown is rethrown here once every thread has stopped; after it the
/// threads take no new piece.
inline void forEachOnThreads(int count, int threads, const std::function<void(int)> &work)
{
    std::atomic<int> next {0};
    std::atomic<bool> failed {false};
    std::exception_ptr failure;
    std::mutex failureLock;
    const auto loop = [&] {
        for (int i = next++; i < count && !failed; i = next++) {
            try {
                work(i);
            } catch (...) {
                const std::lock_guard<std::mutex> lock(failureLock);
                if (!failure)
                    failure = std::current_exception();
                failed = true;
            }
        }
    };
    std::vector<std::thread> helpers;
    for (int t = 1; t < std::min(threads, count); ++t)
        helpers.emplace_back(loop);
    loop();
    for (std::thread &helper : helpers)
        helper.join();
    if (failure)
        std::rethrow_exception(failure);
}

}   // namespace orovista
