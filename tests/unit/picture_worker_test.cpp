#include "engine/cycle/picture_worker.h"

#include <gtest/gtest.h>

#if defined(__linux__)
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <thread>

namespace nivora {
namespace {

int OwnNice() { return getpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid))); }

// The window's thread keeps its priority; the worker, and the row threads a
// generator starts from it, yield to it, a step below the caller's nice
// value whatever that is (a daemon runs its savers niced). Callers at nice 0
// and 10 (which the worker's step takes past the lowest, 19), and at the
// test's own; one that a caller cannot take (nice 0 needs privilege once the
// test runs niced) is left out.
TEST(PictureWorker, RunsItsJobsAndTheirThreadsBelowTheCallersPriority) {
    for (const int callerNice : {0, 10, OwnNice()}) {
        std::thread caller([&] {
            if (setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), callerNice) != 0) return;
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
            EXPECT_EQ(jobNice, expected) << "caller at nice " << callerNice;
            EXPECT_EQ(rowThreadNice, expected) << "caller at nice " << callerNice;
        });
        caller.join();
    }
}

}  // namespace
}  // namespace nivora
#endif
