#include "support/run_program.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

// Both ends close on exec; the child's copies are set up by dup2.
bool Pipe(int fds[2]) {
    return ::pipe2(fds, O_CLOEXEC) == 0;
}

} // namespace

TProgramRun RunProgram(const std::vector<std::string>& argv, const std::string& input) {
    TProgramRun run;
    if (argv.empty()) return run;
    int in[2], out[2], err[2];
    if (!Pipe(in)) return run;
    if (!Pipe(out)) {
        ::close(in[0]);
        ::close(in[1]);
        return run;
    }
    if (!Pipe(err)) {
        for (int fd : {in[0], in[1], out[0], out[1]})
            ::close(fd);
        return run;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = -1;
    int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    for (int fd : {in[0], out[1], err[1]})
        ::close(fd);
    if (rc != 0) {
        for (int fd : {in[1], out[0], err[0]})
            ::close(fd);
        return run;
    }

    // Feed and drain together, so a child that writes much before reading cannot block.
    // A child that exits without reading its input must not kill us with SIGPIPE.
    struct sigaction ignore {
    }, old{};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGPIPE, &ignore, &old);
    size_t fed = 0;
    int inFd = in[1];
    if (input.empty()) {
        ::close(inFd);
        inFd = -1;
    }
    int outFd = out[0], errFd = err[0];
    char buf[65536];
    while (outFd >= 0 || errFd >= 0 || inFd >= 0) {
        pollfd fds[3] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}, {inFd, POLLOUT, 0}};
        if (::poll(fds, 3, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (!fds[i].revents) continue;
            int& fd = i == 0 ? outFd : errFd;
            ssize_t n = ::read(fd, buf, sizeof buf);
            if (n > 0) {
                (i == 0 ? run.Out : run.Err).append(buf, static_cast<size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                ::close(fd);
                fd = -1;
            }
        }
        if (fds[2].revents) {
            // At most PIPE_BUF bytes: a pipe that polled writable takes them without blocking.
            size_t chunk = std::min<size_t>(PIPE_BUF, input.size() - fed);
            ssize_t n = ::write(inFd, input.data() + fed, chunk);
            if (n > 0) fed += static_cast<size_t>(n);
            if ((n < 0 && errno != EINTR && errno != EAGAIN) || fed == input.size()) {
                ::close(inFd);
                inFd = -1;
            }
        }
    }
    for (int fd : {inFd, outFd, errFd})
        if (fd >= 0) ::close(fd);
    ::sigaction(SIGPIPE, &old, nullptr);

    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    run.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}
