#pragma once
// The window's operations made on other threads (the engine's worker), run
// on the window's thread in the order they were made. The window's shell
// only supplies a way to wake its thread; that thread then calls Drain.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace varnox {

class OperationQueue {
public:
    using Operation = std::function<void()>;

    // At most this many operations wait for the window's thread at a time; a
    // fast engine (simulated time) then waits instead of flooding the window.
    static constexpr std::size_t kMaxPending = 64;

    // Constructed on the window's thread. `wake` asks that thread to call
    // Drain soon; it is called from any thread, once per batch.
    explicit OperationQueue(std::function<void()> wake);
    OperationQueue(const OperationQueue&) = delete;
    OperationQueue& operator=(const OperationQueue&) = delete;

    bool OnWindowThread() const { return std::this_thread::get_id() == window_thread_; }

    // Runs `operation` on the window's thread: at once when called there,
    // else queued behind every operation posted before it. Waits while
    // kMaxPending operations are pending.
    void Post(Operation operation);
    // As Post, and returns only when `operation` has run (or the queue was closed).
    void PostAndWait(Operation operation);

    // Window's thread: runs the operations pending now, in order, and wakes
    // the window's thread again if more have come meanwhile. A call from
    // inside an operation (a box's own event loop) returns at once; the outer
    // call goes on with the rest once that operation has returned.
    void Drain();
    // Waits up to `timeout` for an operation to be pending; true if one is.
    bool WaitForPending(std::chrono::milliseconds timeout);
    std::size_t Pending() const;

    // The window is gone: pending operations are dropped, later ones are not
    // run, and every waiting poster returns.
    void Close();

private:
    // Queues under the lock; true when the window's thread must be woken.
    bool Enqueue(std::unique_lock<std::mutex>& lock, Operation operation, std::uint64_t& number);

    std::function<void()> wake_;
    const std::thread::id window_thread_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Operation> queue_;
    std::size_t pending_ = 0;      // queued plus the one running
    std::uint64_t posted_ = 0;     // operations ever queued
    std::uint64_t completed_ = 0;  // of those, run (in order) or dropped
    bool wake_asked_ = false;
    bool draining_ = false;
    bool closed_ = false;
};

}  // namespace varnox
