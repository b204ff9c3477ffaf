// The real executable against the practice peer playing today's server
// (--today): sync mode, the scored game state with side and number told
// once, the 30 x 20 m field, the view cone and vision every third message.
// The peer's truth file tells where the robots really were.

#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <ostream>
#include <string>
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
    const int fd = ::mkstemp(buf.data());
    if (fd >= 0) ::close(fd);
    return std::string(buf.data());
}

std::vector<std::string> read_lines(const std::string& path)
{
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
}

int count(const std::string& text, const std::string& part)
{
    int n = 0;
    for (std::string::size_type at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// One robot of one truth line.
struct Seen {
    bool left = true;
    int unum = 0;
    double x = 0, y = 0, z = 0, upz = 0, yaw = 0;
};

std::vector<Seen> robots_of(const std::string& line)
{
    std::vector<Seen> robots;
    for (std::string::size_type at = line.find("{\"team\":\""); at != std::string::npos;
         at = line.find("{\"team\":\"", at + 1)) {
        Seen s;
        char team[8] = {0};
        if (std::sscanf(line.c_str() + at, "{\"team\":\"%7[A-Za-z]\",\"unum\":%d,\"pos\":[%lf,%lf,%lf],\"upz\":%lf,\"yaw\":%lf",
                        team, &s.unum, &s.x, &s.y, &s.z, &s.upz, &s.yaw) == 7) {
            s.left = std::string(team) == "Left";
            robots.push_back(s);
        }
    }
    return robots;
}

// What one game against the peer in today's mode left behind.
struct Game {
    std::string peer_out;
    std::vector<std::string> agent_out;
    std::vector<std::string> received;  // every message the peer received, one a line
    std::vector<std::string> truth;     // one line a cycle
};

// Runs one agent per entry of teams (in that order, each joining before the
// next starts) against the peer until the peer ends the game. A game that
// stalls for want of a (syn) fails at once.
Game play(const std::string& addr, std::vector<std::string> peer_args, const std::vector<std::string>& teams)
{
    Game g;
    const std::string log = temp_path("today-log"), truth = temp_path("today-truth");
    for (const char* a : {"--today", "--wait=20", "--reply-timeout=2"}) peer_args.push_back(a);
    peer_args.push_back("--players=" + std::to_string(teams.size()));
    peer_args.push_back("--host=" + addr);
    peer_args.push_back("--log=" + log);
    peer_args.push_back("--truth=" + truth);
    Subprocess peer(testsupport::peer_binary(), peer_args);
    if (!peer.wait_for_out("listening on", 5000)) {
        ADD_FAILURE() << "the peer did not start: " << peer.err();
        return g;
    }
    std::vector<std::unique_ptr<Subprocess>> agents;
    bool stalled = false;
    for (std::size_t i = 0; i < teams.size() && !stalled; ++i) {
        agents.emplace_back(new Subprocess(testsupport::agent_binary(), {"--host=" + addr, "--team=" + teams[i]}));
        for (int waited = 0; count(peer.out(), "player connected (") <= static_cast<int>(i); waited += 20) {
            if (waited > 10000 || has(peer.out(), "sent no (syn)")) {
                stalled = true;
                break;
            }
            ::usleep(20000);
        }
    }
    for (int waited = 0; !stalled && peer.running(); waited += 20) {
        stalled = has(peer.out(), "sent no (syn)") || waited > 60000;
        ::usleep(20000);
    }
    if (stalled) ADD_FAILURE() << "the game stalled:\n" << peer.out().substr(0, 2000);
    peer.signal(SIGTERM);
    if (!peer.wait(5000)) ADD_FAILURE() << "the peer did not end";
    for (auto& a : agents) {
        if (!a->wait(5000)) ADD_FAILURE() << "an agent did not end";
        g.agent_out.push_back(a->out());
    }
    g.peer_out = peer.out();
    g.received = read_lines(log);
    g.truth = read_lines(truth);
    std::remove(log.c_str());
    std::remove(truth.c_str());
    return g;
}

bool in_lock_step(const Game& g, long cycles)
{
    return has(g.peer_out, "peer: " + std::to_string(cycles) + " cycles, every one synced by every agent\n");
}

// ----------------------------------------------------------------- pacing

TEST(TodayPacing, EveryReplyEndsWithSynAndNoCycleIsSkipped)
{
    const Game g = play("127.0.0.158", {"--cycles=150", "--unum=2"}, {"Alpha"});
    EXPECT_TRUE(in_lock_step(g, 150)) << g.peer_out;
    ASSERT_EQ(151u, g.received.size());  // the scene and one reply a cycle
    for (std::size_t i = 1; i < g.received.size(); ++i) {
        const std::string& r = g.received[i];
        ASSERT_TRUE(r.size() >= 5 && r.compare(r.size() - 5, 5, "(syn)") == 0) << i << ": " << r;
    }
    EXPECT_TRUE(has(g.agent_out.at(0), "closed connection to 127.0.0.158:3100\n"));
}

// -------------------------------------------------------------- placement

// Three players on each side learn their number and side from the one long
// game-state item and beam into their own half of the big field.
TEST(TodayPlacement, NumbersOneToThreeOnBothSidesBeamIntoTheirOwnHalf)
{
    const Game g = play("127.0.0.159", {"--script=0:BeforeKickOff", "--cycles=100"},
                        {"Alpha", "Alpha", "Alpha", "Beta", "Beta", "Beta"});
    EXPECT_TRUE(in_lock_step(g, 100)) << g.peer_out;
    // The first team whose init reaches the peer takes the left. The agents
    // start in order, but under load their inits need not arrive in it.
    const bool alpha_left = has(g.peer_out, "Alpha #1 joins on the left");
    const std::string alpha_side = alpha_left ? "left" : "right", beta_side = alpha_left ? "right" : "left";
    for (const char* n : {"1", "2", "3"}) {
        EXPECT_TRUE(has(g.peer_out, std::string("Alpha #") + n + " joins on the " + alpha_side)) << n << g.peer_out;
        EXPECT_TRUE(has(g.peer_out, std::string("Beta #") + n + " joins on the " + beta_side)) << n << g.peer_out;
    }
    // Today's game-state line: time, play mode, scores, kick-off side.
    for (const std::string& out : g.agent_out) EXPECT_TRUE(has(out, "(GS): 0: BeforeKickOff: 0: 0: left: \n"));
    ASSERT_FALSE(g.truth.empty());
    const std::vector<Seen> robots = robots_of(g.truth.back());
    ASSERT_EQ(6u, robots.size()) << g.truth.back();
    for (const Seen& r : robots) {
        const double own_x = r.left ? r.x : -r.x;
        EXPECT_LT(own_x, -0.1) << (r.left ? "left #" : "right #") << r.unum;
        EXPECT_GT(own_x, -15.0) << r.unum;
        EXPECT_LT(std::fabs(r.y), 10.0) << r.unum;
        EXPECT_GT(r.upz, 0.9) << r.unum;
        for (const Seen& o : robots) {
            if (&o != &r && o.left == r.left) {
                EXPECT_GT(std::hypot(o.x - r.x, o.y - r.y), 0.3) << "numbers " << r.unum << " and " << o.unum;
            }
        }
    }
}

// ---------------------------------------------------------------- forward

TEST(TodayForward, BehindTheBallItWalksTowardsIt)
{
    const Game g = play("127.0.0.160",
                        {"--unum=2", "--script=0:BeforeKickOff,0.5:PlayOn", "--move=0.5:-4,0,0", "--ball=0,0",
                         "--cycles=500"},
                        {"Alpha"});
    EXPECT_TRUE(in_lock_step(g, 500)) << g.peer_out;
    ASSERT_FALSE(g.agent_out.empty());
    EXPECT_TRUE(has(g.agent_out[0], "gait() walk 10")) << "no step";
    ASSERT_FALSE(g.truth.empty());
    const std::vector<Seen> end = robots_of(g.truth.back());
    ASSERT_EQ(1u, end.size());
    EXPECT_GT(end[0].x, -4.0 + 0.5) << g.truth.back();
    EXPECT_LT(std::fabs(end[0].y), 0.5) << g.truth.back();
}

// ----------------------------------------------------------------- falls

struct Fall {
    const char* addr;
    const char* way;
    const char* standup;
    int cycles;
};

void PrintTo(const Fall& f, std::ostream* os) { *os << f.way; }

class TodayFallTest : public ::testing::TestWithParam<Fall> {};

TEST_P(TodayFallTest, TheAccelerometerTellsTheFallAndTheRightStandUpRuns)
{
    const Fall& f = GetParam();
    const Game g = play(f.addr,
                        {"--unum=2", "--script=0:BeforeKickOff,0.5:PlayOn", "--fall-at=1.5",
                         std::string("--fall=") + f.way, "--cycles=" + std::to_string(f.cycles)},
                        {"Alpha"});
    EXPECT_TRUE(in_lock_step(g, f.cycles)) << g.peer_out;
    ASSERT_FALSE(g.agent_out.empty());
    EXPECT_TRUE(has(g.agent_out[0], std::string(f.standup) + " 0\n")) << f.way;
    EXPECT_TRUE(has(g.peer_out, "Alpha #2 is up again")) << g.peer_out.substr(0, 3000);
    ASSERT_FALSE(g.truth.empty());
    const std::vector<Seen> end = robots_of(g.truth.back());
    ASSERT_EQ(1u, end.size());
    EXPECT_GT(end[0].upz, 0.9) << g.truth.back();
}

INSTANTIATE_TEST_SUITE_P(Ways, TodayFallTest,
                         ::testing::Values(Fall{"127.0.0.161", "back", "standup_back()", 1100},
                                           Fall{"127.0.0.162", "front", "standup_forward()", 600}),
                         [](const ::testing::TestParamInfo<Fall>& info) { return std::string(info.param.way); });

// ------------------------------------------------------------- goalkeeper

// Well ahead of its post, the keeper walks back to it with the gait, facing
// it, and stays there keeping goal.
TEST(TodayKeeper, AheadOfItsPostItWalksBackToIt)
{
    const Game g = play("127.0.0.163",
                        {"--unum=1", "--script=0:BeforeKickOff,0.5:PlayOn", "--move=0.5:-13,0,0", "--ball=3,0",
                         "--cycles=1500"},
                        {"Alpha"});
    EXPECT_TRUE(in_lock_step(g, 1500)) << g.peer_out;
    ASSERT_FALSE(g.agent_out.empty());
    EXPECT_TRUE(has(g.agent_out[0], "gait() walk")) << "the keeper never walked back";
    EXPECT_FALSE(has(g.agent_out[0], "back_walk()"));
    ASSERT_FALSE(g.truth.empty());
    const std::vector<Seen> end = robots_of(g.truth.back());
    ASSERT_EQ(1u, end.size());
    EXPECT_LT(std::hypot(end[0].x + 13.9, end[0].y), 0.5) << g.truth.back();
    EXPECT_GT(end[0].upz, 0.9) << g.truth.back();
}

}  // namespace
