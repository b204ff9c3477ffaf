// The robot type over the wire: the model the scene command creates, bad
// values refused before anything connects, and a command for exactly the
// joints the robot reports.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/loopback.h"
#include "support/paths.h"
#include "support/process.h"

using testsupport::Io;
using testsupport::LoopbackServer;
using testsupport::Subprocess;

namespace {

const char* const kJoints[] = {"hj1",  "hj2",  "raj1", "raj2", "raj3", "raj4", "laj1", "laj2",
                               "laj3", "laj4", "rlj1", "rlj2", "rlj3", "rlj4", "rlj5", "rlj6",
                               "llj1", "llj2", "llj3", "llj4", "llj5", "llj6"};

struct TypeCase {
    const char* addr;
    std::vector<std::string> args;
    const char* scene;
};

void PrintTo(const TypeCase& c, std::ostream* os)
{
    for (const auto& a : c.args) *os << a << ' ';
}

class SceneByType : public ::testing::TestWithParam<TypeCase> {};

TEST_P(SceneByType, SceneCommandThenTheUsualInit)
{
    const TypeCase& c = GetParam();
    LoopbackServer server(c.addr);
    std::vector<std::string> args = c.args;
    args.push_back(std::string("--host=") + c.addr);
    Subprocess agent(testsupport::agent_binary(), args);
    ASSERT_TRUE(server.accept_client(10000)) << agent.err();
    std::string got;
    ASSERT_EQ(Io::ok, server.recv_frame(got));
    EXPECT_EQ(c.scene, got);
    ASSERT_EQ(Io::ok, server.send_frame("(time (now 1.00))(GS (t 0.00) (pm BeforeKickOff))"));
    ASSERT_EQ(Io::ok, server.recv_frame(got));
    EXPECT_EQ(0u, got.find("(init (unum 0)(teamname MERLO-Skyline))")) << got;
    server.close_client();
    ASSERT_TRUE(agent.wait(10000));
    EXPECT_EQ(0, agent.exit_code());
    EXPECT_EQ(std::string::npos, agent.err().find("type")) << agent.err();
}

INSTANTIATE_TEST_SUITE_P(
    Types, SceneByType,
    ::testing::Values(TypeCase{"127.0.0.60", {"--type=0"}, "(scene rsg/agent/nao/nao_hetero.rsg 0)"},
                      TypeCase{"127.0.0.61", {"--type=1"}, "(scene rsg/agent/nao/nao_hetero.rsg 1)"},
                      TypeCase{"127.0.0.62", {"--type=2"}, "(scene rsg/agent/nao/nao_hetero.rsg 2)"},
                      TypeCase{"127.0.0.63", {"--type=3"}, "(scene rsg/agent/nao/nao_hetero.rsg 3)"},
                      TypeCase{"127.0.0.64", {"--type=4"}, "(scene rsg/agent/nao/nao_hetero.rsg 4)"},
                      // The last one given counts, as for the other options.
                      TypeCase{"127.0.0.65", {"--type=4", "--team=MERLO-Skyline", "--type=1"},
                               "(scene rsg/agent/nao/nao_hetero.rsg 1)"},
                      TypeCase{"127.0.0.66", {}, "(scene rsg/agent/nao/nao.rsg)"}));

TEST(RobotType, BadValueIsOneLineStatusOneAndNoConnection)
{
    LoopbackServer server("127.0.0.67");
    for (const char* bad : {"--type", "--type=", "--type=5", "--type=9", "--type=-1", "--type=10", "--type=03",
                            "--type=3x", "--type=3 ", "--type= 3", "--type=+3", "--type=four", "--typeX3",
                            "--types=0,0,2"}) {
        const testsupport::ProcessResult r =
            testsupport::run_process(testsupport::agent_binary(), {"--host=127.0.0.67", bad});
        ASSERT_TRUE(r.ended) << bad;
        EXPECT_TRUE(r.exited) << bad;
        EXPECT_EQ(1, r.exit_code) << bad;
        EXPECT_EQ("", r.out) << bad;
        ASSERT_FALSE(r.err.empty()) << bad;
        EXPECT_EQ(r.err.size() - 1, r.err.find('\n')) << bad << ": " << r.err;
        EXPECT_NE(std::string::npos, r.err.find(std::string("'") + bad + "'")) << r.err;
    }
    EXPECT_FALSE(server.accept_client(100));
}

TEST(RobotType, OptionsAreVisitedInOrder)
{
    const testsupport::ProcessResult bad_first =
        testsupport::run_process(testsupport::agent_binary(), {"--type=7", "--help"});
    EXPECT_EQ(1, bad_first.exit_code);
    EXPECT_EQ("", bad_first.out);
    const testsupport::ProcessResult help_first =
        testsupport::run_process(testsupport::agent_binary(), {"--help", "--type=7"});
    EXPECT_EQ(0, help_first.exit_code);
    EXPECT_NE(std::string::npos, help_first.out.find("\n --type=K "));
    EXPECT_EQ("", help_first.err);
}

// ---- the joints driven -------------------------------------------------------

struct Toes {
    bool reported;
    double left, right;
};

// A classic message for number 2 on the left, every joint at a small angle,
// with the toe joints when the robot has them.
std::string perception(int k, const Toes& toes)
{
    const double t = 0.02 * k;
    const char* pm = k < 4 ? "BeforeKickOff" : "PlayOn";
    std::string m = "(time (now " + std::to_string(10.0 + t) + "))";
    m += k == 0 ? "(GS (unum 2) (team left) (t " + std::to_string(t) + ") (pm " + pm + "))"
                : "(GS (t " + std::to_string(t) + ") (pm " + pm + "))";
    int j = 0;
    for (const char* name : kJoints) m += "(HJ (n " + std::string(name) + ") (ax " + std::to_string(0.5 * (j++ % 5)) + "))";
    if (toes.reported) {
        m += "(HJ (n llj7) (ax " + std::to_string(toes.left) + "))";
        m += "(HJ (n rlj7) (ax " + std::to_string(toes.right) + "))";
    }
    return m;
}

// The replies of one agent to a short run: placement, then play.
struct AgentRun {
    std::vector<std::string> replies;
    std::string err;
};

AgentRun play(const char* addr, const std::vector<std::string>& options, const Toes& toes)
{
    AgentRun run;
    LoopbackServer server(addr);
    std::vector<std::string> args = options;
    args.push_back(std::string("--host=") + addr);
    Subprocess agent(testsupport::agent_binary(), args);
    EXPECT_TRUE(server.accept_client(10000)) << agent.err();
    std::string got;
    EXPECT_EQ(Io::ok, server.recv_frame(got));
    for (int k = 0; k < 12; ++k) {
        if (server.send_frame(perception(k, toes)) != Io::ok || server.recv_frame(got) != Io::ok) {
            ADD_FAILURE() << "cycle " << k;
            break;
        }
        run.replies.push_back(got);
    }
    server.close_client();
    EXPECT_TRUE(agent.wait(10000));
    run.err = agent.err();
    return run;
}

// Removes the command of one effector, which must be there once.
std::string without(const std::string& reply, const std::string& effector)
{
    const std::string head = "(" + effector + " ";
    const std::size_t at = reply.find(head);
    if (at == std::string::npos || reply.find(head, at + 1) != std::string::npos) {
        ADD_FAILURE() << effector << " not there once in " << reply;
        return reply;
    }
    return reply.substr(0, at) + reply.substr(reply.find(')', at) + 1);
}

TEST(RobotType, ToeJointsAreHeldFlatAndNothingElseChanges)
{
    const Toes none{false, 0.0, 0.0};
    // Outside the 0.2 degree band, and inside it (the fine gain).
    const Toes toes{true, 3.0, -0.1};
    const AgentRun standard = play("127.0.0.68", {}, none);
    const AgentRun no_toes = play("127.0.0.69", {"--type=1"}, none);
    const AgentRun with_toes = play("127.0.0.70", {"--type=4"}, toes);
    ASSERT_EQ(12u, standard.replies.size());
    ASSERT_EQ(12u, no_toes.replies.size());
    ASSERT_EQ(12u, with_toes.replies.size());
    EXPECT_EQ(std::string::npos, standard.err.find("Error!!")) << standard.err;
    EXPECT_EQ(std::string::npos, with_toes.err.find("Error!!")) << with_toes.err;

    for (std::size_t k = 0; k < 12; ++k) {
        SCOPED_TRACE("cycle " + std::to_string(k));
        const std::string& r = with_toes.replies[k];
        // Effector order: lle7 follows lle6, rle7 comes last.
        const std::size_t lle6 = r.find("(lle6 "), lle7 = r.find("(lle7 -0.15)"), rae1 = r.find("(rae1 ");
        EXPECT_LT(lle6, lle7) << r;
        EXPECT_LT(lle7, rae1) << r;
        EXPECT_EQ(r.size() - std::string("(rle7 0.0005)").size(), r.find("(rle7 0.0005)")) << r;
        // Without the toes, the same bytes as the standard robot's.
        EXPECT_EQ(standard.replies[k], without(without(r, "lle7"), "rle7"));
        // A robot that reports no toes gets no command for them.
        EXPECT_EQ(standard.replies[k], no_toes.replies[k]);
        EXPECT_EQ(std::string::npos, no_toes.replies[k].find("le7")) << no_toes.replies[k];
    }
    EXPECT_EQ(0u, standard.replies[0].find("(init (unum 0)(teamname MERLO-Skyline))(beam -0.17 -0.036 0 )"))
        << standard.replies[0];
}

}  // namespace
