#pragma once
// A fixed set of threads that run queued tasks in the order they were queued.
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace vb {

class WorkerPool {
public:
    // `threads` 0 means one per processor core.
    explicit WorkerPool(unsigned threads = 0);
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;
    // Runs the tasks still queued, then joins the threads.
    ~WorkerPool();

    void Submit(std::function<void()> task);
    unsigned Size() const { return static_cast<unsigned>(FThreads.size()); }

private:
    void Run();

    std::mutex FMutex;
    std::condition_variable FWake;
    std::deque<std::function<void()>> FTasks;
    bool FStopping = false;
    std::vector<std::thread> FThreads;
};

}  // namespace vb
