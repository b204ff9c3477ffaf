#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <ostream>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "support/loopback.h"
#include "support/paths.h"
#include "support/process.h"

using testsupport::Io;
using testsupport::LoopbackServer;
using testsupport::Subprocess;

namespace {

const char* const USAGE =
    "\nusage: travonelquist-base [options]\n"
    "\noptions:\n"
    " --help      prints this message.\n"
    " --host=IP   IP of the server.\n"
    " --team=NAME NAME of the team.\n"
    " --type=K    robot type K, 0 to 4: rsg/agent/nao/nao_hetero.rsg K instead of nao.rsg.\n"
    "\n";

const char* const SCENE = "(scene rsg/agent/nao/nao.rsg)";
const char* const PERCEPTION = "(time (now 1.00))(GS (t 0.00) (pm BeforeKickOff))";

bool contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

TEST(MainTest, UsageEndsTheProcess)
{
    const std::vector<std::vector<std::string>> cases = {
        {"--help"},
        {"--host="},
        {"--host"},
        {"--team="},
        {"--team"},
        {"--team=Blue", "--help"},
        {"--help", "--host=127.0.0.49"},
        {"--team=Blue", "--host", "--help"},
    };
    for (const auto& args : cases) {
        std::string shown;
        for (const auto& s : args) shown += s + " ";
        const testsupport::ProcessResult r = testsupport::run_process(testsupport::agent_binary(), args);
        ASSERT_TRUE(r.ended) << shown;
        EXPECT_TRUE(r.exited) << shown;
        EXPECT_EQ(0, r.exit_code) << shown;
        EXPECT_EQ(USAGE, r.out) << shown;
        EXPECT_EQ("", r.err) << shown;
    }
}

TEST(MainTest, UsageMeansNoConnection)
{
    LoopbackServer server("127.0.0.29");
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--host=127.0.0.29", "--help"},
          std::vector<std::string>{"--host=127.0.0.29", "--team="}}) {
        const testsupport::ProcessResult r = testsupport::run_process(testsupport::agent_binary(), args);
        EXPECT_EQ(0, r.exit_code);
        EXPECT_EQ(USAGE, r.out);
    }
    EXPECT_FALSE(server.accept_client(100));
}

struct OptionCase {
    const char* addr;  // where the test listens
    std::vector<std::string> args;
    const char* team;
};

void PrintTo(const OptionCase& c, std::ostream* os)
{
    for (const auto& a : c.args) *os << a << ' ';
}

class OptionsTest : public ::testing::TestWithParam<OptionCase> {};

// The options reach the wire: the agent connects to the host on port 3100,
// creates its robot, and joins the team in its first reply.
TEST_P(OptionsTest, ConnectsAndJoinsTheTeam)
{
    const OptionCase& c = GetParam();
    LoopbackServer server(c.addr);
    Subprocess agent(testsupport::agent_binary(), c.args);
    ASSERT_TRUE(server.accept_client(10000)) << agent.err();

    std::string got;
    ASSERT_EQ(Io::ok, server.recv_frame(got));
    EXPECT_EQ(SCENE, got);
    ASSERT_EQ(Io::ok, server.send_frame(PERCEPTION));
    ASSERT_EQ(Io::ok, server.recv_frame(got));
    const std::string init = std::string("(init (unum 0)(teamname ") + c.team + "))";
    EXPECT_EQ(init, got.substr(0, init.size()));

    server.close_client();
    ASSERT_TRUE(agent.wait(10000));
    EXPECT_TRUE(agent.exited());
    EXPECT_EQ(0, agent.exit_code());
    EXPECT_TRUE(contains(agent.out(), std::string("closed connection to ") + c.addr + ":3100\n"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OptionsTest,
    ::testing::Values(
        OptionCase{"127.0.0.30", {"--host=127.0.0.30"}, "MERLO-Skyline"},
        OptionCase{"127.0.0.31", {"--host=127.0.0.31", "--team=Blue"}, "Blue"},
        OptionCase{"127.0.0.32", {"--team=A", "--host=127.0.0.32", "--team=B"}, "B"},
        OptionCase{"127.0.0.33", {"--hostX127.0.0.33"}, "MERLO-Skyline"},
        OptionCase{"127.0.0.34", {"--helpme", "--port=4000", "-h", "--host=127.0.0.34"}, "MERLO-Skyline"},
        OptionCase{"127.0.0.35", {"--host=127.0.0.49", "--host=127.0.0.35"}, "MERLO-Skyline"},
        OptionCase{"127.0.0.36", {"--team?Red", "--host=127.0.0.36"}, "Red"}));

TEST(MainTest, NothingListening)
{
    const testsupport::ProcessResult r =
        testsupport::run_process(testsupport::agent_binary(), {"--host=127.0.0.37"});
    ASSERT_TRUE(r.ended);
    EXPECT_TRUE(r.exited);
    EXPECT_EQ(0, r.exit_code);
    const std::string head = "connection failed with: '";
    EXPECT_EQ(head, r.err.substr(0, head.size())) << r.err;
    EXPECT_EQ("'\n", r.err.substr(r.err.size() - 2)) << r.err;
    EXPECT_FALSE(contains(r.out, "closed connection to"));
}

TEST(MainTest, ServerClosingEndsTheRun)
{
    LoopbackServer server("127.0.0.38");
    Subprocess agent(testsupport::agent_binary(), {"--host=127.0.0.38"});
    ASSERT_TRUE(server.accept_client(10000));
    std::string got;
    ASSERT_EQ(Io::ok, server.recv_frame(got));
    server.close_client();
    ASSERT_TRUE(agent.wait(10000));
    EXPECT_TRUE(agent.exited());
    EXPECT_EQ(0, agent.exit_code());
    const std::string out = agent.out();
    const std::string line = "closed connection to 127.0.0.38:3100\n";
    ASSERT_GE(out.size(), line.size());
    EXPECT_EQ(line, out.substr(out.size() - line.size()));
    EXPECT_EQ("", agent.err());
}

// Waits until the process sleeps in its wait for data. The loop tests its
// flag before every receive, so an interrupt that lands before the wait ends
// the run at once; one that lands during the wait takes effect after the next
// reply.
void wait_until_blocked_in_select(pid_t pid)
{
    const std::string wchan_path = "/proc/" + std::to_string(pid) + "/wchan";
    for (int i = 0; i < 500; ++i) {
        std::ifstream in(wchan_path);
        std::string where;
        std::getline(in, where);
        if (contains(where, "poll") || contains(where, "select")) return;
        if (!in || where.empty() || where == "0") break;  // not available here
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
}

TEST(MainTest, InterruptEndsTheRunAfterTheNextReply)
{
    LoopbackServer server("127.0.0.39");
    Subprocess agent(testsupport::agent_binary(), {"--host=127.0.0.39", "--team=Int"});
    ASSERT_TRUE(server.accept_client(10000));
    std::string got;
    ASSERT_EQ(Io::ok, server.recv_frame(got));  // the loop is running
    wait_until_blocked_in_select(agent.pid());
    ASSERT_TRUE(agent.signal(SIGINT));

    // the interrupt does not end the wait for the next message
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    ASSERT_TRUE(agent.running()) << agent.out() << agent.err();
    EXPECT_FALSE(contains(agent.out(), "closed connection"));

    ASSERT_EQ(Io::ok, server.send_frame(PERCEPTION));
    ASSERT_EQ(Io::ok, server.recv_frame(got));
    EXPECT_EQ(0u, got.find("(init (unum 0)(teamname Int))"));
    // then the agent closes without reading more
    EXPECT_EQ(Io::ok, server.wait_closed(10000));
    ASSERT_TRUE(agent.wait(10000));
    EXPECT_TRUE(agent.exited());
    EXPECT_EQ(0, agent.exit_code());
    EXPECT_TRUE(contains(agent.out(), "closed connection to 127.0.0.39:3100\n"));
}

TEST(MainTest, OverLongMessageAborts)
{
    LoopbackServer server("127.0.0.40");
    Subprocess agent(testsupport::agent_binary(), {"--host=127.0.0.40"});
    ASSERT_TRUE(server.accept_client(10000));
    std::string got;
    ASSERT_EQ(Io::ok, server.recv_frame(got));
    ASSERT_EQ(Io::ok, server.send_raw(testsupport::prefix(16381) + "(time"));
    ASSERT_TRUE(agent.wait(10000));
    EXPECT_TRUE(agent.signaled());
    EXPECT_EQ(SIGABRT, agent.term_signal());
    EXPECT_TRUE(contains(agent.err(), "too long message; aborting\n")) << agent.err();
    EXPECT_FALSE(contains(agent.out(), "closed connection"));
}

// True once a connection attempt to addr:3100 is waiting for its answer.
bool syn_sent_to(const std::string& addr)
{
    in_addr in;
    ::inet_pton(AF_INET, addr.c_str(), &in);
    char want[32];
    std::snprintf(want, sizeof want, "%08X:0C1C 02", static_cast<unsigned>(in.s_addr));
    std::ifstream tcp("/proc/net/tcp");
    std::string line;
    while (std::getline(tcp, line)) {
        if (contains(line, want)) return true;
    }
    return false;
}

TEST(MainTest, InterruptWhileConnectingEndsTheProcess)
{
    // A listener whose queue is full drops new connection attempts, so the
    // agent hangs in connect: it exists only as a process, with no agent yet.
    int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    int one = 1;
    ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(3100);
    ::inet_pton(AF_INET, "127.0.0.41", &sa.sin_addr);
    ASSERT_EQ(0, ::bind(listener, reinterpret_cast<sockaddr*>(&sa), sizeof sa));
    ASSERT_EQ(0, ::listen(listener, 0));
    const int filler = testsupport::connect_to("127.0.0.41");
    ASSERT_GE(filler, 0);

    Subprocess agent(testsupport::agent_binary(), {"--host=127.0.0.41"});
    bool connecting = false;
    for (int i = 0; i < 500 && !connecting; ++i) {
        connecting = syn_sent_to("127.0.0.41");
        if (!connecting) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::close(filler);
    if (!connecting) {
        ::close(listener);
        GTEST_SKIP() << "could not hold the agent in connect";
    }
    ASSERT_TRUE(agent.signal(SIGINT));
    const bool ended = agent.wait(10000);
    ::close(listener);
    ASSERT_TRUE(ended);
    EXPECT_TRUE(agent.signaled());
    EXPECT_EQ(SIGINT, agent.term_signal());
    EXPECT_FALSE(contains(agent.out(), "closed connection"));
}

}  // namespace
