#include "account/serial_worker.hpp"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace mivo {

struct SerialWorker::Queue {
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<std::function<void()>> jobs;
    bool stopping = false;
};

SerialWorker::SerialWorker() : queue_(std::make_shared<Queue>()) {
    // The thread shares the queue, so it may outlive this object while a job
    // is stuck in a call that never returns.
    std::thread([queue = queue_] {
        while (true) {
            std::function<void()> job;
            {
                std::unique_lock lock(queue->mutex);
                queue->wake.wait(lock, [&] { return queue->stopping || !queue->jobs.empty(); });
                if (queue->stopping)
                    return;
                job = std::move(queue->jobs.front());
                queue->jobs.pop_front();
            }
            job();
        }
    }).detach();
}

SerialWorker::~SerialWorker() {
    {
        std::lock_guard lock(queue_->mutex);
        queue_->stopping = true;
        queue_->jobs.clear();
    }
    queue_->wake.notify_all();
}

void SerialWorker::run(std::function<void()> job) {
    {
        std::lock_guard lock(queue_->mutex);
        queue_->jobs.push_back(std::move(job));
    }
    queue_->wake.notify_one();
}

}  // namespace mivo
