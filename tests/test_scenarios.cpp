// The real executable against the practice peer on loopback: placement,
// walking, falls and stand-ups, the goalkeeper's choices, and the orderly end
// when the peer closes the connection.

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "support/paths.h"
#include "support/process.h"

namespace {

using testsupport::Subprocess;

std::string temp_path(const char* tag)
{
    const char* dir = std::getenv("TMPDIR");
    std::string path = std::string(dir && *dir ? dir : "/tmp") + "/travonelquist-" + tag + "-XXXXXX";
    std::vector<char> buf(path.begin(), path.end());
    buf.push_back('\0');
    int fd = ::mkstemp(buf.data());
    if (fd >= 0) ::close(fd);
    return std::string(buf.data());
}

std::vector<std::string> lines_of(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

// What one game against the peer left behind.
struct Game {
    bool agent_ended = false;
    bool agent_exited = false;
    int agent_code = -1;
    std::string out, err;       // the agent's
    std::string peer_out;
    std::vector<std::string> received;  // what the peer received, one message a line
};

// Runs the agent against a peer that plays the given script; the peer ends
// the game after its --cycles.
Game play(const std::string& addr, std::vector<std::string> peer_args,
          std::vector<std::string> agent_args = {})
{
    Game g;
    const std::string log = temp_path("peerlog");
    peer_args.push_back("--host=" + addr);
    peer_args.push_back("--fast");
    peer_args.push_back("--wait=20");
    peer_args.push_back("--log=" + log);
    Subprocess peer(testsupport::peer_binary(), peer_args);
    if (!peer.wait_for_out("listening on", 5000)) {
        ADD_FAILURE() << "the peer did not start: " << peer.err();
        std::remove(log.c_str());
        return g;
    }
    agent_args.insert(agent_args.begin(), "--host=" + addr);
    Subprocess agent(testsupport::agent_binary(), agent_args);
    g.agent_ended = agent.wait(25000);
    if (!g.agent_ended) ADD_FAILURE() << "the agent did not end";
    if (!peer.wait(5000)) ADD_FAILURE() << "the peer did not end";
    g.agent_exited = agent.exited();
    g.agent_code = agent.exit_code();
    g.out = agent.out();
    g.err = agent.err();
    g.peer_out = peer.out();
    std::ifstream in(log);
    std::string line;
    while (std::getline(in, line)) g.received.push_back(line);
    std::remove(log.c_str());
    return g;
}

void expect_orderly_end(const Game& g, const std::string& addr)
{
    EXPECT_TRUE(g.agent_exited) << g.err;
    EXPECT_EQ(0, g.agent_code) << g.err;
    EXPECT_NE(std::string::npos, g.out.find("closed connection to " + addr + ":3100\n"));
    EXPECT_EQ(std::string::npos, g.err.find("Error!! set_function")) << g.err;
}

bool starts_with(const std::string& s, const std::string& p) { return s.compare(0, p.size(), p) == 0; }

// The motion trace lines of the agent's output, in order.
std::vector<std::string> motion_lines(const std::string& out)
{
    static const char* const heads[] = {"walk()",        "turn()",          "ovarel()",
                                        "sidestep()",    "handup()",        "back_walk()",
                                        "standup_back()", "standup_forward()", "tune_walk()",
                                        "ballwalk()"};
    std::vector<std::string> motions;
    for (const std::string& line : lines_of(out))
        for (const char* h : heads)
            if (starts_with(line, h)) {
                motions.push_back(line);
                break;
            }
    return motions;
}

// The first motion the role chose once placement had ended.
std::string first_motion_after_placement(const std::vector<std::string>& motions)
{
    std::size_t i = 0;
    for (std::size_t k = 0; k < motions.size(); ++k)
        if (starts_with(motions[k], "ovarel()")) i = k + 1;
    return i < motions.size() ? motions[i] : std::string();
}

std::size_t index_of(const std::vector<std::string>& lines, const std::string& line, std::size_t from = 0)
{
    for (std::size_t k = from; k < lines.size(); ++k)
        if (lines[k] == line) return k;
    return std::string::npos;
}

// ---------------------------------------------------------------- placement

struct Placement {
    const char* addr;
    const char* side;
    int unum;
    const char* mode;
    const char* beam;  // expected once the number is known, and not again; empty: no beam
};

class PlacementTest : public ::testing::TestWithParam<Placement> {};

TEST_P(PlacementTest, BeamsToTheFormationPointOfSideAndNumber)
{
    const Placement& p = GetParam();
    Game g = play(p.addr, {std::string("--side=") + p.side, "--unum=" + std::to_string(p.unum),
                           std::string("--script=0:") + p.mode, "--cycles=12"},
                  {"--team=Blue"});
    expect_orderly_end(g, p.addr);
    // The scene, then one reply per perception.
    ASSERT_EQ(13u, g.received.size());
    EXPECT_EQ("(scene rsg/agent/nao/nao.rsg)", g.received[0]);
    EXPECT_TRUE(starts_with(g.received[1], "(init (unum 0)(teamname Blue))")) << g.received[1];
    // The number arrives with the second perception: one beam to its point,
    // and none after that, the robot standing on it.
    if (*p.beam) EXPECT_TRUE(starts_with(g.received[2], p.beam)) << g.received[2];
    for (std::size_t i = 2; i < g.received.size(); ++i) {
        EXPECT_EQ(std::string::npos, g.received[i].find("(init")) << i;
        const bool beam_here = *p.beam && i == 2;
        EXPECT_EQ(beam_here, g.received[i].find("(beam") != std::string::npos) << i << ": " << g.received[i];
        EXPECT_EQ(g.received[i].find("(beam"), g.received[i].rfind("(beam")) << "one beam a cycle";
        // Every hinge joint is commanded, also in placement cycles.
        for (const char* e : {"(he1 ", "(he2 ", "(lae1 ", "(lle6 ", "(rae4 ", "(rle6 "})
            EXPECT_NE(std::string::npos, g.received[i].find(e)) << e;
    }
}

INSTANTIATE_TEST_SUITE_P(
    SidesNumbersModes, PlacementTest,
    ::testing::Values(Placement{"127.0.0.100", "left", 1, "BeforeKickOff", "(beam -5.5 0 0 )"},
                      Placement{"127.0.0.101", "left", 2, "BeforeKickOff", "(beam -0.17 -0.036 0 )"},
                      Placement{"127.0.0.102", "left", 3, "BeforeKickOff", "(beam -2.2 -1.5 0 )"},
                      Placement{"127.0.0.103", "right", 1, "BeforeKickOff", "(beam -5.5 0 0 )"},
                      Placement{"127.0.0.104", "right", 2, "BeforeKickOff", "(beam -2.5 -0.5 0 )"},
                      Placement{"127.0.0.105", "right", 3, "BeforeKickOff", "(beam -3 0.5 0 )"},
                      Placement{"127.0.0.106", "left", 2, "KickOff_Left", ""},
                      Placement{"127.0.0.107", "right", 2, "KickOff_Left", "(beam -2.5 -0.5 0 )"},
                      Placement{"127.0.0.108", "left", 3, "KickOff_Right", "(beam -3 0.5 0 )"},
                      Placement{"127.0.0.109", "right", 2, "Goal_Left", "(beam -0.17 -0.036 0 )"},
                      Placement{"127.0.0.110", "left", 2, "PlayOn", ""}));

// ------------------------------------------------------------------ forward

struct Forward {
    const char* addr;
    const char* side;
    const char* move;  // where the robot stands when play starts
};

class ForwardTest : public ::testing::TestWithParam<Forward> {};

TEST_P(ForwardTest, BehindTheBallItStartsWalkingAndThePhasesAdvance)
{
    const Forward& f = GetParam();
    Game g = play(f.addr, {std::string("--side=") + f.side, "--unum=2", "--script=0:BeforeKickOff,0.5:PlayOn",
                           std::string("--move=0.5:") + f.move, "--ball=0,0", "--cycles=200"});
    expect_orderly_end(g, f.addr);
    const std::vector<std::string> motions = motion_lines(g.out);
    EXPECT_TRUE(starts_with(first_motion_after_placement(motions), "walk()"))
        << first_motion_after_placement(motions);
    // The stance, then the four time-paced phases, in this order.
    std::size_t at = 0;
    for (int phase : {0, 1, 2, 3, 4, 1}) {
        at = index_of(motions, "walk()  action_state_  == " + std::to_string(phase), at);
        ASSERT_NE(std::string::npos, at) << "phase " << phase << " never reached";
    }
    // The peer saw the robot move towards the ball.
    const std::vector<std::string> peer_lines = lines_of(g.peer_out);
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    ASSERT_EQ(2, std::sscanf(f.move, "%lf,%lf", &x0, &y0));
    std::string last;
    for (const std::string& l : peer_lines)
        if (l.find(" at (") != std::string::npos && l.find("PlayOn") != std::string::npos) last = l;
    ASSERT_EQ(2, std::sscanf(last.c_str() + last.find(" at (") + 5, "%lf, %lf", &x1, &y1)) << last;
    EXPECT_GT(x1 - x0, 0.1) << last;
}

INSTANTIATE_TEST_SUITE_P(Sides, ForwardTest,
                         ::testing::Values(Forward{"127.0.0.111", "left", "-2,0,0"},
                                           Forward{"127.0.0.112", "right", "-2,0.3,0"},
                                           Forward{"127.0.0.113", "left", "-0.8,-0.1,0"}));

// ---------------------------------------------------------------- stand-up

struct Fall {
    const char* addr;
    const char* way;
    int cycles;
};

class FallTest : public ::testing::TestWithParam<Fall> {};

TEST_P(FallTest, AFallLeadsToAStandUpThatRunsToItsEnd)
{
    const Fall& f = GetParam();
    Game g = play(f.addr, {"--unum=2", "--script=0:BeforeKickOff,0.5:PlayOn", "--fall-at=1.5",
                           std::string("--fall=") + f.way, "--cycles=" + std::to_string(f.cycles)});
    expect_orderly_end(g, f.addr);
    const std::vector<std::string> motions = motion_lines(g.out);
    std::size_t at = 0;
    if (std::string(f.way) == "back") {
        for (int phase = 0; phase <= 6; ++phase) {
            at = index_of(motions, "standup_back() " + std::to_string(phase), at);
            ASSERT_NE(std::string::npos, at) << "back stand-up phase " << phase << " never reached";
        }
        EXPECT_EQ(at + 1, index_of(motions, "standup_forward() 0", at)) << "the hand-over takes one cycle";
    }
    for (int phase = 0; phase <= 5; ++phase) {
        at = index_of(motions, "standup_forward() " + std::to_string(phase), at);
        ASSERT_NE(std::string::npos, at) << "forward stand-up phase " << phase << " never reached";
    }
    // Past its last phase the stand-up has ended and the role plays again.
    std::size_t after = at;
    while (after < motions.size() && starts_with(motions[after], "standup_")) ++after;
    ASSERT_LT(after, motions.size()) << "the stand-up never ended";
    EXPECT_TRUE(starts_with(motions[after], "walk()") || starts_with(motions[after], "turn()")) << motions[after];
    // No second fall is seen once the robot is up.
    for (std::size_t k = after; k < motions.size(); ++k)
        ASSERT_FALSE(starts_with(motions[k], "standup_")) << k << ": " << motions[k];
}

INSTANTIATE_TEST_SUITE_P(Ways, FallTest,
                         ::testing::Values(Fall{"127.0.0.114", "back", 1100}, Fall{"127.0.0.115", "front", 600}));

// -------------------------------------------------------------- goalkeeper

struct Keeper {
    const char* addr;
    const char* side;
    const char* ball;
    const char* motion;    // the first motion chosen
    const char* phase;     // and its first phase after the stance, when it tells the direction
};

class KeeperTest : public ::testing::TestWithParam<Keeper> {};

TEST_P(KeeperTest, OnItsGoalLineItChoosesByTheBallsSide)
{
    const Keeper& k = GetParam();
    Game g = play(k.addr, {std::string("--side=") + k.side, "--unum=1", "--script=0:BeforeKickOff,0.5:PlayOn",
                           "--move=0.5:-5.6,0,0", std::string("--ball=") + k.ball, "--cycles=120"});
    expect_orderly_end(g, k.addr);
    const std::vector<std::string> motions = motion_lines(g.out);
    const std::string first = first_motion_after_placement(motions);
    EXPECT_TRUE(starts_with(first, k.motion)) << first;
    // Nothing else is chosen while the robot stays put.
    std::size_t i = 0;
    for (std::size_t n = 0; n < motions.size(); ++n)
        if (starts_with(motions[n], "ovarel()")) i = n + 1;
    for (; i < motions.size(); ++i) ASSERT_TRUE(starts_with(motions[i], k.motion)) << motions[i];
    if (*k.phase) {
        const std::string line = std::string(" acccccccction____________ state---------  ") + k.phase;
        EXPECT_NE(std::string::npos, g.out.find(line + "\n")) << "no step of the expected leg";
    }
}

INSTANTIATE_TEST_SUITE_P(
    BallSides, KeeperTest,
    ::testing::Values(Keeper{"127.0.0.116", "left", "-1,0", "handup()", ""},
                      Keeper{"127.0.0.117", "left", "-1,3.5", "sidestep()", "6"},
                      Keeper{"127.0.0.118", "left", "-1,-3.5", "sidestep()", "1"},
                      Keeper{"127.0.0.119", "right", "-1,3.5", "sidestep()", "6"},
                      Keeper{"127.0.0.120", "right", "-1,1", "handup()", ""}));

// The keeper's hand-up reaches its crouch and is released when the ball comes
// into the release zone.
TEST(KeeperRelease, TheCrouchIsGivenUpWhenTheBallComesClose)
{
    const std::string addr = "127.0.0.121";
    Game g = play(addr, {"--unum=1", "--script=0:BeforeKickOff,0.5:PlayOn", "--move=0.5:-5.6,0,0", "--ball=-1,0",
                         "--ball-at=3:-4,0", "--cycles=400"});
    expect_orderly_end(g, addr);
    const std::vector<std::string> motions = motion_lines(g.out);
    EXPECT_TRUE(starts_with(first_motion_after_placement(motions), "handup()"));
    // Once released the keeper chooses again: the ball is in its danger zone.
    EXPECT_NE(std::string::npos, g.out.find("!!!!!!!!!!!!\n"));
}

// -------------------------------------------------------------------- ending

TEST(Ending, ThePeerClosingEndsTheAgentInAnOrderlyWay)
{
    const std::string addr = "127.0.0.122";
    Game g = play(addr, {"--cycles=3"});
    expect_orderly_end(g, addr);
    ASSERT_EQ(4u, g.received.size());  // the scene and three replies
    // The closing line is the last thing written.
    const std::vector<std::string> out = lines_of(g.out);
    ASSERT_FALSE(out.empty());
    EXPECT_EQ("closed connection to " + addr + ":3100", out.back());
}

}  // namespace

// ---------------------------------------------------------------- team scripts

namespace {

std::string script(const char* name) { return testsupport::data_dir() + "/../../scripts/" + name; }

std::string read_file(const std::string& path)
{
    std::ifstream in(path);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Running, and not just a zombie that nobody has reaped yet.
bool alive(pid_t pid)
{
    if (::kill(pid, 0) != 0) return false;
    const std::string stat = read_file("/proc/" + std::to_string(pid) + "/stat");
    const std::string::size_type paren = stat.rfind(')');
    return paren != std::string::npos && paren + 2 < stat.size() && stat[paren + 2] != 'Z';
}

bool wait_for_count(const Subprocess& p, const std::string& text, int count, int timeout_ms)
{
    for (int waited = 0; waited < timeout_ms; waited += 20) {
        const std::string out = p.out();
        int n = 0;
        for (std::string::size_type at = out.find(text); at != std::string::npos; at = out.find(text, at + 1)) ++n;
        if (n >= count) return true;
        ::usleep(20000);
    }
    return false;
}

}  // namespace

TEST(TeamScripts, StartThreePlayersThenEndExactlyThose)
{
    const std::string addr = "127.0.0.123";
    char dir_template[] = "/tmp/travonelquist-team-XXXXXX";
    ASSERT_NE(nullptr, ::mkdtemp(dir_template));
    const std::string logs = dir_template;

    Subprocess peer(testsupport::peer_binary(), {"--host=" + addr, "--wait=20"});
    ASSERT_TRUE(peer.wait_for_out("listening on", 5000));
    // A process of ours that is not a player: its id in the file must not be touched.
    Subprocess bystander("/bin/sleep", {"30"});

    testsupport::ProcessResult start = testsupport::run_process(
        "/bin/bash", {script("start-team.sh"), "--host=" + addr, "--team=Blue", "-n", "3",
                      "--binary=" + testsupport::agent_binary(), "--logs=" + logs},
        20000);
    ASSERT_TRUE(start.exited) << start.err;
    ASSERT_EQ(0, start.exit_code) << start.err;
    ASSERT_TRUE(wait_for_count(peer, "joins on the left side", 3, 10000)) << peer.out();
    // The server's numbers follow the order of joining.
    for (const char* n : {"Blue #1 joins", "Blue #2 joins", "Blue #3 joins"})
        EXPECT_NE(std::string::npos, peer.out().find(n)) << n;

    const std::string pidfile = logs + "/Blue.pids";
    std::vector<std::string> pids = lines_of(read_file(pidfile));
    ASSERT_EQ(3u, pids.size());
    // Starting the same team again is refused while it runs.
    testsupport::ProcessResult again = testsupport::run_process(
        "/bin/bash", {script("start-team.sh"), "--host=" + addr, "--team=Blue",
                      "--binary=" + testsupport::agent_binary(), "--logs=" + logs},
        20000);
    EXPECT_NE(0, again.exit_code);

    {
        std::ofstream f(pidfile, std::ios::app);
        f << bystander.pid() << "\n";
    }
    testsupport::ProcessResult kill = testsupport::run_process(
        "/bin/bash", {script("kill-team.sh"), "--team=Blue", "--logs=" + logs}, 20000);
    ASSERT_TRUE(kill.exited) << kill.err;
    EXPECT_EQ(0, kill.exit_code) << kill.err;
    EXPECT_TRUE(bystander.running()) << "an id that is not a player was killed";
    for (int i = 1; i <= 3; ++i) {
        const std::string log = read_file(logs + "/Blue-" + std::to_string(i) + ".log");
        EXPECT_NE(std::string::npos, log.find("closed connection to " + addr + ":3100\n")) << i;
        std::remove((logs + "/Blue-" + std::to_string(i) + ".log").c_str());
    }
    for (const std::string& pid : pids) EXPECT_FALSE(alive(std::stoi(pid))) << "player " << pid << " still runs";
    EXPECT_FALSE(std::ifstream(pidfile).good()) << "the id file is removed";
    EXPECT_TRUE(peer.wait(5000)) << "the peer ends once every player has left";
    std::remove(pidfile.c_str());
    ::rmdir(logs.c_str());
}
