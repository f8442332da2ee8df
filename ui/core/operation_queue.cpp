#include "ui/core/operation_queue.h"

#include <utility>

namespace varnox {

OperationQueue::OperationQueue(std::function<void()> wake)
    : wake_(std::move(wake)), window_thread_(std::this_thread::get_id())
{
}

bool OperationQueue::Enqueue(std::unique_lock<std::mutex>& lock, Operation operation, std::uint64_t& number)
{
    changed_.wait(lock, [this] { return pending_ < kMaxPending || closed_; });
    if (closed_)
        return false;
    queue_.push_back(std::move(operation));
    ++pending_;
    number = ++posted_;
    changed_.notify_all();
    // One wake per batch: Drain takes everything queued until it is done.
    const bool wake = !wake_asked_;
    wake_asked_ = true;
    return wake;
}

void OperationQueue::Post(Operation operation)
{
    if (OnWindowThread()) {
        operation();
        return;
    }
    std::uint64_t number = 0;
    std::unique_lock<std::mutex> lock(mutex_);
    const bool wake = Enqueue(lock, std::move(operation), number);
    lock.unlock();
    if (wake)
        wake_();
}

void OperationQueue::PostAndWait(Operation operation)
{
    if (OnWindowThread()) {
        operation();
        return;
    }
    std::uint64_t number = 0;
    std::unique_lock<std::mutex> lock(mutex_);
    const bool wake = Enqueue(lock, std::move(operation), number);
    if (number == 0)
        return;  // closed: nobody is left to run it
    lock.unlock();
    if (wake)
        wake_();
    lock.lock();
    changed_.wait(lock, [this, number] { return completed_ >= number || closed_; });
}

void OperationQueue::Drain()
{
    std::unique_lock<std::mutex> lock(mutex_);
    if (draining_)
        return;
    draining_ = true;
    wake_asked_ = false;
    // Only what is queued now: a fast engine refills the queue as it drains,
    // and the window's own events must get their turn in between.
    for (std::size_t batch = queue_.size(); batch > 0 && !queue_.empty() && !closed_; --batch) {
        Operation operation = std::move(queue_.front());
        queue_.pop_front();
        lock.unlock();
        operation();
        operation = nullptr;  // what it holds goes before its poster is told
        lock.lock();
        --pending_;
        ++completed_;
        changed_.notify_all();
    }
    draining_ = false;
    // A wake that came while an operation ran (and met a nested call) is
    // spent: ask again for what is left, or let the next post ask.
    const bool more = !queue_.empty() && !closed_;
    wake_asked_ = more;
    lock.unlock();
    if (more)
        wake_();
}

bool OperationQueue::WaitForPending(std::chrono::milliseconds timeout)
{
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, timeout, [this] { return !queue_.empty() || closed_; }) && !queue_.empty();
}

std::size_t OperationQueue::Pending() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return pending_;
}

void OperationQueue::Close()
{
    std::deque<Operation> dropped;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closed_ = true;
        dropped.swap(queue_);
        completed_ += dropped.size();
        pending_ -= dropped.size();  // one may still be running
        changed_.notify_all();
    }
}

}  // namespace varnox
