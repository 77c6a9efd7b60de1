// A server a native test starts for itself (a Python script, mostly): spawned with the test's own
// output, so that what it complains of reaches the test's log, and stopped with SIGTERM. A server
// that has not ended five seconds later is killed: a test never waits on its peer for longer.
#pragma once
#ifndef _WIN32
#include <chrono>
#include <csignal>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>
extern char** environ;

namespace kw::test {

class TServerProcess {
public:
    TServerProcess() = default;
    TServerProcess(const TServerProcess&) = delete;
    TServerProcess& operator=(const TServerProcess&) = delete;
    ~TServerProcess() { Stop(); }

    // Starts `argv[0]` (a full path) with the arguments after it; false when it cannot start.
    bool Start(const std::vector<std::string>& argv) {
        std::vector<char*> args;
        for (const std::string& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        if (posix_spawn(&pid_, args[0], nullptr, nullptr, args.data(), environ) != 0)
            pid_ = 0;
        return pid_ != 0;
    }
    bool Started() const { return pid_ != 0; }

    void Stop() {
        if (pid_ == 0)
            return;
        kill(pid_, SIGTERM);
        if (!Reaped(std::chrono::seconds(5))) {
            kill(pid_, SIGKILL);
            Reaped(std::chrono::seconds(5));
        }
        pid_ = 0;
    }

private:
    bool Reaped(std::chrono::steady_clock::duration limit) {
        const auto end = std::chrono::steady_clock::now() + limit;
        int status = 0;
        while (waitpid(pid_, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > end)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return true;
    }

    pid_t pid_ = 0;
};

} // namespace kw::test
#endif
