// The executable against hostile or broken servers: recorded messages (those
// of today's server answered with (syn) at the end of every reply), malformed,
// truncated and random text, absurd numbers, every length up to and over the
// limit, the connection closed at every byte, interrupts at any moment. The process must always end in an orderly way (exit 0), except for
// the one designed abort on an over-long message, and never hang.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "support/loopback.h"
#include "support/paths.h"
#include "support/process.h"

namespace {

using testsupport::Io;
using testsupport::LoopbackServer;
using testsupport::Subprocess;

const int PORT = 3100;

// Waits until the process has been asleep for a while, which for an agent
// that has just replied means it is back in its wait for the next message:
// an interrupt that came before it looked at its loop flag would end the loop
// without waiting.
void wait_until_asleep(pid_t pid)
{
    int asleep = 0;
    for (int i = 0; i < 400 && asleep < 4; ++i) {
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
        const std::string::size_type paren = text.rfind(')');
        const char state = paren != std::string::npos && paren + 2 < text.size() ? text[paren + 2] : '?';
        asleep = state == 'S' ? asleep + 1 : 0;
        ::usleep(5000);
    }
}

// A whole perception of the kind the server sends, for the given time.
std::string full_message(double t, const std::string& mode = "PlayOn")
{
    static const char* const joints[] = {"hj1",  "hj2",  "raj1", "raj2", "raj3", "raj4", "laj1", "laj2",
                                         "laj3", "laj4", "rlj1", "rlj2", "rlj3", "rlj4", "rlj5", "rlj6",
                                         "llj1", "llj2", "llj3", "llj4", "llj5", "llj6"};
    std::ostringstream m;
    m << "(time (now " << t << "))(GS (unum 2) (team left) (t " << t << ") (pm " << mode << "))"
      << "(GYR (n torso) (rt 0.01 -0.02 0.00))"
      << "(See (F1L (pol 7.38 123.4 -3.9)) (F2L (pol 7.21 -124.9 -4.0)) (F1R (pol 7.21 55.1 -4.0))"
      << " (F2R (pol 7.38 -56.6 -3.9)) (G1L (pol 6.07 173.0 2.8)) (G2L (pol 6.07 -173.6 2.8))"
      << " (B (pol 0.35 10.0 -55.0)) (P (team Opp) (id 3) (pol 4.1 -20.0 -1.0)))";
    for (const char* j : joints) m << "(HJ (n " << j << ") (ax 0.5))";
    m << "(FRP (n lf) (c 0.01 0.02 -0.02) (f 0.1 -0.2 22.5))(FRP (n rf) (c 0.01 0.02 -0.02) (f 0.1 -0.2 22.5))";
    return m.str();
}

std::vector<std::string> read_lines(const std::string& path)
{
    std::vector<std::string> lines;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line))
        if (!line.empty()) lines.push_back(line);
    return lines;
}

// One agent connected to a stand-in server of the test's own.
class Session {
public:
    explicit Session(const std::string& addr)
        : addr_(addr), server_(addr, PORT), agent_(testsupport::agent_binary(), {"--host=" + addr})
    {
    }

    // Accepts the agent and takes its scene command.
    ::testing::AssertionResult start()
    {
        if (!server_.ok()) return ::testing::AssertionFailure() << "no listener";
        if (!server_.accept_client(10000)) return ::testing::AssertionFailure() << "the agent did not connect";
        std::string scene;
        if (server_.recv_frame(scene) != Io::ok) return ::testing::AssertionFailure() << "no scene command";
        if (scene != "(scene rsg/agent/nao/nao.rsg)") return ::testing::AssertionFailure() << scene;
        return ::testing::AssertionSuccess();
    }

    // Sends one message and takes the reply.
    ::testing::AssertionResult exchange(const std::string& msg, std::string* reply = nullptr)
    {
        if (server_.send_frame(msg) != Io::ok) return ::testing::AssertionFailure() << "send failed";
        std::string r;
        const Io io = server_.recv_frame(r, 10000);
        if (io != Io::ok)
            return ::testing::AssertionFailure() << "no reply (" << static_cast<int>(io) << "); agent stderr: "
                                                 << agent_.err().substr(0, 2000);
        if (reply) *reply = r;
        return ::testing::AssertionSuccess();
    }

    // Enough whole messages that every slot of the agent's history holds the
    // joints: from then on every reply commands them, whatever arrives.
    ::testing::AssertionResult warm_up(double& t)
    {
        for (int i = 0; i < 11; ++i) {
            t += 0.02;
            ::testing::AssertionResult r = exchange(full_message(t));
            if (!r) return r;
        }
        return ::testing::AssertionSuccess();
    }

    // Closes the connection and checks the agent ends as it should.
    void close_and_expect_orderly_end()
    {
        server_.close_client();
        ASSERT_TRUE(agent_.wait(10000)) << "the agent did not end";
        expect_exit_0();
    }

    void expect_exit_0()
    {
        EXPECT_TRUE(agent_.exited()) << "signal " << agent_.term_signal() << "; " << agent_.err().substr(0, 2000);
        EXPECT_EQ(0, agent_.exit_code());
        EXPECT_NE(std::string::npos, agent_.out().find("closed connection to " + addr_ + ":3100\n"));
    }

    LoopbackServer& server() { return server_; }
    Subprocess& agent() { return agent_; }

private:
    std::string addr_;
    LoopbackServer server_;
    Subprocess agent_;
};

// ---------------------------------------------------------- recorded messages

struct Recording {
    const char* addr;
    const char* file;
};

class RecordedTest : public ::testing::TestWithParam<Recording> {};

TEST_P(RecordedTest, EveryRecordedMessageIsAnswered)
{
    const std::vector<std::string> messages = read_lines(testsupport::data_dir() + "/" + GetParam().file);
    ASSERT_GE(messages.size(), 30u);
    Session s(GetParam().addr);
    ASSERT_TRUE(s.start());
    // Three passes, so that the history ring wraps several times.
    for (int pass = 0; pass < 3; ++pass)
        for (std::size_t i = 0; i < messages.size(); ++i) {
            std::string reply;
            ASSERT_TRUE(s.exchange(messages[i], &reply)) << "message " << i;
            if (pass == 0 && i == 0)
                EXPECT_EQ(0u, reply.find("(init (unum 0)(teamname MERLO-Skyline))"));
            else
                EXPECT_EQ(std::string::npos, reply.find("(init"));
            EXPECT_NE(std::string::npos, reply.find("(rle5 ")) << reply;
        }
    s.close_and_expect_orderly_end();
    EXPECT_EQ(std::string::npos, s.agent().err().find("Error!! set_function"));
}

INSTANTIATE_TEST_SUITE_P(Files, RecordedTest,
                         ::testing::Values(Recording{"127.0.0.130", "full-vision.txt"},
                                           Recording{"127.0.0.131", "restricted-vision.txt"}));

// ------------------------------------------------ today's server, replayed

// Every file here comes from today's server (scored game state, sync mode):
// the two robots of a game from kick-off, and the standing robot with
// all-round and with restricted vision.
struct TodayRecording {
    const char* addr;
    const char* name;
    const char* file;
    int passes;
};

// The play mode a message announces, or "" without one.
std::string play_mode_of(const std::string& msg)
{
    const std::string::size_type at = msg.find("(pm ");
    if (at == std::string::npos) return "";
    const std::string::size_type end = msg.find(')', at);
    return end == std::string::npos ? "" : msg.substr(at + 4, end - at - 4);
}

std::vector<std::string> lines_starting(const std::string& text, const std::string& tag)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line))
        if (line.compare(0, tag.size(), tag) == 0) out.push_back(line);
    return out;
}

// Reads a finite number at p and moves p past it.
bool finite_number(const char*& p)
{
    char* end = nullptr;
    const double v = std::strtod(p, &end);
    if (end == p || !std::isfinite(v)) return false;
    p = end;
    return true;
}

// "TAG x: y: z" with three finite numbers and nothing else.
bool three_finite(const std::string& line, const std::string& tag)
{
    const char* p = line.c_str() + tag.size();
    for (int k = 0; k < 3; ++k) {
        if (k > 0 && std::strncmp(p, ": ", 2) != 0) return false;
        if (k > 0) p += 2;
        if (!finite_number(p)) return false;
    }
    return *p == '\0';
}

// "(GS): t: MODE:" followed by anything (today's scores and kick-off side).
bool shows_mode(const std::string& line, const std::string& mode)
{
    const std::string tag = "(GS): ";
    if (line.compare(0, tag.size(), tag) != 0) return false;
    const char* p = line.c_str() + tag.size();
    if (!finite_number(p)) return false;
    return std::string(p).compare(0, mode.size() + 3, ": " + mode + ":") == 0;
}

class TodayRecordingTest : public ::testing::TestWithParam<TodayRecording> {};

TEST_P(TodayRecordingTest, SynClosesEveryReplyThePlayModeIsReadAndEstimatesStayFinite)
{
    const std::vector<std::string> messages = read_lines(testsupport::data_dir() + "/" + GetParam().file);
    ASSERT_GE(messages.size(), 30u);
    Session s(GetParam().addr);
    ASSERT_TRUE(s.start());
    std::vector<std::string> modes;
    int bad_replies = 0;
    std::string first_bad;
    for (int pass = 0; pass < GetParam().passes; ++pass)
        for (std::size_t i = 0; i < messages.size(); ++i) {
            std::string reply;
            ASSERT_TRUE(s.exchange(messages[i], &reply)) << "message " << i;
            if (pass == 0 && i == 0) {
                EXPECT_EQ(0u, reply.find("(init (unum 0)(teamname MERLO-Skyline))")) << reply;
            }
            // One (syn), as the very last bytes: the server waits for it.
            const std::string::size_type syn = reply.find("(syn)");
            const bool ok = syn != std::string::npos && syn + 5 == reply.size() &&
                            reply.find("(rle5 ") != std::string::npos;
            if (!ok && bad_replies++ == 0) first_bad = "message " + std::to_string(i) + ": " + reply;
            modes.push_back(play_mode_of(messages[i]));
        }
    s.close_and_expect_orderly_end();
    EXPECT_EQ(0, bad_replies) << "first: " << first_bad;

    const std::string out = s.agent().out();
    const std::vector<std::string> gs = lines_starting(out, "(GS): ");
    ASSERT_EQ(modes.size(), gs.size()) << "one status dump a cycle";
    int wrong_modes = 0;
    for (std::size_t k = 0; k < gs.size(); ++k)
        if (!shows_mode(gs[k], modes[k]) && wrong_modes++ == 0)
            ADD_FAILURE() << "message " << k % messages.size() << " has " << modes[k] << ", dump: " << gs[k];
    EXPECT_EQ(0, wrong_modes);
    for (const char* tag : {"(POSITION): ", "(ZAXIS): ", "(BALL): "}) {
        const std::vector<std::string> lines = lines_starting(out, tag);
        EXPECT_EQ(modes.size(), lines.size()) << tag;
        int bad = 0;
        for (std::size_t k = 0; k < lines.size(); ++k)
            if (!three_finite(lines[k], tag) && bad++ == 0)
                ADD_FAILURE() << "message " << k % messages.size() << ": " << lines[k];
        EXPECT_EQ(0, bad) << tag;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, TodayRecordingTest,
    ::testing::Values(TodayRecording{"127.0.0.200", "GameLeft", "today-sync-left.txt", 1},
                      TodayRecording{"127.0.0.201", "GameRight", "today-sync-right.txt", 1},
                      TodayRecording{"127.0.0.202", "StandingFullVision", "full-vision.txt", 3},
                      TodayRecording{"127.0.0.203", "StandingRestrictedVision", "restricted-vision.txt", 3}),
    [](const ::testing::TestParamInfo<TodayRecording>& i) { return std::string(i.param.name); });

// ------------------------------------------------------------------ bad input

struct BadInput {
    const char* addr;
    const char* name;
    std::vector<std::string> (*messages)();
};

std::vector<std::string> malformed()
{
    return {"",
            "(",
            ")",
            "((((((((((",
            "))))))))))",
            "()()()",
            "(time)",
            "(time (now))",
            "(time (now ))",
            "(time (now abc))",
            "(time (now 1.2.3))",
            "(time (now --1))",
            "(GS (unum x) (team left) (t 0) (pm PlayOn))",
            "(GS (unum 2) (team) (t 0) (pm PlayOn))",
            "(GS (unum 2) (team middle) (t 0) (pm PlayOn))",
            "(GS (t zero) (pm PlayOn))",
            "(GS (t 0) (pm ))",
            "(HJ (n) (ax 1))",
            "(HJ (n rlj5) (ax))",
            "(HJ (n rlj5) (ax one))",
            "(HJ (n bogus) (ax 5))",
            "(HJ (n  ) (ax 5))",
            "(UJ (n laj1_2) (ax1 1) (ax2 2))",
            "(UJ (n ab) (ax1 1) (ax2 2))",
            "(UJ (n x) (ax1 q) (ax2 2))",
            "(GYR (n torso) (rt a b c))",
            "(F1L (pol a b c))",
            "(F1L (pol 1 2))",
            "(XYZ (pol 1 2 3))",
            "(B (pol x y z))",
            "(B (pol 1 2))",
            "(P (team) (id 1) (pol 1 2 3))",
            "(P (team A) (id one) (pol 1 2 3))",
            "(P (team A) (id nan) (pol 1 2 3))",
            "(P (team MERLO-Skyline) (id 99999999999999999999) (pol 1 2 3))",
            "(P (team MERLO-Skyline) (id -5) (pol 1 2 3))",
            "(P (team MERLO-Skyline) (id 1000000) (pol 1 2 3))",
            "(FRP (n lf) (c a b c) (f 1 2 3))",
            "(FRP (n lf) (c 1 2 3) (f a b c))",
            "(hear 1.0 self hi)",
            "(hear x 12 hello)",
            "(hear 1.0 -35.5 pass(1.5 -2 0))",
            "(hear 1.0 -35.5 pass(a b c))",
            "(hear 1.0 abc pass(1 2 3))",
            "(hear 1.0 10 ))))))",
            "(mypos a b c)",
            "(mypos 1 2)",
            "(See (F1L (pol 1 2 3)) (F1L (pol 4 5 6)) (F1L (pol 7 8 9)))",
            "(See (F1L (pol 0 0 0)) (F1R (pol 0 0 0)) (F2L (pol 0 0 0)) (F2R (pol 0 0 0)))",
            "(See (F1L (pol 1 0 0)) (F1R (pol 1 0 0)) (F2L (pol 1 0 0)) (F2R (pol 1 0 0)))",
            "(See (F1L (pol -3 0 0)) (F1R (pol -3 0 0)) (F2L (pol -3 0 0)) (F2R (pol -3 0 0)))",
            std::string("(time (now 1.0))\0(HJ (n rlj5) (ax 5))", 37),
            "\xff\xfe\x01\x02(time (now \x80))",
            "(time (now 1.0))(GS (unum 1) (team right) (t 0) (pm BeforeKickOff))",
            "(GS (unum 0) (team left) (t 0) (pm BeforeKickOff))",
            "(GS (unum -1) (team left) (t 0) (pm Goal_Left))",
            "(GS (unum 12) (team right) (t 0) (pm KickOff_Left))",
            "(GS (unum 2) (team left) (t 0) (pm PlayOn))"};
}

std::vector<std::string> absurd_numbers()
{
    static const char* const numbers[] = {"nan",  "-nan", "NaN",     "inf",    "-inf",   "Infinity", "1e999",
                                          "-1e999", "1e308", "-1e308", "4.9e-324", "1e-400", "0x1p3",
                                          "123456789012345678901234567890", "-0", "+5", "2147483648",
                                          "-2147483649", "1e10"};
    static const char* const templates[] = {
        "(time (now #))",
        "(GS (t #) (pm PlayOn))",
        "(GS (unum #) (team left) (t 1) (pm PlayOn))",
        "(GS (unum 2) (team left) (t #) (pm PlayOn))",
        "(HJ (n rlj5) (ax #))",
        "(HJ (n raj1) (ax #))",
        "(HJ (n hj2) (ax #))",
        "(UJ (n lle2_3) (ax1 #) (ax2 #))",
        "(GYR (n torso) (rt # # #))",
        "(See (F1L (pol # 10 1)) (F2L (pol 7 # 1)) (F1R (pol 7 10 #)) (F2R (pol # # #)))",
        "(See (G1L (pol # # #)) (B (pol # # #)))",
        "(See (B (pol 0.3 # -50)))",
        "(See (P (team MERLO-Skyline) (id #) (pol 2 10 1)))",
        "(See (P (team MERLO-Skyline) (id 2) (pol # # #)))",
        "(See (P (team Opp) (id #) (pol # # #)))",
        "(FRP (n lf) (c # # #) (f # # #))",
        "(FRP (n rf) (c 0 0 0) (f # # #))",
        "(hear # 20 hello)",
        "(hear 1.0 # hello)",
        "(hear 1.0 20 pass(# # #))",
        "(mypos # # #)"};
    std::vector<std::string> out;
    for (const char* t : templates)
        for (const char* n : numbers) {
            std::string m = t;
            for (std::string::size_type at; (at = m.find('#')) != std::string::npos;) m.replace(at, 1, n);
            out.push_back(m);
            // The same inside a whole message, so that the value reaches the decisions.
            out.push_back(full_message(5.0) + m);
        }
    // Every number of a whole message replaced at once.
    for (const char* n : numbers) {
        const std::string m = full_message(1.0);
        std::string r, token;
        auto flush = [&]() {
            char* end = nullptr;
            if (!token.empty()) {
                std::strtod(token.c_str(), &end);
                r += (*end == '\0') ? std::string(n) : token;
            }
            token.clear();
        };
        for (char c : m) {
            if (c == ' ' || c == '(' || c == ')') {
                flush();
                r += c;
            } else {
                token += c;
            }
        }
        flush();
        out.push_back(r);
    }
    // Numbers of enormous length.
    out.push_back("(time (now " + std::string(5000, '9') + "))");
    out.push_back("(HJ (n rlj5) (ax 0." + std::string(5000, '1') + "))");
    out.push_back("(See (B (pol " + std::string(3000, '7') + " 1 1)))");
    return out;
}

std::vector<std::string> truncated()
{
    std::vector<std::string> out;
    const std::string m = full_message(2.0);
    for (std::size_t cut = 0; cut <= m.size(); cut += (cut < 64 ? 1 : 17)) out.push_back(m.substr(0, cut));
    // Cut from the front as well.
    for (std::size_t cut = 1; cut < m.size(); cut += 23) out.push_back(m.substr(cut));
    return out;
}

std::vector<std::string> random_text()
{
    static const char* const words[] = {
        "(",     ")",     " ",      "time",    "now",   "GS",    "unum",  "team",   "left",   "right",  "t",
        "pm",    "PlayOn", "BeforeKickOff", "Goal_Left", "KickOff_Right", "HJ", "n", "ax", "rlj5", "hj1", "llj3",
        "raj2",  "GYR",   "torso",  "rt",      "F1L",   "F2R",   "G1L",   "pol",    "B",      "P",      "id",
        "FRP",   "lf",    "rf",     "c",       "f",     "hear",  "self",  "pass",   "UJ",     "ax1",    "ax2",
        "mypos", "See",   "nan",    "inf",     "-1e300", "1e300", "0",    "-0.5",   "12.25",  "MERLO-Skyline",
        "((",    "))",    "\t",     "\n"};
    std::mt19937 rng(20240611);
    std::vector<std::string> out;
    for (int i = 0; i < 300; ++i) {
        std::string m;
        const int n = std::uniform_int_distribution<int>(0, 400)(rng);
        for (int k = 0; k < n; ++k) {
            const int pick = std::uniform_int_distribution<int>(0, 79)(rng);
            if (pick < static_cast<int>(sizeof words / sizeof words[0]))
                m += words[pick];
            else
                m += static_cast<char>(std::uniform_int_distribution<int>(0, 255)(rng));
        }
        out.push_back(m);
    }
    // Raw bytes, zeros included, up to the largest accepted length.
    for (int i = 0; i < 30; ++i) {
        const int n = std::uniform_int_distribution<int>(0, 16380)(rng);
        std::string m(static_cast<std::size_t>(n), '\0');
        for (char& c : m) c = static_cast<char>(std::uniform_int_distribution<int>(0, 255)(rng));
        out.push_back(m);
    }
    return out;
}

class BadInputTest : public ::testing::TestWithParam<BadInput> {};

TEST_P(BadInputTest, EveryMessageIsAnsweredAndTheAgentGoesOn)
{
    const std::vector<std::string> messages = GetParam().messages();
    Session s(GetParam().addr);
    ASSERT_TRUE(s.start());
    double t = 0.0;
    ASSERT_TRUE(s.warm_up(t));
    for (std::size_t i = 0; i < messages.size(); ++i) {
        std::string shown = messages[i].substr(0, 200);
        ASSERT_TRUE(s.exchange(messages[i])) << "message " << i << ": " << shown;
        // A sound message right after is still understood.
        t += 0.02;
        std::string reply;
        ASSERT_TRUE(s.exchange(full_message(t), &reply)) << "after message " << i << ": " << shown;
        ASSERT_NE(std::string::npos, reply.find("(he1 ")) << reply;
    }
    s.close_and_expect_orderly_end();
}

INSTANTIATE_TEST_SUITE_P(Kinds, BadInputTest,
                         ::testing::Values(BadInput{"127.0.0.132", "malformed", malformed},
                                           BadInput{"127.0.0.133", "absurd_numbers", absurd_numbers},
                                           BadInput{"127.0.0.134", "truncated", truncated},
                                           BadInput{"127.0.0.135", "random", random_text}),
                         [](const ::testing::TestParamInfo<BadInput>& i) { return std::string(i.param.name); });

// -------------------------------------------------------------------- lengths

TEST(Lengths, EveryLengthUpToTheLimitIsRead)
{
    Session s("127.0.0.136");
    ASSERT_TRUE(s.start());
    double t = 0.0;
    ASSERT_TRUE(s.warm_up(t));
    const std::string base = full_message(1.0);
    for (std::size_t n : {0ul, 1ul, 2ul, 3ul, 4ul, 5ul, 100ul, 1000ul, 4096ul, 8192ul, 16379ul, 16380ul}) {
        std::string m = base.substr(0, std::min(n, base.size()));
        m.resize(n, ' ');
        ASSERT_TRUE(s.exchange(m)) << "length " << n;
    }
    // The prefix and the payload arriving a byte at a time.
    const std::string block = testsupport::frame(full_message(3.0));
    for (char c : block) ASSERT_EQ(Io::ok, s.server().send_raw(std::string(1, c)));
    std::string reply;
    ASSERT_EQ(Io::ok, s.server().recv_frame(reply));
    // Two messages in one segment: two replies.
    ASSERT_EQ(Io::ok, s.server().send_raw(testsupport::frame(full_message(3.02)) + testsupport::frame(full_message(3.04))));
    ASSERT_EQ(Io::ok, s.server().recv_frame(reply));
    ASSERT_EQ(Io::ok, s.server().recv_frame(reply));
    s.close_and_expect_orderly_end();
}

TEST(Lengths, OverTheLimitIsTheOneDesignedAbort)
{
    const std::string addr = "127.0.0.137";
    for (unsigned long n : {16381ul, 16384ul, 65536ul, 0x7ffffffful, 0x80000000ul, 0xfffffffful}) {
        SCOPED_TRACE(n);
        Session s(addr);
        ASSERT_TRUE(s.start());
        double t = 0.0;
        ASSERT_TRUE(s.exchange(full_message(t += 0.02)));
        std::string block = testsupport::prefix(n);
        if (n == 16381ul) block += std::string(n, ' ');
        // The agent may abort before it has read everything: the send result is not checked.
        s.server().send_raw(block, 2000);
        ASSERT_TRUE(s.agent().wait(10000)) << "the agent did not end";
        EXPECT_TRUE(s.agent().signaled()) << "exit " << s.agent().exit_code();
        EXPECT_EQ(SIGABRT, s.agent().term_signal());
        EXPECT_NE(std::string::npos, s.agent().err().find("too long message; aborting\n")) << s.agent().err();
        EXPECT_EQ(std::string::npos, s.agent().out().find("closed connection to "));
    }
}

// ------------------------------------------------------- closing at any byte

// Starts an agent, lets it answer one message, then sends the first `cut`
// bytes of `block` and closes: the agent must end in an orderly way.
void close_after(const std::string& addr, const std::string& block, std::size_t cut)
{
    SCOPED_TRACE("closed after byte " + std::to_string(cut) + " of " + std::to_string(block.size()));
    Session s(addr);
    ASSERT_TRUE(s.start());
    ASSERT_TRUE(s.exchange(full_message(0.02)));
    if (cut > 0) {
        ASSERT_EQ(Io::ok, s.server().send_raw(block.substr(0, cut)));
    }
    if (cut == block.size()) {
        // A whole message: it is answered before the end is noticed.
        std::string reply;
        EXPECT_EQ(Io::ok, s.server().recv_frame(reply));
    }
    s.close_and_expect_orderly_end();
}

TEST(PeerCloses, AtEveryByteOfAShortMessage)
{
    const std::string block =
        testsupport::frame("(time (now 0.04))(GS (unum 2) (team left) (t 0.04) (pm PlayOn))(HJ (n rlj5) (ax 10))");
    for (std::size_t cut = 0; cut <= block.size(); ++cut) {
        close_after("127.0.0.138", block, cut);
        if (HasFatalFailure()) return;
    }
}

TEST(PeerCloses, AtSampledBytesOfARecordedMessage)
{
    const std::vector<std::string> messages = read_lines(testsupport::data_dir() + "/full-vision.txt");
    ASSERT_FALSE(messages.empty());
    const std::string block = testsupport::frame(messages[3]);
    for (std::size_t cut = 0; cut <= block.size(); cut += (cut < 8 ? 1 : 53)) {
        close_after("127.0.0.139", block, cut);
        if (HasFatalFailure()) return;
    }
    close_after("127.0.0.139", block, block.size() - 1);
    close_after("127.0.0.139", block, block.size());
}

TEST(PeerCloses, WhileRepliesAreStillOnTheirWay)
{
    // Several messages at once, then the server is gone before the agent has
    // answered them: its writes meet a closed connection.
    for (int n : {2, 5, 20}) {
        SCOPED_TRACE(n);
        Session s("127.0.0.140");
        ASSERT_TRUE(s.start());
        std::string burst;
        for (int i = 0; i < n; ++i) burst += testsupport::frame(full_message(0.02 * (i + 1)));
        ASSERT_EQ(Io::ok, s.server().send_raw(burst));
        s.close_and_expect_orderly_end();
    }
}

// ----------------------------------------------------------------- interrupts

TEST(Interrupt, WhileWaitingTheLoopEndsAfterTheNextReply)
{
    Session s("127.0.0.141");
    ASSERT_TRUE(s.start());
    double t = 0.0;
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(s.exchange(full_message(t += 0.02)));
    // Give the agent time to get back to its wait: an interrupt that comes
    // before it has looked at its loop flag ends the loop at once.
    wait_until_asleep(s.agent().pid());
    ASSERT_TRUE(s.agent().signal(SIGINT));
    ::usleep(50000);
    EXPECT_TRUE(s.agent().running()) << "the interrupt waits for the next message";
    ASSERT_TRUE(s.exchange(full_message(t += 0.02)));
    // No further message is read: the agent closes its end.
    EXPECT_EQ(Io::ok, s.server().wait_closed(10000));
    ASSERT_TRUE(s.agent().wait(10000));
    s.expect_exit_0();
}

TEST(Interrupt, InTheMiddleOfAMessage)
{
    const std::string block = testsupport::frame(full_message(0.04));
    for (std::size_t cut : {1ul, 4ul, 40ul, block.size() - 1}) {
        SCOPED_TRACE(cut);
        Session s("127.0.0.142");
        ASSERT_TRUE(s.start());
        ASSERT_TRUE(s.exchange(full_message(0.02)));
        ASSERT_EQ(Io::ok, s.server().send_raw(block.substr(0, cut)));
        wait_until_asleep(s.agent().pid());
        ASSERT_TRUE(s.agent().signal(SIGINT));
        ::usleep(20000);
        ASSERT_EQ(Io::ok, s.server().send_raw(block.substr(cut)));
        std::string reply;
        ASSERT_EQ(Io::ok, s.server().recv_frame(reply));
        EXPECT_EQ(Io::ok, s.server().wait_closed(10000));
        ASSERT_TRUE(s.agent().wait(10000));
        s.expect_exit_0();
    }
}

TEST(Interrupt, ManyInARowDuringAStream)
{
    Session s("127.0.0.143");
    ASSERT_TRUE(s.start());
    double t = 0.0;
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(s.exchange(full_message(t += 0.02)));
    wait_until_asleep(s.agent().pid());
    ASSERT_EQ(Io::ok, s.server().send_frame(full_message(t += 0.02)));
    for (int i = 0; i < 20; ++i) s.agent().signal(SIGINT);
    // The message in flight is answered; if this test was held up before its
    // interrupts went out, the agent may already be waiting for the next one,
    // which it then answers too. Never more.
    int replies = 0;
    for (int i = 0; i < 3; ++i) {
        std::string reply;
        if (s.server().recv_frame(reply, 3000) != Io::ok) break;
        ++replies;
        if (s.server().send_frame(full_message(t += 0.02)) != Io::ok) break;
    }
    EXPECT_GE(replies, 1);
    EXPECT_LE(replies, 2);
    ASSERT_TRUE(s.agent().wait(10000));
    s.expect_exit_0();
}

TEST(Interrupt, AtArbitraryMoments)
{
    // From right after the start (possibly before the agent exists) to the
    // middle of a game. Before the connection is up the interrupt may end the
    // process the default way; afterwards the end is the orderly one.
    const std::string addr = "127.0.0.144";
    for (int delay_us : {0, 100, 1000, 3000, 10000, 30000, 60000}) {
        SCOPED_TRACE(delay_us);
        LoopbackServer server(addr, PORT);
        ASSERT_TRUE(server.ok());
        Subprocess agent(testsupport::agent_binary(), {"--host=" + addr});
        ::usleep(static_cast<useconds_t>(delay_us));
        agent.signal(SIGINT);
        bool connected = false;
        for (int i = 0; i < 100 && !connected && agent.running(); ++i) connected = server.accept_client(20);
        if (connected) {
            std::string reply;
            server.recv_frame(reply, 2000);  // the scene
            double t = 0.0;
            for (int i = 0; i < 5; ++i) {
                if (server.send_frame(full_message(t += 0.02), 2000) != Io::ok) break;
                if (server.recv_frame(reply, 2000) != Io::ok) break;
            }
            server.close_client();
        }
        ASSERT_TRUE(agent.wait(10000)) << "the agent did not end";
        if (agent.signaled()) {
            EXPECT_EQ(SIGINT, agent.term_signal());
            EXPECT_EQ(std::string::npos, agent.out().find("closed connection to ")) << "ended before it connected";
        } else {
            EXPECT_EQ(0, agent.exit_code()) << agent.err();
            if (connected) {
                EXPECT_NE(std::string::npos, agent.out().find("closed connection to " + addr + ":3100\n"));
            }
        }
    }
}

TEST(Interrupt, BetweenMessagesAtEveryPointOfAShortGame)
{
    const std::string addr = "127.0.0.145";
    for (int k = 0; k < 8; ++k) {
        SCOPED_TRACE(k);
        Session s(addr);
        ASSERT_TRUE(s.start());
        double t = 0.0;
        for (int i = 0; i < k; ++i) ASSERT_TRUE(s.exchange(full_message(t += 0.02)));
        wait_until_asleep(s.agent().pid());
        ASSERT_TRUE(s.agent().signal(SIGINT));
        ASSERT_TRUE(s.exchange(full_message(t += 0.02)));
        EXPECT_EQ(Io::ok, s.server().wait_closed(10000));
        ASSERT_TRUE(s.agent().wait(10000));
        s.expect_exit_0();
    }
}

}  // namespace
