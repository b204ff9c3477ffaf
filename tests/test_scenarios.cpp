// The real executable against the practice peer on loopback: placement and
// how often it beams, walking the ball, falls and stand-ups (also with the
// head pitched), the goalkeeper's choices, and the orderly end when the peer
// closes the connection.

#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <ostream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <utility>
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
    std::vector<std::string> truth;     // the peer's true world, one JSON line a cycle
};

// Runs the agent against a peer that plays the given script; the peer ends
// the game after its --cycles.
Game play(const std::string& addr, std::vector<std::string> peer_args,
          std::vector<std::string> agent_args = {})
{
    Game g;
    const std::string log = temp_path("peerlog");
    const std::string truth = temp_path("truth");
    peer_args.push_back("--host=" + addr);
    peer_args.push_back("--fast");
    peer_args.push_back("--wait=20");
    peer_args.push_back("--log=" + log);
    peer_args.push_back("--truth=" + truth);
    Subprocess peer(testsupport::peer_binary(), peer_args);
    if (!peer.wait_for_out("listening on", 5000)) {
        ADD_FAILURE() << "the peer did not start: " << peer.err();
        std::remove(log.c_str());
        std::remove(truth.c_str());
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
    std::ifstream world(truth);
    while (std::getline(world, line)) g.truth.push_back(line);
    std::remove(log.c_str());
    std::remove(truth.c_str());
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

bool is_motion_line(const std::string& line)
{
    static const char* const heads[] = {"walk()",        "turn()",          "ovarel()",
                                        "sidestep()",    "handup()",        "back_walk()",
                                        "standup_back()", "standup_forward()", "tune_walk()",
                                        "ballwalk()",    "gait()"};
    for (const char* h : heads)
        if (starts_with(line, h)) return true;
    return false;
}

// The motion trace lines of the agent's output, in order.
std::vector<std::string> motion_lines(const std::string& out)
{
    std::vector<std::string> motions;
    for (const std::string& line : lines_of(out))
        if (is_motion_line(line)) motions.push_back(line);
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

void PrintTo(const Placement& p, std::ostream* os) { *os << p.side << ' ' << p.unum << ' ' << p.mode; }

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
    if (*p.beam) {
        EXPECT_TRUE(starts_with(g.received[2], p.beam)) << g.received[2];
    }
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

void PrintTo(const Forward& f, std::ostream* os) { *os << f.side << " from " << f.move; }

class ForwardTest : public ::testing::TestWithParam<Forward> {};

TEST_P(ForwardTest, BehindTheBallItStartsWalkingAndThePhasesAdvance)
{
    const Forward& f = GetParam();
    Game g = play(f.addr, {std::string("--side=") + f.side, "--unum=2", "--script=0:BeforeKickOff,0.5:PlayOn",
                           std::string("--move=0.5:") + f.move, "--ball=0,0", "--cycles=200"});
    expect_orderly_end(g, f.addr);
    const std::vector<std::string> motions = motion_lines(g.out);
    EXPECT_TRUE(starts_with(first_motion_after_placement(motions), "gait()"))
        << first_motion_after_placement(motions);
    // A settling period in place, then periods of steps, one cycle a line.
    const std::size_t first = index_of(motions, "gait() turn 0", 0);
    ASSERT_NE(std::string::npos, first);
    const std::size_t walking = index_of(motions, "gait() walk 0", first);
    ASSERT_NE(std::string::npos, walking) << "never stepped out";
    EXPECT_EQ(walking + 19, index_of(motions, "gait() walk 19", walking));
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

void PrintTo(const Fall& f, std::ostream* os) { *os << f.way; }

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
    EXPECT_TRUE(starts_with(motions[after], "gait()")) << motions[after];
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

void PrintTo(const Keeper& k, std::ostream* os) { *os << k.side << " ball " << k.ball; }

class KeeperTest : public ::testing::TestWithParam<Keeper> {};

TEST_P(KeeperTest, OnItsGoalLineItChoosesByTheBallsSide)
{
    const Keeper& k = GetParam();
    Game g = play(k.addr, {std::string("--side=") + k.side, "--unum=1", "--script=0:BeforeKickOff,0.5:PlayOn",
                           "--move=0.5:-5.55,0,0", std::string("--ball=") + k.ball, "--cycles=120"});
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

// ------------------------------------------------------ real-physics episodes

// The cycle a received line answers: the scene comes first, then one reply
// per perception, 0.02 s apart.
double reply_time(std::size_t i) { return (static_cast<double>(i) - 1.0) * 0.02; }

int count_of(const std::string& text, const std::string& part)
{
    int n = 0;
    for (std::string::size_type at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

struct Beam {
    double t;
    std::string text;
};

// The beams of the replies after the first (which carries the init).
std::vector<Beam> beams_of(const Game& g)
{
    std::vector<Beam> beams;
    for (std::size_t i = 2; i < g.received.size(); ++i) {
        const std::string& r = g.received[i];
        for (std::string::size_type at = r.find("(beam"); at != std::string::npos; at = r.find("(beam", at + 1)) {
            const std::string::size_type end = r.find(')', at);
            beams.push_back(Beam{reply_time(i), r.substr(at, end == std::string::npos ? end : end + 1 - at)});
        }
    }
    return beams;
}

std::string describe(const std::vector<Beam>& beams)
{
    std::ostringstream s;
    for (const Beam& b : beams) s << b.text << " at " << b.t << "; ";
    return s.str();
}

// The ball and the first robot of one line of the peer's truth file (left
// team's frame).
struct TrueWorld {
    bool ball = false, robot = false;
    double ball_x = 0, ball_y = 0;
    double x = 0, y = 0, upz = 0;
};

TrueWorld true_world(const std::string& line)
{
    TrueWorld w;
    const std::string::size_type b = line.find("\"ball\":[");
    w.ball = b != std::string::npos && std::sscanf(line.c_str() + b, "\"ball\":[%lf,%lf", &w.ball_x, &w.ball_y) == 2;
    const std::string::size_type p = line.find("\"pos\":[");
    double z = 0;
    w.robot = p != std::string::npos &&
              std::sscanf(line.c_str() + p, "\"pos\":[%lf,%lf,%lf],\"upz\":%lf", &w.x, &w.y, &z, &w.upz) == 4;
    return w;
}

// One cycle of the agent's output: its time and every line up to the next.
struct Cycle {
    double t = 0;
    std::vector<std::string> lines;
};

std::vector<Cycle> cycles_of(const std::string& out)
{
    std::vector<Cycle> cycles;
    for (const std::string& line : lines_of(out)) {
        if (starts_with(line, "(TIME): ")) {
            cycles.emplace_back();
            cycles.back().t = std::atof(line.c_str() + 8);
        } else if (!cycles.empty()) {
            cycles.back().lines.push_back(line);
        }
    }
    return cycles;
}

// The first motion trace line of a cycle, or "".
std::string motion_of(const Cycle& c)
{
    for (const std::string& l : c.lines)
        if (is_motion_line(l)) return l;
    return std::string();
}

double joint_of(const Cycle& c, const std::string& name)
{
    const std::string head = "(HJ): " + name + ": ";
    for (const std::string& l : c.lines)
        if (starts_with(l, head)) return std::atof(l.c_str() + head.size());
    return std::nan("");
}

// Seconds spent in each motion, for failure messages.
std::string motion_seconds(const std::vector<Cycle>& cycles)
{
    std::vector<std::pair<std::string, int>> spent;
    for (const Cycle& c : cycles) {
        std::string m = motion_of(c);
        m = m.substr(0, m.find(')') == std::string::npos ? m.size() : m.find(')') + 1);
        std::size_t k = 0;
        while (k < spent.size() && spent[k].first != m) ++k;
        if (k == spent.size()) spent.emplace_back(m, 0);
        ++spent[k].second;
    }
    std::ostringstream s;
    for (const auto& e : spent) s << (e.first.empty() ? "none" : e.first) << ' ' << e.second * 0.02 << " s; ";
    return s.str();
}

// Ten seconds before the kick-off, seen every third cycle: the robot is
// beamed to its point once and then left standing there.
struct Episode {
    const char* addr;
    const char* side;
    int unum;
    const char* point;
};

void PrintTo(const Episode& e, std::ostream* os) { *os << e.side << ' ' << e.unum; }

class PlacementEpisodeTest : public ::testing::TestWithParam<Episode> {};

TEST_P(PlacementEpisodeTest, TenSecondsBeforeKickOffTakeAtMostADozenBeams)
{
    const Episode& e = GetParam();
    Game g = play(e.addr, {std::string("--side=") + e.side, "--unum=" + std::to_string(e.unum),
                           "--script=0:BeforeKickOff,10:PlayOn", "--time=11", "--vision-every=3"});
    expect_orderly_end(g, e.addr);
    ASSERT_EQ(551u, g.received.size());
    int total = 0;
    for (const std::string& r : g.received) total += count_of(r, "(beam");
    EXPECT_LE(total, 12);
    const std::vector<Beam> beams = beams_of(g);
    ASSERT_FALSE(beams.empty());
    EXPECT_EQ(reply_time(2), beams.front().t) << "beamed as soon as the number is known";
    for (const Beam& b : beams) {
        EXPECT_EQ(e.point, b.text) << describe(beams);
        EXPECT_LT(b.t, 10.0) << "a beam in play: " << describe(beams);
    }
}

INSTANTIATE_TEST_SUITE_P(SidesNumbers, PlacementEpisodeTest,
                         ::testing::Values(Episode{"127.0.0.180", "left", 1, "(beam -5.5 0 0 )"},
                                           Episode{"127.0.0.181", "left", 2, "(beam -0.17 -0.036 0 )"},
                                           Episode{"127.0.0.182", "left", 3, "(beam -2.2 -1.5 0 )"},
                                           Episode{"127.0.0.183", "right", 1, "(beam -5.5 0 0 )"},
                                           Episode{"127.0.0.184", "right", 2, "(beam -2.5 -0.5 0 )"},
                                           Episode{"127.0.0.185", "right", 3, "(beam -3 0.5 0 )"}));

// A robot displaced or knocked down during placement is beamed back once,
// within about a second; one still near its point is left alone.
struct Window {
    double from, to;
};

struct Displaced {
    const char* addr;
    const char* what;
    const char* side;
    int unum;
    std::vector<std::string> peer_args;
    std::vector<Window> beams;  // when the beams after the first one come
    double point_x, point_y;    // the formation point, left team's frame
};

void PrintTo(const Displaced& d, std::ostream* os) { *os << d.what; }

class DisplacedTest : public ::testing::TestWithParam<Displaced> {};

TEST_P(DisplacedTest, IsBeamedBackOnlyWhenClearlyOffOrDownAtMostOnceASecond)
{
    const Displaced& d = GetParam();
    std::vector<std::string> args = {std::string("--side=") + d.side, "--unum=" + std::to_string(d.unum),
                                     "--script=0:BeforeKickOff", "--time=8", "--vision-every=3"};
    args.insert(args.end(), d.peer_args.begin(), d.peer_args.end());
    Game g = play(d.addr, args);
    expect_orderly_end(g, d.addr);
    const std::vector<Beam> beams = beams_of(g);
    ASSERT_EQ(d.beams.size() + 1, beams.size()) << describe(beams);
    for (std::size_t k = 0; k < d.beams.size(); ++k) {
        EXPECT_EQ(beams[0].text, beams[k + 1].text);
        EXPECT_GE(beams[k + 1].t, d.beams[k].from) << describe(beams);
        EXPECT_LE(beams[k + 1].t, d.beams[k].to) << describe(beams);
    }
    // Standing on its point again in the end.
    ASSERT_FALSE(g.truth.empty());
    const TrueWorld end = true_world(g.truth.back());
    ASSERT_TRUE(end.robot) << g.truth.back();
    EXPECT_GT(end.upz, 0.99) << g.truth.back();
    EXPECT_LT(std::hypot(end.x - d.point_x, end.y - d.point_y), 0.3) << g.truth.back();
}

INSTANTIATE_TEST_SUITE_P(
    MovesAndFalls, DisplacedTest,
    ::testing::Values(
        Displaced{"127.0.0.186", "moved far", "left", 2, {"--move=5:-3,2,0"}, {{5.0, 6.1}}, -0.17, -0.036},
        Displaced{"127.0.0.187", "moved 0.3 m", "left", 2, {"--move=5:-0.17,0.264,0"}, {{5.0, 6.1}}, -0.17, -0.036},
        Displaced{"127.0.0.188", "moved 0.2 m", "left", 2, {"--move=5:-0.17,0.164,0"}, {}, -0.17, 0.164},
        Displaced{"127.0.0.189", "moved twice in a second", "left", 2, {"--move=5:-3,2,0", "--move=5.3:-3,2,0"},
                  {{5.0, 5.1}, {6.0, 6.1}}, -0.17, -0.036},
        Displaced{"127.0.0.190", "fallen on the front", "left", 2, {"--fall-at=5", "--fall=front"}, {{5.0, 6.1}},
                  -0.17, -0.036},
        Displaced{"127.0.0.191", "fallen on the back", "right", 3, {"--fall-at=5", "--fall=back"}, {{5.0, 6.1}},
                  3.0, -0.5},
        Displaced{"127.0.0.192", "moved far right side", "right", 3, {"--move=5:1,1,0"}, {{5.0, 6.1}}, 3.0, -0.5}));

// The forward half a metre behind the ball, facing the opponent goal, walks
// it there: at least 2 m in a minute of play. Counted up to a goal, after
// which the ball goes back to the centre.
struct BallWalk {
    const char* addr;
    const char* what;
    const char* side;
    const char* pose;
};

void PrintTo(const BallWalk& b, std::ostream* os) { *os << b.what; }

class BallWalkTest : public ::testing::TestWithParam<BallWalk> {};

TEST_P(BallWalkTest, TheForwardWalksTheBallTwoMetresTowardsTheGoalInAMinute)
{
    const BallWalk& b = GetParam();
    Game g = play(b.addr, {std::string("--side=") + b.side, "--unum=2", "--script=0:PlayOn",
                           std::string("--pose=") + b.pose, "--ball=0,0", "--time=60", "--vision-every=3"});
    expect_orderly_end(g, b.addr);
    ASSERT_EQ(3000u, g.truth.size());
    // Truth is in the left team's frame: the right team attacks towards -x.
    const double towards = std::string(b.side) == "left" ? 1.0 : -1.0;
    const TrueWorld first = true_world(g.truth.front());
    ASSERT_TRUE(first.ball);
    double gain = 0;
    bool scored = false;
    int falls = 0;
    bool down = false;
    for (const std::string& line : g.truth) {
        const TrueWorld w = true_world(line);
        if (w.robot && (w.upz < 0.5) != down) {
            down = !down;
            falls += down ? 1 : 0;
        }
        if (line.find("\"pm\":\"Goal_") != std::string::npos) {
            scored = line.find(towards > 0 ? "\"pm\":\"Goal_Left" : "\"pm\":\"Goal_Right") != std::string::npos;
            break;
        }
        if (w.ball) gain = std::max(gain, (w.ball_x - first.ball_x) * towards);
    }
    EXPECT_GE(gain, 2.0) << falls << " falls; " << motion_seconds(cycles_of(g.out));
    EXPECT_EQ(0, falls);
    RecordProperty("gain", std::to_string(gain));
    RecordProperty("scored", scored ? "yes" : "no");
}

INSTANTIATE_TEST_SUITE_P(Sides, BallWalkTest,
                         ::testing::Values(BallWalk{"127.0.0.193", "left", "left", "-0.5,0,0"},
                                           BallWalk{"127.0.0.194", "right", "right", "-0.5,0,0"},
                                           BallWalk{"127.0.0.199", "left, 0.1 m off the line", "left",
                                                    "-0.5,0.1,0"}));

// The goalkeeper falls in its hand-up crouch, its head pitched well up: the
// fall is judged on the torso, and the stand-up for the way it lies runs.
struct KeeperFall {
    const char* addr;
    const char* way;
    int cycles;
    std::vector<std::string> phases;  // first reached in this order
};

void PrintTo(const KeeperFall& k, std::ostream* os) { *os << k.way; }

class KeeperFallTest : public ::testing::TestWithParam<KeeperFall> {};

TEST_P(KeeperFallTest, WithItsHeadPitchedItSeesTheFallAndGetsUpTheRightWay)
{
    const KeeperFall& k = GetParam();
    Game g = play(k.addr, {"--unum=1", "--script=0:BeforeKickOff,0.5:PlayOn", "--move=0.5:-5.55,0,0", "--ball=0,0",
                           "--fall-at=5", std::string("--fall=") + k.way, "--cycles=" + std::to_string(k.cycles),
                           "--vision-every=3"});
    expect_orderly_end(g, k.addr);
    const std::vector<Cycle> cycles = cycles_of(g.out);
    std::size_t fell = 0;
    while (fell < cycles.size() && !starts_with(motion_of(cycles[fell]), "standup_")) ++fell;
    ASSERT_LT(fell, cycles.size()) << "no stand-up: " << motion_seconds(cycles);
    ASSERT_GT(fell, 0u);
    // Seen while falling (it takes 0.3 s), out of the crouch with the head up.
    EXPECT_GE(cycles[fell].t, 5.0);
    EXPECT_LE(cycles[fell].t, 5.3);
    EXPECT_EQ("handup()", motion_of(cycles[fell - 1]));
    EXPECT_GT(joint_of(cycles[fell - 1], "hj2"), 30.0);

    const std::vector<std::string> motions = motion_lines(g.out);
    std::size_t at = 0;
    while (at < motions.size() && !starts_with(motions[at], "standup_")) ++at;
    for (const std::string& phase : k.phases) {
        at = index_of(motions, phase, at);
        ASSERT_NE(std::string::npos, at) << phase << " never reached";
    }
    const bool back_expected = starts_with(k.phases.front(), "standup_back()");
    if (!back_expected) {
        for (const std::string& m : motions) ASSERT_FALSE(starts_with(m, "standup_back()")) << m;
    }
    // Up again for good, and keeping goal.
    std::size_t after = at;
    while (after < motions.size() && starts_with(motions[after], "standup_")) ++after;
    ASSERT_LT(after, motions.size()) << "the stand-up never ended";
    for (std::size_t m = after; m < motions.size(); ++m) ASSERT_FALSE(starts_with(motions[m], "standup_")) << motions[m];
    ASSERT_FALSE(g.truth.empty());
    EXPECT_GT(true_world(g.truth.back()).upz, 0.99) << g.truth.back();
}

std::vector<std::string> forward_phases(std::vector<std::string> before = {})
{
    for (int p = 0; p <= 5; ++p) before.push_back("standup_forward() " + std::to_string(p));
    return before;
}

std::vector<std::string> back_phases()
{
    std::vector<std::string> phases;
    for (int p = 0; p <= 6; ++p) phases.push_back("standup_back() " + std::to_string(p));
    return forward_phases(phases);
}

// From a side: settle, swing the upper leg and push with the lower arm onto
// the front, then the forward stand-up.
const std::vector<std::string> kOffLeftSide =
    forward_phases({"standup_forward() 0", "standup_forward() 23", "standup_forward() 24"});
const std::vector<std::string> kOffRightSide =
    forward_phases({"standup_forward() 0", "standup_forward() 21", "standup_forward() 22"});

INSTANTIATE_TEST_SUITE_P(Ways, KeeperFallTest,
                         ::testing::Values(KeeperFall{"127.0.0.195", "front", 600, forward_phases()},
                                           KeeperFall{"127.0.0.196", "back", 1200, back_phases()},
                                           KeeperFall{"127.0.0.197", "left", 600, kOffLeftSide},
                                           KeeperFall{"127.0.0.198", "right", 600, kOffRightSide}));

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
