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

namespace {

// The agent on addr with these options; the scene it sends, then its replies
// to the messages.
std::vector<std::string> talk(const std::string& addr, std::vector<std::string> args,
                              const std::vector<std::string>& messages, std::string* err = nullptr)
{
    LoopbackServer server(addr);
    args.push_back("--host=" + addr);
    testsupport::Subprocess agent(testsupport::agent_binary(), args);
    std::vector<std::string> got(1);
    EXPECT_TRUE(server.accept_client(10000)) << agent.err();
    EXPECT_EQ(Io::ok, server.recv_frame(got[0]));
    for (const std::string& m : messages) {
        got.emplace_back();
        if (server.send_frame(m) != Io::ok || server.recv_frame(got.back()) != Io::ok) break;
    }
    server.close_client();
    EXPECT_TRUE(agent.wait(10000));
    EXPECT_EQ(0, agent.exit_code());
    if (err) *err = agent.err();
    return got;
}

TEST(RobotType, SceneCommandOfEachType)
{
    for (int k = 0; k <= 4; ++k) {
        const std::string type = std::to_string(k);
        const std::vector<std::string> got = talk("127.0.0.6" + type, {"--type=" + type}, {"(time (now 1.00))"});
        EXPECT_EQ("(scene rsg/agent/nao/nao_hetero.rsg " + type + ")", got[0]);
        EXPECT_EQ(0u, got.at(1).find("(init (unum 0)(teamname MERLO-Skyline))")) << got.at(1);
    }
    // The last one given counts.
    EXPECT_EQ("(scene rsg/agent/nao/nao_hetero.rsg 1)", talk("127.0.0.65", {"--type=4", "--type=1"}, {})[0]);
}

TEST(RobotType, BadValueIsOneLineStatusOneAndNoConnection)
{
    LoopbackServer server("127.0.0.67");
    for (const char* bad : {"--type", "--type=", "--type=5", "--type=-1", "--type=10", "--type=03", "--type=3x",
                            "--type= 3", "--type=+3", "--typeX3", "--types=0,0,2"}) {
        const testsupport::ProcessResult r =
            testsupport::run_process(testsupport::agent_binary(), {"--host=127.0.0.67", bad});
        EXPECT_EQ(1, r.exit_code) << bad;
        EXPECT_EQ("", r.out) << bad;
        EXPECT_EQ(r.err.size() - 1, r.err.find('\n')) << bad << ": " << r.err;
        EXPECT_NE(std::string::npos, r.err.find(std::string("'") + bad + "'")) << r.err;
    }
    EXPECT_FALSE(server.accept_client(100));
}

// Number 2 on the left, placed, then playing; every joint at some angle,
// and the toe joints when the robot has them.
std::vector<std::string> game(bool toes)
{
    static const char* const joints[] = {"hj1",  "hj2",  "raj1", "raj2", "raj3", "raj4", "laj1", "laj2",
                                         "laj3", "laj4", "rlj1", "rlj2", "rlj3", "rlj4", "rlj5", "rlj6",
                                         "llj1", "llj2", "llj3", "llj4", "llj5", "llj6"};
    std::vector<std::string> out;
    for (int k = 0; k < 12; ++k) {
        const std::string t = std::to_string(0.02 * k);
        std::string m = "(time (now 1" + t + "))(GS " + (k == 0 ? "(unum 2) (team left) " : "") + "(t " + t +
                        ") (pm " + (k < 4 ? "BeforeKickOff" : "PlayOn") + "))";
        int j = 0;
        for (const char* name : joints) m += "(HJ (n " + std::string(name) + ") (ax " + std::to_string(j++ % 5) + "))";
        // Outside the 0.2 degree band, and inside it (the fine gain).
        if (toes) m += "(HJ (n llj7) (ax 3.0))(HJ (n rlj7) (ax -0.1))";
        out.push_back(m);
    }
    return out;
}

TEST(RobotType, ToeJointsAreHeldFlatAndNothingElseChanges)
{
    std::string err;
    const std::vector<std::string> standard = talk("127.0.0.68", {}, game(false));
    const std::vector<std::string> no_toes = talk("127.0.0.69", {"--type=1"}, game(false));
    const std::vector<std::string> toes = talk("127.0.0.70", {"--type=4"}, game(true), &err);
    ASSERT_EQ(13u, standard.size());
    ASSERT_EQ(13u, no_toes.size());
    ASSERT_EQ(13u, toes.size());
    EXPECT_EQ(std::string::npos, err.find("Error!!")) << err;
    EXPECT_EQ(0u, standard[1].find("(init (unum 0)(teamname MERLO-Skyline))(beam -0.17 -0.036 0 )"));
    const std::string left = "(lle7 -0.15)", right = "(rle7 0.0005)";
    for (std::size_t k = 1; k < 13; ++k) {
        SCOPED_TRACE("reply " + std::to_string(k));
        // A robot without toes: no command for them, the standard robot's bytes.
        EXPECT_EQ(standard[k], no_toes[k]);
        EXPECT_EQ(std::string::npos, no_toes[k].find("le7"));
        // With toes: lle7 just after lle6, rle7 last; without them the same bytes.
        std::string r = toes[k];
        const std::size_t l = r.find(left);
        ASSERT_NE(std::string::npos, l) << r;
        EXPECT_EQ(0u, r.compare(l + left.size(), 6, "(rae1 ")) << r;
        ASSERT_EQ(r.size() - right.size(), r.find(right)) << r;
        r.erase(r.size() - right.size()).erase(l, left.size());
        EXPECT_EQ(standard[k], r);
    }
}

}  // namespace
