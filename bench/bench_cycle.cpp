// The whole cycle: SoccerbotBehavior::think() from perception text to command
// text, on recorded and synthetic messages of both server generations, beside
// the bare grammar search on the same messages; and the resident size over
// 100,000 cycles.
//
// Each timed benchmark reports, besides Google Benchmark's mean, the median
// and 99th percentile of single cycles in wall time (median_us, p99_us) and in
// the thread's CPU time (cpu_median_us, cpu_p99_us, which a busy machine does
// not inflate), the bare grammar search's median on the same messages
// (grammar_us) and the ratio of the two medians (x_grammar).
// Goal: x_grammar <= 2 and p99 under 100 us, on every message set.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <iostream>
#include <sstream>
#include <streambuf>
#include <string>
#include <unistd.h>
#include <vector>

#include <boost/regex.hpp>
#include <boost/shared_ptr.hpp>

#include "agent/soccerbotbehavior.h"
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

std::vector<std::string> recorded(const char* file)
{
    std::vector<std::string> lines;
    std::ifstream in(std::string(TRAVONELQUIST_DATA) + "/" + file);
    std::string line;
    while (std::getline(in, line))
        if (!line.empty()) lines.push_back(line);
    return lines;
}

// A full message of a game in progress, as a server with all-round vision
// sends it: every joint, all landmarks, the ball, teammates and opponents.
std::vector<std::string> synthetic()
{
    static const char* const joints[] = {"hj1",  "hj2",  "raj1", "raj2", "raj3", "raj4", "laj1", "laj2",
                                         "laj3", "laj4", "rlj1", "rlj2", "rlj3", "rlj4", "rlj5", "rlj6",
                                         "llj1", "llj2", "llj3", "llj4", "llj5", "llj6"};
    std::vector<std::string> out;
    for (int k = 0; k < 100; ++k) {
        const double t = 12.0 + 0.02 * k;
        std::ostringstream m;
        m.setf(std::ios::fixed);
        m.precision(3);
        m << "(time (now " << t << "))(GS (unum 2) (team left) (t " << t - 6.0 << ") (pm PlayOn))"
          << "(GYR (n torso) (rt 0.012 -0.340 0.051))(ACC (n torso) (a 0.010 0.120 9.790))"
          << "(HJ (n hj1) (ax 0.000))(HJ (n hj2) (ax -0.120))"
          << "(See (G1L (pol 5.201 172.310 5.002)) (G2L (pol 5.340 -166.110 4.880))"
          << " (G2R (pol 6.720 -11.450 3.870)) (G1R (pol 6.610 1.230 3.930))"
          << " (F1L (pol 6.420 141.780 -4.470)) (F2L (pol 6.790 -137.940 -4.230))"
          << " (F1R (pol 7.800 31.560 -3.680)) (F2R (pol 8.110 -34.440 -3.540))"
          << " (B (pol " << 1.2 - 0.005 * k << " " << 8.0 - 0.05 * k << " -21.300))"
          << " (P (team MERLO-Skyline) (id 1) (pol 5.500 178.100 -4.800))"
          << " (P (team MERLO-Skyline) (id 3) (pol 2.300 -130.500 -9.100))"
          << " (P (team Opponents) (id 2) (pol 3.100 20.400 -7.200))"
          << " (P (team Opponents) (id 1) (pol 6.900 3.200 -3.500)))";
        for (int j = 2; j < 22; ++j)
            m << "(HJ (n " << joints[j] << ") (ax " << (j % 2 ? 1 : -1) * (10.0 + j + 0.1 * (k % 7)) << "))";
        m << "(FRP (n lf) (c 0.012 -0.020 -0.015) (f -0.110 0.330 22.650))"
          << "(FRP (n rf) (c -0.010 0.018 -0.015) (f 0.090 -0.280 21.870))";
        out.push_back(m.str());
    }
    return out;
}

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

// 0-2: the standing robot's recordings and the synthetic game message;
// 3-4: today's server in a game from kick-off, one file per team.
const int kMessageSets = 5;

const std::vector<std::string>& messages(int which)
{
    static const std::vector<std::string> crowd = twenty_two(3), crowd_seen = twenty_two(1);
    if (which == kTwentyTwo) return crowd;
    if (which == kTwentyTwoAllVision) return crowd_seen;
    static const std::vector<std::string> sets[kMessageSets] = {
        recorded("full-vision.txt"), recorded("restricted-vision.txt"), synthetic(),
        recorded("today-sync-left.txt"), recorded("today-sync-right.txt")};
    return sets[which >= 0 && which < kMessageSets ? which : 0];
}

const char* label(int which)
{
    if (which == kTwentyTwo) return "today's server, 22 robots, all in view, vision every third message";
    if (which == kTwentyTwoAllVision) return "today's server, 22 robots, all in view, vision every message";
    static const char* const labels[kMessageSets] = {"recorded full vision", "recorded restricted vision",
                                                     "synthetic full message", "today's server, left team",
                                                     "today's server, right team"};
    return labels[which >= 0 && which < kMessageSets ? which : 0];
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

// Median time of one grammar search over a message, in microseconds, from
// whole passes over the messages adding up to at least `searches`.
double grammar_median_us(const std::vector<std::string>& msgs, std::size_t searches)
{
    const boost::regex& re = perception_grammar();
    const std::size_t rounds = std::max<std::size_t>(1, (searches + msgs.size() - 1) / msgs.size());
    std::vector<double> t;
    t.reserve(rounds * msgs.size());
    std::size_t matches = 0;
    for (std::size_t r = 0; r < rounds; ++r)
        for (const std::string& m : msgs) {
            const auto start = Clock::now();
            boost::sregex_iterator it(m.begin(), m.end(), re), end;
            for (; it != end; ++it) ++matches;
            t.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
        }
    benchmark::DoNotOptimize(matches);
    return percentile(t, 0.5);
}

void cycle(benchmark::State& state, bool through_devnull)
{
    const int which = static_cast<int>(state.range(0));
    const std::vector<std::string>& msgs = messages(which);
    if (msgs.empty()) {
        state.SkipWithError("no messages");
        return;
    }
    Agent agent;
    std::vector<double> times, cpu;
    times.reserve(1 << 20);
    cpu.reserve(1 << 20);
    std::size_t bytes = 0;
    {
        Silence quiet(through_devnull);
        for (int i = 0; i < 50; ++i) agent.behavior.think(msgs[static_cast<std::size_t>(i) % msgs.size()]);
        std::size_t i = 0;
        for (auto _ : state) {
            const std::string& m = msgs[i++ % msgs.size()];
            const double cpu_start = thread_cpu_us();
            const auto start = Clock::now();
            std::string reply = agent.behavior.think(m);
            const auto stop = Clock::now();
            const double cpu_stop = thread_cpu_us();
            benchmark::DoNotOptimize(reply);
            bytes += reply.size();
            if (times.size() < times.capacity()) {
                times.push_back(std::chrono::duration<double, std::micro>(stop - start).count());
                cpu.push_back(cpu_stop - cpu_start);
            }
        }
    }
    const double median = percentile(times, 0.5);
    const double p99 = percentile(times, 0.99);
    const double grammar = grammar_median_us(msgs, 6000);
    state.counters["median_us"] = median;
    state.counters["p99_us"] = p99;
    state.counters["cpu_median_us"] = percentile(cpu, 0.5);
    state.counters["cpu_p99_us"] = percentile(cpu, 0.99);
    state.counters["grammar_us"] = grammar;
    state.counters["x_grammar"] = grammar > 0.0 ? median / grammar : 0.0;
    state.counters["reply_bytes"] = benchmark::Counter(static_cast<double>(bytes), benchmark::Counter::kAvgIterations);
    state.SetLabel(label(which));
}

void BM_Cycle(benchmark::State& state) { cycle(state, false); }
void BM_CycleOutputToDevNull(benchmark::State& state) { cycle(state, true); }

// The bare grammar search, for the side-by-side comparison.
void BM_GrammarSearch(benchmark::State& state)
{
    const int which = static_cast<int>(state.range(0));
    const std::vector<std::string>& msgs = messages(which);
    if (msgs.empty()) {
        state.SkipWithError("no messages");
        return;
    }
    const boost::regex& re = perception_grammar();
    std::vector<double> times, cpu;
    times.reserve(1 << 20);
    cpu.reserve(1 << 20);
    std::size_t i = 0, matches = 0;
    for (auto _ : state) {
        const std::string& m = msgs[i++ % msgs.size()];
        const double cpu_start = thread_cpu_us();
        const auto start = Clock::now();
        boost::sregex_iterator it(m.begin(), m.end(), re), end;
        for (; it != end; ++it) ++matches;
        const auto stop = Clock::now();
        const double cpu_stop = thread_cpu_us();
        if (times.size() < times.capacity()) {
            times.push_back(std::chrono::duration<double, std::micro>(stop - start).count());
            cpu.push_back(cpu_stop - cpu_start);
        }
    }
    benchmark::DoNotOptimize(matches);
    state.counters["median_us"] = percentile(times, 0.5);
    state.counters["p99_us"] = percentile(times, 0.99);
    state.counters["cpu_median_us"] = percentile(cpu, 0.5);
    state.counters["cpu_p99_us"] = percentile(cpu, 0.99);
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
BENCHMARK(BM_CycleOutputToDevNull)->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GrammarSearch)->DenseRange(0, kMessageSets - 1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Cycle)->Arg(kTwentyTwo)->Arg(kTwentyTwoAllVision)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GrammarSearch)->Arg(kTwentyTwo)->Arg(kTwentyTwoAllVision)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Memory100kCycles)->Iterations(1)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
