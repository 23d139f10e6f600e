#include "zip/WorkerPool.h"

namespace vb {

WorkerPool::WorkerPool(unsigned threads) {
    if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
    for (unsigned i = 0; i < threads; ++i) FThreads.emplace_back([this] { Run(); });
}

WorkerPool::~WorkerPool() {
    {
        std::lock_guard lock(FMutex);
        FStopping = true;
    }
    FWake.notify_all();
    for (auto& t : FThreads) t.join();
}

void WorkerPool::Submit(std::function<void()> task) {
    {
        std::lock_guard lock(FMutex);
        FTasks.push_back(std::move(task));
    }
    FWake.notify_one();
}

void WorkerPool::Run() {
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock lock(FMutex);
            FWake.wait(lock, [this] { return FStopping || !FTasks.empty(); });
            if (FTasks.empty()) return;
            task = std::move(FTasks.front());
            FTasks.pop_front();
        }
        task();
    }
}

}  // namespace vb
