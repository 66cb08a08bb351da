#pragma once

// Runs the current test again in a child process as an unprivileged user, so
// that tests about permissions also run (and count) when the suite runs as
// root. Use at the start of a test:
//     if (RerunUnprivileged()) return;
// As root it runs this test's filter under `setpriv` as uid/gid 65534, checks
// that the child passed, and returns true; in the child (or for any other
// user) it returns false and the test goes on.
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

inline bool RerunUnprivileged() {
    if (::geteuid() != 0) return false;
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string filter =
        std::string("--gtest_filter=") + info->test_suite_name() + "." + info->name();
    char self[4096];
    ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) {
        ADD_FAILURE() << "cannot find the test program";
        return true;
    }
    self[n] = 0;
    pid_t pid = ::fork();
    if (pid == 0) {
        ::execlp("setpriv", "setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", self,
                 filter.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "the unprivileged run of " << filter << " failed (status " << status << ")";
    return true;
}
