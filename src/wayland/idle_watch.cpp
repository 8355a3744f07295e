#include "wayland/idle_watch.h"

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <string>
#include <vector>

#include "wayland/idle_source.h"

extern char** environ;

namespace nivora::wayland {

namespace {

// The saver: this program again, with the arguments meant for it. By its
// path, so that it is named as itself in the process list (not "exe"), and
// an upgrade's new program is the one started.
pid_t StartSaver(const std::vector<std::string>& args) {
    static const std::string program = [] {
        char path[4096];
        const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
        return length > 0 ? std::string(path, static_cast<std::size_t>(length)) : std::string("/proc/self/exe");
    }();
    std::vector<char*> argv;
    static char name[] = "nivoraglade";
    argv.push_back(name);
    for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    // The watch ignores SIGPIPE; the saver starts with every signal as usual.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t all;
    sigfillset(&all);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
    pid_t pid = 0;
    const int error = posix_spawn(&pid, program.c_str(), nullptr, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    if (error != 0) {
        std::fprintf(stderr, "nivoraglade: cannot start the saver: %s\n", std::strerror(error));
        return 0;
    }
    return pid;
}

// A descriptor that becomes readable when the process ends (-1 where the
// kernel has none: then it is looked for every 200 ms).
int ExitFd(pid_t pid) { return static_cast<int>(syscall(SYS_pidfd_open, pid, 0)); }

// The saver ended (reaped) or still runs.
bool Ended(pid_t pid) {
    int status = 0;
    return waitpid(pid, &status, WNOHANG) == pid;
}

void EndSaver(pid_t pid) {
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
}

}  // namespace

void RunIdleWatch(const x11::SaverOptions& options, int wakeFd) {
    // A lost bus or compositor is an error the sources report, not a
    // SIGPIPE that ends the watch without a word.
    signal(SIGPIPE, SIG_IGN);
    std::string why, mutterWhy;
    std::unique_ptr<IdleSource> source = WaylandIdle(options.idleMs, why);
    if (!source) source = MutterIdle(options.idleMs, mutterWhy);
    if (!source) {
        std::fprintf(stderr, "nivoraglade: --idle cannot learn when the session is idle: %s; %s\n", why.c_str(),
                     mutterWhy.c_str());
        std::fflush(nullptr);
        _exit(2);
    }
    std::fprintf(stderr, "nivoraglade: starts after %g minutes idle (%s)\n", options.idleMs / 60000.0,
                 source->Name());

    pid_t saver = 0;
    int saverFd = -1;
    int status = 0;
    for (;;) {
        pollfd fds[3] = {{source->Fd(), source->Events(), 0}, {wakeFd, POLLIN, 0}, {saverFd, POLLIN, 0}};
        int timeout = source->TimeoutMs();
        if (saver && saverFd < 0 && (timeout < 0 || timeout > 200)) timeout = 200;
        if (poll(fds, 3, timeout) < 0 && errno != EINTR) {
            status = 1;
            break;
        }
        if (fds[1].revents & POLLIN) break;  // SIGTERM or SIGINT
        if (!source->Process()) {
            std::fprintf(stderr, "nivoraglade: lost %s\n", source->Name());
            status = 1;
            break;
        }
        if (saver && Ended(saver)) {
            saver = 0;
            if (saverFd >= 0) close(saverFd);
            saverFd = -1;
        }
        // An idle period that begins while the saver still runs (a small
        // move of the pointer does not end it) needs no second saver.
        if (source->TakeIdle() && !saver) {
            saver = StartSaver(options.saverArgs);
            if (saver) saverFd = ExitFd(saver);
        }
    }
    if (saver) EndSaver(saver);
    std::fflush(nullptr);
    _exit(status);
}

}  // namespace nivora::wayland
