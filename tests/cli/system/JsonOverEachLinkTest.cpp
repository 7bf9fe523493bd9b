// "turbexctl ... --json" writes one JSON document on standard output over
// each link, whatever the links trace: the traces go to standard error with
// --verbose and nowhere without it. The socket bridge and the serial adapter
// on a pseudo-terminal are reached by the built binary; the HID dongle,
// which a process outside cannot reach, by the same command run in this
// process with the simulated dongle below its HID link.
#include "CtlHarness.h"
#include "cli/Cli.h"
#include "cli/MiniJson.h"
#include "sim/HidDongle.h"
#include "sim/HidDongleSet.h"
#include "sim/SerialAdapterPty.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>

namespace {

enum class Link { Socket, Serial };

struct Case {
    Link link;
    bool verbose;
};

std::string CaseName(const ::testing::TestParamInfo<Case>& info) {
    return std::string(info.param.link == Link::Socket ? "Socket" : "Serial") +
           (info.param.verbose ? "Verbose" : "Quiet");
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// Every line of err is a debug trace, and err has at least one.
void ExpectOnlyTraces(const std::string& err) {
    const std::vector<std::string> lines = Lines(err);
    EXPECT_FALSE(lines.empty());
    for (const std::string& line : lines) {
        EXPECT_EQ(line.rfind("debug: ", 0), 0u) << line;
    }
}

class JsonOverEachLink : public ::testing::TestWithParam<Case> {
protected:
    void SetUp() override {
        ASSERT_FALSE(CtlPath().empty()) << "TURBEXCTL is not set";
        if (GetParam().link == Link::Socket) {
            ASSERT_TRUE(h.Start());
        } else {
            std::string error;
            ASSERT_TRUE(pty.Start(&error)) << error;
        }
    }

    // The unit is reachable on the link of the case only.
    std::vector<std::string> Args(std::vector<std::string> args) {
        if (GetParam().verbose) {
            args.push_back("--verbose");
        }
        if (GetParam().link == Link::Socket) {
            return h.Args(args);
        }
        args.insert(args.end(),
                    {"--serial-port",
                     pty.PtyPath(),
                     "--port",
                     std::to_string(DeadLoopbackPort()),
                     "--timeout",
                     "10"});
        return args;
    }

    SimEcuHarness h;
    sim::SerialAdapterPty pty{h.system.bus};
};

TEST_P(JsonOverEachLink, StatusIsOneDocumentAndTracesStayOffStandardOutput) {
    const CtlResult r = RunCtl(Args({"status", "--json"}));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto doc = MiniJson::Parse(r.out);
    ASSERT_TRUE(doc.has_value()) << "not one JSON document:\n" << r.out;
    const bool serial = GetParam().link == Link::Serial;
    EXPECT_EQ(doc->at("link.type")->text, serial ? "serial" : "socket");
    EXPECT_TRUE(doc->at("online")->b);
    EXPECT_EQ(r.out.find("FriendName"), std::string::npos);
    if (!GetParam().verbose) {
        EXPECT_EQ(r.err, "");
        return;
    }
    ExpectOnlyTraces(r.err);
    if (serial) {
        EXPECT_NE(r.err.find("debug: [000] : FriendName = "), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("debug: serial link on " + pty.PtyPath()), std::string::npos) << r.err;
    } else {
        EXPECT_NE(r.err.find("debug: socket (127.0.0.1:" + std::to_string(h.bridge.GetPort()) +
                             ") link up"),
                  std::string::npos)
            << r.err;
    }
    EXPECT_NE(r.err.find("debug: unit online"), std::string::npos) << r.err;
}

TEST_P(JsonOverEachLink, WatchIsOneObjectALine) {
    const CtlResult r = RunCtl(Args({"watch", "--json", "--count", "2"}));
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::vector<std::string> lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 2u) << r.out;
    for (const std::string& line : lines) {
        const auto doc = MiniJson::Parse(line);
        ASSERT_TRUE(doc.has_value()) << line;
        EXPECT_NE(doc->at("live.engine_rpm"), nullptr);
    }
    if (GetParam().verbose) {
        ExpectOnlyTraces(r.err);
    }
}

INSTANTIATE_TEST_SUITE_P(SocketAndSerial,
                         JsonOverEachLink,
                         ::testing::Values(Case{Link::Socket, false},
                                           Case{Link::Socket, true},
                                           Case{Link::Serial, false},
                                           Case{Link::Serial, true}),
                         CaseName);

// Standard output of this process, captured into a file while alive.
class StdoutCapture {
public:
    StdoutCapture() {
        std::fflush(stdout);
        m_file = std::tmpfile();
        m_saved = dup(STDOUT_FILENO);
        if (m_file != nullptr && m_saved >= 0) {
            dup2(fileno(m_file), STDOUT_FILENO);
        }
    }
    ~StdoutCapture() { (void)Release(); }
    StdoutCapture(const StdoutCapture&) = delete;
    StdoutCapture& operator=(const StdoutCapture&) = delete;

    // Restores standard output and returns what was written to it.
    std::string Release() {
        if (m_saved < 0) {
            return m_text;
        }
        std::fflush(stdout);
        dup2(m_saved, STDOUT_FILENO);
        close(m_saved);
        m_saved = -1;
        if (m_file != nullptr) {
            std::rewind(m_file);
            char buf[4096];
            for (size_t n; (n = std::fread(buf, 1, sizeof buf, m_file)) > 0;) {
                m_text.append(buf, n);
            }
            std::fclose(m_file);
            m_file = nullptr;
        }
        return m_text;
    }

private:
    std::FILE* m_file = nullptr;
    int m_saved = -1;
    std::string m_text;
};

std::string ReadAll(std::FILE* f) {
    std::string text;
    std::rewind(f);
    char buf[4096];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) {
        text.append(buf, n);
    }
    return text;
}

TEST(JsonOverTheHidDongle, StatusIsOneDocumentAndTracesGoToTheDebugStream) {
    SimEcuHarness h; // its bridge is not started: the dongle is the only way in
    sim::HidDongle dongle(h.system.bus, "sim-hid-0");
    sim::HidDongleSet dongles;
    dongles.Add(dongle);
    std::ostringstream out;
    std::ostringstream err;
    std::FILE* debug = std::tmpfile();
    ASSERT_NE(debug, nullptr);
    cli::CliIo io{out, err, false, debug, &dongles};
    const std::vector<std::string> args = {"status",
                                           "--json",
                                           "--verbose",
                                           "--port",
                                           std::to_string(DeadLoopbackPort()),
                                           "--timeout",
                                           "10"};
    StdoutCapture capture;
    const int code = cli::RunCli(args, io);
    const std::string stdoutText = capture.Release();
    const std::string traces = ReadAll(debug);
    std::fclose(debug);

    ASSERT_EQ(code, 0) << err.str();
    const auto doc = MiniJson::Parse(out.str());
    ASSERT_TRUE(doc.has_value()) << "not one JSON document:\n" << out.str();
    EXPECT_EQ(doc->at("link.type")->text, "HID");
    EXPECT_TRUE(doc->at("online")->b);
    EXPECT_EQ(stdoutText, ""); // nothing bypassed the result stream
    EXPECT_EQ(err.str(), "");
    ExpectOnlyTraces(traces);
    EXPECT_NE(traces.find("debug: HID link up"), std::string::npos) << traces;
}

} // namespace
