#pragma once

#include "sim/SimEcuSystem.h"
#include "sim/TcpBridge.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

// The turbexctl binary, from the test's environment.
inline std::string CtlPath() {
    const char* path = std::getenv("TURBEXCTL");
    return path != nullptr ? path : "";
}

struct CtlResult {
    int exitCode = -1; // -1: did not exit on its own
    std::string out;
    std::string err;
    int64_t elapsedMs = 0;
};

// Runs turbexctl with args and collects its output. A run that outlives
// limitMs is killed (it has hung) and reported with exit code -1.
inline CtlResult
RunCtl(const std::vector<std::string>& args, int limitMs = 60000, int signalAfterMs = -1) {
    CtlResult r;
    int outPipe[2];
    int errPipe[2];
    if (pipe(outPipe) != 0 || pipe(errPipe) != 0) {
        ADD_FAILURE() << "pipe: " << std::strerror(errno);
        return r;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], STDERR_FILENO);
    posix_spawn_file_actions_addclose(&actions, outPipe[0]);
    posix_spawn_file_actions_addclose(&actions, errPipe[0]);
    const std::string path = CtlPath();
    std::vector<std::string> all = {path};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    const auto start = std::chrono::steady_clock::now();
    const int spawned = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(outPipe[1]);
    close(errPipe[1]);
    if (spawned != 0) {
        ADD_FAILURE() << "cannot run " << path << ": " << std::strerror(spawned);
        close(outPipe[0]);
        close(errPipe[0]);
        return r;
    }
    auto elapsed = [&] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now() - start)
            .count();
    };
    bool killed = false;
    bool signalled = false;
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    int open = 2;
    while (open > 0) {
        const int n = poll(fds, 2, 50);
        if (n < 0 && errno != EINTR) {
            break;
        }
        for (pollfd& f : fds) {
            if (f.fd < 0 || (f.revents & (POLLIN | POLLHUP | POLLERR)) == 0) {
                continue;
            }
            char buf[4096];
            const ssize_t got = read(f.fd, buf, sizeof buf);
            if (got <= 0) {
                close(f.fd);
                f.fd = -1;
                --open;
            } else {
                (f.fd == fds[0].fd ? r.out : r.err).append(buf, static_cast<size_t>(got));
            }
        }
        if (signalAfterMs >= 0 && !signalled && elapsed() >= signalAfterMs) {
            signalled = true;
            kill(pid, SIGINT); // the child we started, by its id
        }
        if (!killed && elapsed() > limitMs) {
            killed = true;
            kill(pid, SIGKILL);
        }
    }
    for (pollfd& f : fds) {
        if (f.fd >= 0) {
            close(f.fd);
        }
    }
    int status = 0;
    waitpid(pid, &status, 0);
    r.elapsedMs = elapsed();
    if (!killed && WIFEXITED(status)) {
        r.exitCode = WEXITSTATUS(status);
    }
    return r;
}

// A simulated ECU behind a bridge on a free port of 127.0.0.1, in this
// process, so that a test can look at what reached it. Nothing moves the
// engine unless the test steps it, so the live state stays as it is.
class SimEcuHarness {
public:
    explicit SimEcuHarness(const sim::SimEcuConfig& config = {},
                           uint8_t logFormat = 2,
                           uint8_t logRate = 1)
        : system(config, logFormat, logRate)
        , bridge(system.bus, 0) {}

    [[nodiscard]] bool Start() {
        if (!bridge.Start()) {
            ADD_FAILURE() << "bridge: " << bridge.GetLastError();
            return false;
        }
        return true;
    }

    // "--port N" plus a generous time-out for a loaded machine.
    [[nodiscard]] std::vector<std::string> Args(std::vector<std::string> args) const {
        args.insert(args.end(), {"--port", std::to_string(bridge.GetPort()), "--timeout", "10"});
        return args;
    }

    template <typename Fn>
    void Locked(Fn&& fn) {
        system.bus.WithLock(fn);
    }

    sim::SimEcuSystem system;
    sim::TcpBridge bridge;
};

// A loopback port nothing listens on: bound once, noted, let go.
inline uint16_t DeadLoopbackPort() {
    sim::Bus bus;
    sim::TcpBridge probe(bus, 0);
    if (!probe.Start()) {
        ADD_FAILURE() << "bridge: " << probe.GetLastError();
        return 0;
    }
    const uint16_t port = probe.GetPort();
    probe.Stop();
    return port;
}

inline sim::SimEcuConfig ItemConfig() {
    return {};
}

inline sim::SimEcuConfig BlockConfig(uint8_t format = 3, bool doubleRange = false) {
    sim::SimEcuConfig c;
    c.format.generation = sim::EcuGeneration::Block;
    c.format.blockFormat = format;
    c.format.doubleRange = doubleRange;
    return c;
}
