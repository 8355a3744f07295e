#include "engine/pictures/parallel_rows.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <exception>
#include <system_error>
#include <thread>
#include <vector>

namespace nivora {
namespace {

int requestedThreads = 0;
// Thread starts to let through, then to fail (tests only); one word, so that
// the two change together.
std::atomic<unsigned> threadStartFailures{0};
thread_local const std::atomic<bool>* currentStop = nullptr;
thread_local int coresLeft = 0;

#if (defined(__i386__) || defined(__x86_64__)) && defined(__GNUC__)
using ControlWord = unsigned short;
ControlWord ReadControlWord() {
    ControlWord cw;
    __asm__ volatile("fnstcw %0" : "=m"(cw));
    return cw;
}
void WriteControlWord(ControlWord cw) { __asm__ volatile("fldcw %0" : : "m"(cw)); }
constexpr ControlWord kPrecisionMask = 0x0300, kExtendedPrecision = 0x0300;
#else
using ControlWord = unsigned short;
ControlWord ReadControlWord() { return 0; }
void WriteControlWord(ControlWord) {}
constexpr ControlWord kPrecisionMask = 0, kExtendedPrecision = 0;
#endif

}  // namespace

void EnsureExtendedPrecision() {
    WriteControlWord(static_cast<ControlWord>((ReadControlWord() & ~kPrecisionMask) | kExtendedPrecision));
}

CancellationScope::CancellationScope(const std::atomic<bool>& stop) : previous_(currentStop) { currentStop = &stop; }
CancellationScope::~CancellationScope() { currentStop = previous_; }

bool StopRequested() { return currentStop && currentStop->load(std::memory_order_relaxed); }

void SetGeneratorThreads(int threads) { requestedThreads = std::max(threads, 0); }

int GeneratorThreads() {
    if (requestedThreads > 0) return requestedThreads;
    return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

void LeaveCoresFromThisThread(int cores) { coresLeft = std::max(cores, 0); }

void FailThreadStarts(int count, int after) {
    threadStartFailures = static_cast<unsigned>(std::clamp(after, 0, 0xFFFF)) << 16 |
                          static_cast<unsigned>(std::clamp(count, 0, 0xFFFF));
}

namespace {

// Counts a start off the test's plan; true when it is to fail.
bool ThreadStartFails() {
    unsigned plan = threadStartFailures.load(std::memory_order_relaxed);
    for (;;) {
        if (plan == 0) return false;
        const unsigned after = plan >> 16, count = plan & 0xFFFF;
        const unsigned next = after > 0 ? (after - 1) << 16 | count : count - 1;
        if (threadStartFailures.compare_exchange_weak(plan, next)) return after == 0;
    }
}

}  // namespace

std::thread StartThread(std::function<void()> body) {
    try {
        if (ThreadStartFails()) throw std::system_error(EAGAIN, std::generic_category());
        return std::thread(std::move(body));
    } catch (const std::system_error& e) {
        throw std::system_error(e.code(), "cannot start a thread");
    }
}

namespace {

int ThreadsForThisThread() {
    if (requestedThreads > 0) return requestedThreads;
    return std::max(GeneratorThreads() - coresLeft, 1);
}

}  // namespace

void ForEachRow(int count, const std::function<void(int)>& row) {
    if (count <= 0) return;
    const std::atomic<bool>* const stop = currentStop;
    auto stopped = [stop] { return stop && stop->load(std::memory_order_relaxed); };
    const int threads = std::min(ThreadsForThisThread(), count);
    if (threads == 1) {
        EnsureExtendedPrecision();
        for (int r = 0; r < count && !stopped(); ++r) row(r);
        return;
    }

    // Workers take the caller's control word (rounding, exception masks) and
    // then full precision; rows are handed out one at a time, which keeps the
    // threads busy although rows through the middle of a disc cost more.
    const ControlWord callerControl = ReadControlWord();
    std::atomic<int> next{0};
    std::exception_ptr failure;
    std::atomic<bool> failed{false};
    auto work = [&] {
        WriteControlWord(callerControl);
        EnsureExtendedPrecision();
        try {
            for (int r = next++; r < count && !failed && !stopped(); r = next++) row(r);
        } catch (...) {
            if (!failed.exchange(true)) failure = std::current_exception();
        }
    };
    std::vector<std::thread> pool;
    pool.reserve(static_cast<std::size_t>(threads - 1));
    try {
        for (int t = 1; t < threads; ++t) pool.push_back(StartThread(work));
    } catch (...) {
        // The threads already started stop at their next row; a joinable
        // thread must never be destroyed.
        failed = true;
        for (auto& thread : pool) thread.join();
        throw;
    }
    work();
    for (auto& thread : pool) thread.join();
    if (failure) std::rethrow_exception(failure);
}

}  // namespace nivora
