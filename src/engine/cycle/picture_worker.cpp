#include "engine/cycle/picture_worker.h"

#include <algorithm>
#include <chrono>

#include "engine/pictures/parallel_rows.h"

#if defined(__linux__)
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#endif

namespace nivora {

PictureWorker::~PictureWorker() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        quitting_ = true;
        for (auto& job : queue_) job->stop = true;
        if (running_) running_->stop = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
    for (auto& job : queue_) job->done = true;
}

std::shared_ptr<PictureWorker::Job> PictureWorker::Submit(std::function<void()> run) {
    auto job = std::make_shared<Job>();
    job->run = std::move(run);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back(job);
        if (!thread_.joinable()) {
            try {
                thread_ = StartThread([this] { Loop(); });
            } catch (...) {
                queue_.pop_back();
                throw;
            }
        }
    }
    wake_.notify_one();
    return job;
}

void PictureWorker::Drop(Job& job) {
    job.stop = true;
    std::lock_guard<std::mutex> lock(mutex_);
    const auto queued = std::find_if(queue_.begin(), queue_.end(), [&job](const auto& j) { return j.get() == &job; });
    if (queued == queue_.end()) return;
    queue_.erase(queued);
    job.done.store(true, std::memory_order_release);
}

void PictureWorker::Wait(const Job& job) {
    // Jobs stop within a row's time once asked to; a short sleep keeps the
    // waiting thread from spinning.
    while (!job.done.load(std::memory_order_acquire)) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void PictureWorker::Loop() {
    LeaveCoresFromThisThread(1);
#if defined(__linux__)
    // The window's thread must never queue for a processor behind a
    // generator: a reveal tick that waits is a visible stall, while the next
    // picture has the whole reveal and hold to be ready. A thread's nice value
    // is its own on Linux, and the generators' row threads inherit it. The
    // step is taken from the thread that made the worker, which a daemon may
    // have niced already; 19 is the lowest priority there is.
    const auto self = static_cast<id_t>(syscall(SYS_gettid));
    errno = 0;
    const int inherited = getpriority(PRIO_PROCESS, self);
    setpriority(PRIO_PROCESS, self, std::min((errno ? 0 : inherited) + kWorkerNice, 19));
#endif
    for (;;) {
        std::shared_ptr<Job> job;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [this] { return quitting_ || !queue_.empty(); });
            if (quitting_) return;
            job = std::move(queue_.front());
            queue_.pop_front();
            running_ = job;
        }
        if (!job->stop.load()) {
            // A thread the system starts may run at 53-bit precision.
            EnsureExtendedPrecision();
            const CancellationScope scope(job->stop);
            try {
                job->run();
            } catch (...) {
                job->error = std::current_exception();
            }
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            running_.reset();
        }
        job->done.store(true, std::memory_order_release);
    }
}

}  // namespace nivora
