#pragma once

// A small fixed pool of threads running queued tasks; results come back as
// futures, so the writer can consume them in order while later entries are
// still being compressed.

#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

namespace zipengine {

class WorkerPool {
public:
    explicit WorkerPool(unsigned threads);
    ~WorkerPool(); // finishes queued tasks, then joins
    WorkerPool(const WorkerPool &) = delete;
    WorkerPool &operator=(const WorkerPool &) = delete;

    template <class F> auto submit(F f) -> std::future<decltype(f())>
    {
        auto task = std::make_shared<std::packaged_task<decltype(f())()>>(std::move(f));
        auto result = task->get_future();
        {
            std::lock_guard lock(mutex_);
            queue_.emplace_back([task] { (*task)(); });
        }
        wake_.notify_one();
        return result;
    }
    unsigned size() const { return static_cast<unsigned>(threads_.size()); }

private:
    void run();
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> queue_;
    std::vector<std::thread> threads_;
    bool stopping_ = false;
};

} // namespace zipengine
