// Everything the whole cycle writes, held to the byte on the benchmark's
// message sets: the replies, standard output and standard error each on their
// own, and both streams into one file, which shows how their writes
// interleave in a log of both. The expected digests were taken from the cycle
// before it was made cheaper (Synthetic, Mixed: when the forward took the gait;
// today's sets and Mixed again: when the head began to follow the ball and the
// place was filtered from fix to fix);
// any change in them is one that the server or a reader of the log would see.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <algorithm>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "agent/soccerbotbehavior.h"
#include "bench/message_sets.h"
#include "decision/tervalonaction.h"
#include "support/paths.h"

namespace {

std::uint64_t fnv1a(const std::string& s)
{
    std::uint64_t h = 14695981039346656037ull;
    for (unsigned char c : s) h = (h ^ c) * 1099511628211ull;
    return h;
}

std::string slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// The benchmark's sets write to standard error only at their first message.
// This one, past the benchmark's, makes both streams interleave: every second
// message jumps ahead in time (a slow-interval warning before the dump), and
// a joint of no effector (an error line after the motion's trace) turns up
// in some slots of the ring.
const int kMixed = messagesets::kCount;

std::vector<std::string> messages(int set)
{
    if (set != kMixed) return messagesets::messages(set);
    const std::vector<std::string>& a = messagesets::messages(3);
    const std::vector<std::string>& b = messagesets::messages(2);
    std::vector<std::string> out;
    for (std::size_t i = 0; i < 2 * std::min(a.size(), b.size()); ++i) {
        out.push_back(i % 2 ? a[i / 2] : b[i / 2]);
        if (i % 3 == 0) out.back() += "(HJ (n xlj9) (ax 1.5))";
    }
    return out;
}

std::string set_name(int set) { return set == kMixed ? "Mixed" : messagesets::name(set); }

// Two passes over the set, and at least 120 cycles: every slot of the ring
// is reused, and the time jumps back where a pass starts again.
std::size_t cycles(std::size_t messages) { return std::max<std::size_t>(2 * messages, 120); }

// Runs the set in a child process, so that the motions' per-process state
// starts afresh; out and err may be the same file.
bool run_set(int set, const std::string& out, const std::string& err, const std::string& replies)
{
    std::cout.flush();
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0) return false;
    if (pid == 0) {
        const int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int e = out == err ? ::dup(o) : ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (o < 0 || e < 0 || ::dup2(o, 1) < 0 || ::dup2(e, 2) < 0) ::_exit(2);
        std::string text;
        {
            boost::shared_ptr<Worldmodel> world(new Worldmodel("MERLO-Skyline"));
            boost::shared_ptr<Tervalonaction> decision(new Tervalonaction(world));
            SoccerbotBehavior behavior(world, decision);
            text += behavior.init() + '\n';
            const std::vector<std::string> msgs = messages(set);
            for (std::size_t i = 0; i < cycles(msgs.size()); ++i) text += behavior.think(msgs[i % msgs.size()]) + '\n';
        }
        std::cout.flush();
        std::fflush(nullptr);
        std::ofstream(replies, std::ios::binary) << text;
        ::_exit(0);
    }
    int status = 0;
    return ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// "<set> <stream> <bytes> <digest>" per line.
std::string expected(const std::string& set, const std::string& stream)
{
    std::ifstream in(testsupport::data_dir() + "/cycle-output.txt");
    std::string s, k, bytes, digest;
    while (in >> s >> k >> bytes >> digest)
        if (s == set && k == stream) return bytes + " " + digest;
    return "(none)";
}

class CycleOutput : public ::testing::TestWithParam<int> {};

TEST_P(CycleOutput, EveryByteOnEveryStreamAsBefore)
{
    const std::string set = set_name(GetParam());
    ASSERT_FALSE(messages(GetParam()).empty());
    char dir[] = "/tmp/cycle-output-XXXXXX";
    ASSERT_NE(nullptr, ::mkdtemp(dir));
    const std::string base = std::string(dir) + "/" + set;
    ASSERT_TRUE(run_set(GetParam(), base + ".out", base + ".err", base + ".replies"));
    ASSERT_TRUE(run_set(GetParam(), base + ".both", base + ".both", base + ".replies2"));
    bool same = true;
    for (const char* stream : {"replies", "out", "err", "both"}) {
        const std::string text = slurp(base + "." + stream);
        char actual[64];
        std::snprintf(actual, sizeof actual, "%zu %016llx", text.size(),
                      static_cast<unsigned long long>(fnv1a(text)));
        EXPECT_EQ(expected(set, stream), actual) << "line: " << set << " " << stream << " " << actual;
        same = same && expected(set, stream) == actual;
    }
    EXPECT_EQ(slurp(base + ".replies"), slurp(base + ".replies2"));
    if (same) {
        for (const char* ext : {".out", ".err", ".both", ".replies", ".replies2"}) std::remove((base + ext).c_str());
        ::rmdir(dir);
    } else {
        std::cout << "what the cycle wrote is kept in " << dir << '\n';
    }
}

INSTANTIATE_TEST_SUITE_P(MessageSets, CycleOutput, ::testing::Range(0, kMixed + 1),
                         [](const ::testing::TestParamInfo<int>& p) { return set_name(p.param); });

}  // namespace
