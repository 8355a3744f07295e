#include "engine/picture_worker.h"

#include <gtest/gtest.h>

#if defined(__linux__)
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <thread>

namespace nivora {
namespace {

int OwnNice() { return getpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid))); }

// The window's thread keeps its priority; the worker, and the row threads a
// generator starts from it, yield to it.
TEST(PictureWorker, RunsItsJobsAndTheirThreadsBelowTheCallersPriority) {
    const int callerNice = OwnNice();
    int jobNice = -100, rowThreadNice = -100;
    PictureWorker worker;
    const auto job = worker.Submit([&] {
        jobNice = OwnNice();
        std::thread row([&] { rowThreadNice = OwnNice(); });
        row.join();
    });
    PictureWorker::Wait(*job);
    EXPECT_EQ(OwnNice(), callerNice);
    const int expected = std::min(callerNice + PictureWorker::kWorkerNice, 19);
    EXPECT_EQ(jobNice, expected);
    EXPECT_EQ(rowThreadNice, expected);
}

}  // namespace
}  // namespace nivora
#endif
