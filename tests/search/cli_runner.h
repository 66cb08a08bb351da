#pragma once

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

// A copy of an executable that the user 65534 can run: the build folder may
// lie where only root can enter (a checkout in root's home). Made once per
// test program, removed at its end.
inline std::string ExecutableForNobody(const std::string& exe) {
    struct TCopies {
        std::string folder;
        ~TCopies() {
            if (!folder.empty()) std::filesystem::remove_all(folder);
        }
    };
    static TCopies copies;
    if (copies.folder.empty()) {
        std::string tmpl = (std::filesystem::temp_directory_path() / "tamblix-exe-XXXXXX").string();
        if (!::mkdtemp(tmpl.data())) return exe;
        ::chmod(tmpl.c_str(), 0755);
        copies.folder = tmpl;
    }
    std::string copy = copies.folder + "/" + std::filesystem::path(exe).filename().string();
    std::error_code ec;
    if (!std::filesystem::exists(copy, ec)) {
        std::filesystem::copy_file(exe, copy, ec);
        ::chmod(copy.c_str(), 0755);
    }
    return ec ? exe : copy;
}

// Runs the command-line tool (or another program) as a child process,
// optionally as the unprivileged user 65534 (the tests run as root in CI, and
// root may write anywhere). Output goes to the given files; returns the exit
// code, or -1.
struct TCliRun {
    std::vector<std::string> Args;
    bool AsNobody = false;
    std::string Out = "/dev/null", Err = "/dev/null"; // empty: the test's own
    std::string Settings; // a settings file of its own, so no test sees the user's
    std::string Program = TAMBLIX_CLI;
    std::vector<std::pair<std::string, std::string>> Env; // set in the child only

    pid_t Start() const {
        std::vector<std::string> argv;
        if (AsNobody) argv = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--"};
        argv.push_back(AsNobody ? ExecutableForNobody(Program) : Program);
        if (!Settings.empty()) argv.insert(argv.end(), {"--settings", Settings});
        argv.insert(argv.end(), Args.begin(), Args.end());
        pid_t pid = ::fork();
        if (pid != 0) return pid;
        for (const auto& [name, value] : Env)
            ::setenv(name.c_str(), value.c_str(), 1);
        RedirectTo(Out, 1);
        RedirectTo(Err, 2);
        std::vector<char*> cargv;
        for (auto& a : argv)
            cargv.push_back(a.data());
        cargv.push_back(nullptr);
        ::execvp(cargv[0], cargv.data());
        ::_exit(127);
    }

    int Run() const {
        pid_t pid = Start();
        if (pid < 0) return -1;
        int status = 0;
        if (::waitpid(pid, &status, 0) != pid) return -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    static void RedirectTo(const std::string& file, int fd) {
        if (file.empty()) return;
        int to = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        if (to >= 0) ::dup2(to, fd);
    }
};
