// One message through the grammar alone, and through the whole world model
// (grammar, handlers, localisation, ball and players), side by side: the
// difference is what the handlers' conversions and map writes cost.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "worldmodel/worldmodel.h"

namespace {

std::vector<std::string> recorded()
{
    std::vector<std::string> out;
    for (const char* name : {"/full-vision.txt", "/restricted-vision.txt"}) {
        std::ifstream in(std::string(TRAVONELQUIST_DATA) + name);
        std::string line;
        while (std::getline(in, line)) {
            if (!line.empty()) {
                out.push_back(line);
            }
        }
    }
    return out;
}

// A full message of the forms the grammar knows, as a left-side robot at
// (-2, 1) with its camera 0.45 m high and heading 30 would see it.
std::string synthetic()
{
    const double pi = 3.141592653589793;
    const double x = -2, y = 1, z = 0.45, heading = 30 * pi / 180;
    char buf[200];
    auto polar = [&](const char* name, double fx, double fy, double fz) {
        const double dx = fx - x, dy = fy - y, dz = fz - z;
        const double cx = std::cos(heading) * dx + std::sin(heading) * dy;
        const double cy = -std::sin(heading) * dx + std::cos(heading) * dy;
        const double r = std::sqrt(cx * cx + cy * cy + dz * dz);
        std::snprintf(buf, sizeof buf, " (%s (pol %.3f %.3f %.3f))", name, r,
                      std::atan2(cy, cx) * 180 / pi, std::asin(dz / r) * 180 / pi);
        return std::string(buf);
    };
    std::string m = "(time (now 123.460))(GS (unum 2) (team left) (t 63.200) (pm PlayOn))";
    m += "(GYR (n torso) (rt 0.121 -1.352 0.043))";
    const char* joints[] = {"hj1",  "hj2",  "raj1", "raj2", "raj3", "raj4", "laj1", "laj2",
                            "laj3", "laj4", "rlj1", "rlj2", "rlj3", "rlj4", "rlj5", "rlj6",
                            "llj1", "llj2", "llj3", "llj4", "llj5", "llj6"};
    for (int k = 0; k < 22; ++k) {
        std::snprintf(buf, sizeof buf, "(HJ (n %s) (ax %.3f))", joints[k], -45.0 + 4.37 * k);
        m += buf;
    }
    m += "(FRP (n lf) (c 0.021 -0.013 -0.020) (f -0.132 0.451 22.413))";
    m += "(FRP (n rf) (c -0.012 0.011 -0.020) (f 0.214 -0.372 23.071))";
    m += "(See";
    m += polar("F1L", -6, 4, 0) + polar("F2L", -6, -4, 0) + polar("F1R", 6, 4, 0) + polar("F2R", 6, -4, 0);
    m += polar("G1L", -6, 0.7, 0.4) + polar("G2L", -6, -0.7, 0.4) + polar("G1R", 6, 0.7, 0.4) +
         polar("G2R", 6, -0.7, 0.4);
    m += polar("B", -1, 1.5, 0.04);
    const double players[][3] = {{1, -5.5, 0}, {3, 1, -1}, {4, 2.5, 2},  {5, 0.5, -2.5}, {6, -3, 2},
                                 {1, 4, 0.5},  {2, 5, -3}, {3, 3, 3},   {4, 1.5, 0.2},  {5, 5.5, 1},
                                 {6, 2, -0.5}};
    for (int k = 0; k < 11; ++k) {
        std::string p = polar("X", players[k][1], players[k][2], 0.4);
        std::snprintf(buf, sizeof buf, " (P (team %s) (id %d)", k < 5 ? "Blue" : "Red",
                      static_cast<int>(players[k][0]));
        m += buf + p.substr(3);  // " (X (pol …))" becomes " (P …) (pol …))"
    }
    m += ")(hear 123.400 -35.500 ready)(hear 123.420 10.250 pass(1.500 -2.000 0.000))";
    return m;
}

const std::vector<std::string>& recorded_messages()
{
    static const std::vector<std::string> messages = recorded();
    return messages;
}

const std::vector<std::string>& synthetic_messages()
{
    static const std::vector<std::string> messages(1, synthetic());
    return messages;
}

struct NoOp {
    bool operator()(const Parser::match_results&) const { return true; }
};

void search(benchmark::State& state, const std::vector<std::string>& messages)
{
    std::size_t bytes = 0;
    for (const std::string& m : messages) {
        bytes += m.size();
    }
    for (auto _ : state) {
        for (const std::string& m : messages) {
            unsigned n = boost::regex_grep(NoOp(), m.begin(), m.end(), perception_grammar());
            benchmark::DoNotOptimize(n);
        }
    }
    state.SetItemsProcessed(state.iterations() * messages.size());
    state.SetBytesProcessed(state.iterations() * bytes);
}

void parse(benchmark::State& state, const std::vector<std::string>& messages)
{
    std::size_t bytes = 0;
    for (const std::string& m : messages) {
        bytes += m.size();
    }
    Worldmodel world("Blue");
    for (auto _ : state) {
        for (const std::string& m : messages) {
            world.parse(m);
            benchmark::DoNotOptimize(world.current_status().direction_);
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * messages.size());
    state.SetBytesProcessed(state.iterations() * bytes);
}

void BM_Search_Synthetic(benchmark::State& state) { search(state, synthetic_messages()); }
void BM_Parse_Synthetic(benchmark::State& state) { parse(state, synthetic_messages()); }
void BM_Search_Recorded(benchmark::State& state) { search(state, recorded_messages()); }
void BM_Parse_Recorded(benchmark::State& state) { parse(state, recorded_messages()); }

BENCHMARK(BM_Search_Synthetic);
BENCHMARK(BM_Parse_Synthetic);
BENCHMARK(BM_Search_Recorded);
BENCHMARK(BM_Parse_Recorded);

}  // namespace

int main(int argc, char** argv)
{
    // The recorded messages jump in time between the two recordings; the
    // slow-interval warning is not what is measured here.
    std::cerr.rdbuf(nullptr);
    Worldmodel check("Blue");
    check.parse(synthetic());
    const Worldmodel::TStatus& s = check.current_status();
    std::fprintf(stdout,
                 "synthetic message: %zu bytes, localised at (%.3f, %.3f, %.3f) heading %.2f, "
                 "%zu joints, %zu teammates placed; recorded: %zu messages\n",
                 synthetic().size(), s.position_.v_[0], s.position_.v_[1], s.position_.v_[2],
                 s.direction_, s.hj_.size(), s.player_xyz_.count("mate") ? s.player_xyz_.at("mate").size() : 0,
                 recorded_messages().size());
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
