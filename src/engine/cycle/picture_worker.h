// One background thread that generates pictures, so that a window's thread
// never waits for a generator. Jobs run one at a time in the order given; the
// generators inside a job spread their rows over every core but one, which
// stays free for the window's thread (thread priorities would be the other
// way, but Wine leaves every thread at the same nice level).
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace nivora {

class PictureWorker {
public:
    // On Linux the worker and the row threads it starts run this much nicer
    // than the thread that made the worker.
    static constexpr int kWorkerNice = 10;

    struct Job {
        std::function<void()> run;
        std::atomic<bool> stop{false};  // set to drop the job; generators stop between rows
        std::atomic<bool> done{false};  // the job ran, was dropped, or failed
        std::exception_ptr error;       // what it threw; read only once done
    };

    PictureWorker() = default;
    ~PictureWorker();  // drops what is queued, stops the running job and waits for it
    PictureWorker(const PictureWorker&) = delete;
    PictureWorker& operator=(const PictureWorker&) = delete;

    // Queues `run`; the thread starts with the first job. Each job runs at
    // full x87 precision. When the thread cannot be started, nothing is
    // queued and the std::system_error comes out of here.
    std::shared_ptr<Job> Submit(std::function<void()> run);

    // `job` is not wanted any more: one still queued is taken out and is done
    // at once, without waiting for the jobs ahead of it; the running one is
    // told to stop, and is done within a row's time. Does not wait.
    void Drop(Job& job);

    // Waits until `job` is done (a dropped job is done at once once reached).
    static void Wait(const Job& job);

private:
    void Loop();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::shared_ptr<Job>> queue_;
    std::shared_ptr<Job> running_;
    bool quitting_ = false;
    std::thread thread_;
};

}  // namespace nivora
