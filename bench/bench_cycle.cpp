// The whole cycle: SoccerbotBehavior::think() from perception text to command
// text, on recorded and synthetic messages of both server generations, beside
// the bare grammar search on the same messages; and the resident size over
// 100,000 cycles.
//
// BM_Cycle and BM_CycleOutputToDevNull search each message with the bare
// grammar right after its cycle (outside the timed part), so that both are
// measured under the same conditions of a shared machine. They report, in
// the thread's CPU time (which another process's use of the processor does
// not inflate), per message set:
//   cycle_us, grammar_us        medians of a single cycle and a single search
//   x_grammar                   cycle_us / grammar_us
//   cycle_p99_us, grammar_p99_us  their 99th percentiles
//   x_grammar_p99               cycle_p99_us / grammar_p99_us
//   wall_x_grammar, wall_x_grammar_p99  the same ratios in wall time
// Goal: x_grammar and x_grammar_p99 <= 1.5; with the output written to
// /dev/null, <= 2.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <iostream>
#include <streambuf>
#include <string>
#include <unistd.h>
#include <vector>

#include <boost/regex.hpp>
#include <boost/shared_ptr.hpp>

#include "agent/soccerbotbehavior.h"
#include "bench/message_sets.h"
#include "decision/tervalonaction.h"
#include "perception/parser.h"
#include "worldmodel/worldmodel.h"

namespace {

using Clock = std::chrono::steady_clock;

// CPU time of this thread in microseconds: unlike wall time it does not count
// the moments another process had the processor.
double thread_cpu_us()
{
    timespec ts;
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e6 + static_cast<double>(ts.tv_nsec) * 1e-3;
}

// Swallows everything, without a system call.
class NullBuffer : public std::streambuf {
protected:
    int_type overflow(int_type c) override { return traits_type::not_eof(c); }
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

// While alive, the agent's standard output and error go nowhere. With
// through_devnull the bytes really are written, to /dev/null, as a run with
// its output sent there would do; otherwise the streams drop them.
class Silence {
public:
    explicit Silence(bool through_devnull) : devnull_(through_devnull)
    {
        std::cout.flush();
        std::fflush(stdout);
        if (devnull_) {
            saved_out_ = ::dup(1);
            saved_err_ = ::dup(2);
            const int null_fd = ::open("/dev/null", O_WRONLY);
            ::dup2(null_fd, 1);
            ::dup2(null_fd, 2);
            ::close(null_fd);
        } else {
            old_out_ = std::cout.rdbuf(&null_);
            old_err_ = std::cerr.rdbuf(&null_);
        }
    }
    ~Silence()
    {
        std::cout.flush();
        std::fflush(stdout);
        if (devnull_) {
            ::dup2(saved_out_, 1);
            ::dup2(saved_err_, 2);
            ::close(saved_out_);
            ::close(saved_err_);
        } else {
            std::cout.rdbuf(old_out_);
            std::cerr.rdbuf(old_err_);
        }
    }

private:
    bool devnull_;
    NullBuffer null_;
    std::streambuf* old_out_ = nullptr;
    std::streambuf* old_err_ = nullptr;
    int saved_out_ = -1;
    int saved_err_ = -1;
};

// Eleven a side on today's server, as the left goalkeeper sees it in play: a
// type-4 robot (two toe joints more, toe pressure too) on its line, with the
// other 21 robots at their formation places, every one in its view cone.
// Vision comes every third message, as the server sends it, or (the heaviest
// case) in every message.
const int kTwentyTwo = 22;
const int kTwentyTwoAllVision = 23;

std::vector<std::string> twenty_two(int vision_every)
{
    static const char* const joints[] = {"hj1",  "hj2",  "raj1", "raj2", "raj3", "raj4", "laj1", "laj2",
                                         "laj3", "laj4", "rlj1", "rlj2", "rlj3", "rlj4", "rlj5", "rlj6",
                                         "llj1", "llj2", "llj3", "llj4", "llj5", "llj6", "llj7", "rlj7"};
    // Formation places on the 12 x 8 m field, numbers 1-11; today's is 2.5 times that.
    static const double places[11][2] = {{-5.5, 0.0},  {-0.17, -0.04}, {-2.2, -1.5}, {-2.2, 1.5},
                                         {-4.2, -1.2}, {-4.2, 1.2},    {-0.8, 2.6},  {-0.8, -2.6},
                                         {-3.0, 0.0},  {-3.9, -2.9},   {-3.9, 2.9}};
    struct Part {
        const char* name;
        double dx, dy, z;
    };
    static const Part parts[] = {{"head", 0.0, 0.0, 0.5},
                                 {"rlowerarm", 0.0, -0.1, 0.25},
                                 {"llowerarm", 0.0, 0.1, 0.25},
                                 {"rfoot", 0.05, -0.05, 0.02},
                                 {"lfoot", 0.05, 0.05, 0.02}};
    // The landmarks in view: the far corner flags and goal posts.
    static const char* const mark_names[4] = {"F2R", "F1R", "G2R", "G1R"};
    static const double marks[4][3] = {{15.0, -10.0, 0.0}, {15.0, 10.0, 0.0}, {15.0, -1.05, 0.8}, {15.0, 1.05, 0.8}};
    std::vector<std::string> out;
    for (int k = 0; k < 100; ++k) {
        const double t = 30.0 + 0.02 * k;
        // The camera: half a metre up on the goal line, swaying a little.
        const double cx = -14.5, cy = 0.01 * (k % 5), cz = 0.5, heading = 2.0 * ((k % 9) - 4);
        std::ostringstream m;
        m.setf(std::ios::fixed);
        m.precision(3);
        auto pol = [&](double x, double y, double z) {
            const double dx = x - cx, dy = y - cy, dz = z - cz;
            const double d = std::sqrt(dx * dx + dy * dy + dz * dz);
            m << "(pol " << d << " " << std::atan2(dy, dx) * 180.0 / M_PI - heading << " "
              << std::asin(dz / d) * 180.0 / M_PI << ")";
        };
        m << "(time (now " << t << "))(GS " << (k == 0 ? "(unum 1) (team left) " : "") << "(sl 0) (sr 0) (t "
          << t - 20.0 << ") (pm PlayOn) (k left) (ti () ()))"
          << "(GYR (n torso) (rt 0.012 -0.340 0.051))(ACC (n torso) (a 0.010 0.120 9.790))"
          << "(HJ (n hj1) (ax 0.000))(HJ (n hj2) (ax -0.120))";
        if (k % vision_every == 0) {
            m << "(See";
            for (int i = 0; i < 4; ++i) {
                m << " (" << mark_names[i] << " ";
                pol(marks[i][0], marks[i][1], marks[i][2]);
                m << ")";
            }
            m << " (B ";
            pol(0.01 * k, 0.0, 0.042);
            m << ")";
            for (int team = 0; team < 2; ++team) {
                for (int n = 1; n <= 11; ++n) {
                    if (team == 0 && n == 1) continue;  // that is us
                    const double sign = team == 0 ? 1.0 : -1.0;
                    const double x = sign * 2.5 * places[n - 1][0], y = sign * 2.5 * places[n - 1][1];
                    m << " (P (team " << (team == 0 ? "MERLO-Skyline" : "Rivals") << ") (id " << n << ")";
                    for (const Part& p : parts) {
                        m << " (" << p.name << " ";
                        pol(x + sign * p.dx, y + sign * p.dy, p.z);
                        m << ")";
                    }
                    m << ")";
                }
            }
            m << ")";
        }
        for (int j = 2; j < 24; ++j)
            m << "(HJ (n " << joints[j] << ") (ax " << (j % 2 ? 1 : -1) * (10.0 + j + 0.1 * (k % 7)) << "))";
        m << "(FRP (n lf) (c 0.012 -0.020 -0.015) (f -0.110 0.330 22.650))"
          << "(FRP (n rf) (c -0.010 0.018 -0.015) (f 0.090 -0.280 21.870))"
          << "(FRP (n lf1) (c 0.010 0.005 -0.010) (f 0.010 0.020 1.250))"
          << "(FRP (n rf1) (c -0.010 0.005 -0.010) (f -0.010 0.020 1.190))";
        out.push_back(m.str());
    }
    return out;
}

const int kMessageSets = messagesets::kCount;

const std::vector<std::string>& messages(int which)
{
    static const std::vector<std::string> crowd = twenty_two(3), crowd_seen = twenty_two(1);
    if (which == kTwentyTwo) return crowd;
    if (which == kTwentyTwoAllVision) return crowd_seen;
    return messagesets::messages(which);
}

const char* label(int which)
{
    if (which == kTwentyTwo) return "today's server, 22 robots, all in view, vision every third message";
    if (which == kTwentyTwoAllVision) return "today's server, 22 robots, all in view, vision every message";
    return messagesets::label(which);
}

struct Agent {
    boost::shared_ptr<Worldmodel> world{new Worldmodel("MERLO-Skyline")};
    boost::shared_ptr<Tervalonaction> decision{new Tervalonaction(world)};
    SoccerbotBehavior behavior{world, decision};
};

double percentile(std::vector<double>& v, double p)
{
    if (v.empty()) return 0.0;
    const std::size_t k = std::min(v.size() - 1, static_cast<std::size_t>(p * static_cast<double>(v.size())));
    std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(k), v.end());
    return v[k];
}

// One timed single run: wall and thread CPU time, in microseconds.
struct Sample {
    double wall;
    double cpu;
};

struct Samples {
    std::vector<double> wall, cpu;
    Samples()
    {
        wall.reserve(1 << 20);
        cpu.reserve(1 << 20);
    }
    void add(const Sample& s)
    {
        if (wall.size() == wall.capacity()) return;
        wall.push_back(s.wall);
        cpu.push_back(s.cpu);
    }
};

template <class F>
Sample timed(F f)
{
    const double cpu_start = thread_cpu_us();
    const auto start = Clock::now();
    f();
    const auto stop = Clock::now();
    const double cpu_stop = thread_cpu_us();
    return Sample{std::chrono::duration<double, std::micro>(stop - start).count(), cpu_stop - cpu_start};
}

std::size_t grammar_search(const boost::regex& re, const std::string& m)
{
    std::size_t matches = 0;
    boost::sregex_iterator it(m.begin(), m.end(), re), end;
    for (; it != end; ++it) ++matches;
    return matches;
}

double ratio(double a, double b) { return b > 0.0 ? a / b : 0.0; }

void cycle(benchmark::State& state, bool through_devnull)
{
    const int which = static_cast<int>(state.range(0));
    const std::vector<std::string>& msgs = messages(which);
    if (msgs.empty()) {
        state.SkipWithError("no messages");
        return;
    }
    const boost::regex& re = perception_grammar();
    Agent agent;
    Samples cycles, searches;
    std::size_t bytes = 0, matches = 0;
    {
        Silence quiet(through_devnull);
        for (int i = 0; i < 50; ++i) agent.behavior.think(msgs[static_cast<std::size_t>(i) % msgs.size()]);
        std::size_t i = 0;
        for (auto _ : state) {
            const std::string& m = msgs[i++ % msgs.size()];
            std::string reply;
            cycles.add(timed([&] { reply = agent.behavior.think(m); }));
            benchmark::DoNotOptimize(reply);
            bytes += reply.size();
            state.PauseTiming();
            searches.add(timed([&] { matches += grammar_search(re, m); }));
            state.ResumeTiming();
        }
    }
    benchmark::DoNotOptimize(matches);
    const double cycle_us = percentile(cycles.cpu, 0.5), cycle_p99 = percentile(cycles.cpu, 0.99);
    const double grammar_us = percentile(searches.cpu, 0.5), grammar_p99 = percentile(searches.cpu, 0.99);
    state.counters["cycle_us"] = cycle_us;
    state.counters["cycle_p99_us"] = cycle_p99;
    state.counters["grammar_us"] = grammar_us;
    state.counters["grammar_p99_us"] = grammar_p99;
    state.counters["x_grammar"] = ratio(cycle_us, grammar_us);
    state.counters["x_grammar_p99"] = ratio(cycle_p99, grammar_p99);
    state.counters["wall_x_grammar"] = ratio(percentile(cycles.wall, 0.5), percentile(searches.wall, 0.5));
    state.counters["wall_x_grammar_p99"] = ratio(percentile(cycles.wall, 0.99), percentile(searches.wall, 0.99));
    state.counters["reply_bytes"] = benchmark::Counter(static_cast<double>(bytes), benchmark::Counter::kAvgIterations);
    state.SetLabel(label(which));
}

void BM_Cycle(benchmark::State& state) { cycle(state, false); }
void BM_CycleOutputToDevNull(benchmark::State& state) { cycle(state, true); }

// The bare grammar search alone.
void BM_GrammarSearch(benchmark::State& state)
{
    const int which = static_cast<int>(state.range(0));
    const std::vector<std::string>& msgs = messages(which);
    if (msgs.empty()) {
        state.SkipWithError("no messages");
        return;
    }
    const boost::regex& re = perception_grammar();
    Samples searches;
    std::size_t i = 0, matches = 0;
    for (auto _ : state) {
        const std::string& m = msgs[i++ % msgs.size()];
        searches.add(timed([&] { matches += grammar_search(re, m); }));
    }
    benchmark::DoNotOptimize(matches);
    state.counters["grammar_us"] = percentile(searches.cpu, 0.5);
    state.counters["grammar_p99_us"] = percentile(searches.cpu, 0.99);
    state.SetLabel(label(which));
}

long resident_kb()
{
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

// Resident size stays flat: nothing accumulates from cycle to cycle.
void BM_Memory100kCycles(benchmark::State& state)
{
    const std::vector<std::string>& synth = messages(2);
    const std::vector<std::string>& full = messages(0);
    const std::vector<std::string>& restricted = messages(1);
    long start_kb = 0, end_kb = 0;
    for (auto _ : state) {
        Agent agent;
        Silence quiet(false);
        auto message = [&](long i) -> const std::string& {
            switch (i % 3) {
            case 0: return synth[static_cast<std::size_t>(i / 3) % synth.size()];
            case 1: return full[static_cast<std::size_t>(i / 3) % full.size()];
            default: return restricted[static_cast<std::size_t>(i / 3) % restricted.size()];
            }
        };
        for (long i = 0; i < 1000; ++i) benchmark::DoNotOptimize(agent.behavior.think(message(i)));
        start_kb = resident_kb();
        for (long i = 0; i < 100000; ++i) benchmark::DoNotOptimize(agent.behavior.think(message(i)));
        end_kb = resident_kb();
    }
    state.counters["start_rss_kb"] = static_cast<double>(start_kb);
    state.counters["end_rss_kb"] = static_cast<double>(end_kb);
    state.counters["growth_kb"] = static_cast<double>(end_kb - start_kb);
}

}  // namespace

BENCHMARK(BM_Cycle)->DenseRange(0, kMessageSets - 1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CycleOutputToDevNull)->DenseRange(0, kMessageSets - 1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GrammarSearch)->DenseRange(0, kMessageSets - 1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Cycle)->Arg(kTwentyTwo)->Arg(kTwentyTwoAllVision)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Memory100kCycles)->Iterations(1)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
