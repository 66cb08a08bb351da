#pragma once

// Runs the current test again in a child process as an unprivileged user, so
// that tests about permissions also run (and count) when the suite runs as
// root. Use at the start of a test:
//     if (RerunUnprivileged()) return;
// As root it runs this test's filter under `setpriv` as uid/gid 65534, checks
// that the child passed, and returns true; in the child (or for any other
// user) it returns false and the test goes on.
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
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
    // The build folder may lie where that user cannot reach: run a copy.
    std::string folder = (std::filesystem::temp_directory_path() / "tamblix-rerun-XXXXXX").string();
    if (!::mkdtemp(folder.data())) {
        ADD_FAILURE() << "cannot make a folder for the unprivileged run";
        return true;
    }
    std::string copy = folder + "/test";
    std::error_code ec;
    std::filesystem::copy_file(self, copy, ec);
    ::chmod(folder.c_str(), 0755);
    ::chmod(copy.c_str(), 0755);
    pid_t pid = ec ? -1 : ::fork();
    if (pid == 0) {
        ::execlp("setpriv", "setpriv", "--reuid=65534", "--regid=65534", "--clear-groups",
                 copy.c_str(), filter.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = -1;
    if (pid > 0) ::waitpid(pid, &status, 0);
    std::filesystem::remove_all(folder, ec);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "the unprivileged run of " << filter << " failed (status " << status << ")";
    return true;
}
