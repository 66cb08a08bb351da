#pragma once

#include <string>
#include <vector>

// What a finished child process left: exit code (-1 when it did not exit
// normally or could not start), standard output and standard error.
struct TProgramRun {
    int ExitCode = -1;
    std::string Out;
    std::string Err;
};

// Runs argv[0] (looked up on PATH when it has no '/') with `input` on its
// standard input, and waits for it. No shell: arguments go through as they are.
//   TProgramRun r = RunProgram({TAMBLIX_CLI, "info", catalog});
TProgramRun RunProgram(const std::vector<std::string>& argv, const std::string& input = {});
