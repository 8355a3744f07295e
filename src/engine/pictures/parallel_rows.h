// Splits a generator's rows over worker threads. Rows are independent, so the
// result is the same, bit for bit, whatever the number of threads.
#pragma once

#include <atomic>
#include <functional>
#include <thread>

namespace nivora {

// Calls row(r) once for every r in [0, count), spread over the generator
// threads. Returns when every row is done. The calling thread works too, and
// is left at full extended precision.
void ForEachRow(int count, const std::function<void(int)>& row);

// While a scope lives, ForEachRow calls made on its thread stop handing out
// rows once `stop` is set, so that a picture nobody wants any more stops being
// generated within a row's time. What was left half done is for the caller to
// throw away.
class CancellationScope {
public:
    explicit CancellationScope(const std::atomic<bool>& stop);
    ~CancellationScope();
    CancellationScope(const CancellationScope&) = delete;
    CancellationScope& operator=(const CancellationScope&) = delete;

private:
    const std::atomic<bool>* previous_;
};

// Whether the calling thread's current scope asks to stop.
bool StopRequested();

// Number of threads the generators use; 0 (the default) means one per core.
void SetGeneratorThreads(int threads);
int GeneratorThreads();

// ForEachRow calls made on the calling thread leave `cores` cores to the rest
// of the program when the generators use one thread per core (a number set
// with SetGeneratorThreads is kept); at least one thread still works. The
// picture worker leaves one, so that a window's thread never has to wait for a
// core while the next picture is made.
void LeaveCoresFromThisThread(int cores);

// Starts a thread running `body`. Every thread of the engine starts here. A
// thread the system cannot make comes out as a std::system_error that says
// so, for the front-ends to report as they report memory that runs out.
std::thread StartThread(std::function<void()> body);

// For tests: after the next `after` calls of StartThread, `count` calls fail
// as the system's would (EAGAIN), on whichever thread they are made.
void FailThreadStarts(int count, int after = 0);

// Sets the x87 precision control to the full 64-bit significand on the calling
// thread. A thread started by the system may run with 53 bits (Windows does
// this), which would silently change every extended-precision result.
void EnsureExtendedPrecision();

}  // namespace nivora
