#ifndef TRAVONELQUIST_BENCH_MESSAGE_SETS_H
#define TRAVONELQUIST_BENCH_MESSAGE_SETS_H

// The message sets the whole cycle is timed on, shared with the test that
// holds the cycle's output to the byte on the same messages.
// TRAVONELQUIST_DATA names the folder of the recorded messages.

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace messagesets {

inline std::vector<std::string> recorded(const char* file)
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
inline std::vector<std::string> synthetic()
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

// 0-2: the standing robot's recordings and the synthetic game message;
// 3-4: today's server in a game from kick-off, one file per team.
const int kCount = 5;

inline int valid(int which) { return which >= 0 && which < kCount ? which : 0; }

inline const std::vector<std::string>& messages(int which)
{
    static const std::vector<std::string> sets[kCount] = {
        recorded("full-vision.txt"), recorded("restricted-vision.txt"), synthetic(),
        recorded("today-sync-left.txt"), recorded("today-sync-right.txt")};
    return sets[valid(which)];
}

inline const char* label(int which)
{
    static const char* const labels[kCount] = {"recorded full vision", "recorded restricted vision",
                                               "synthetic full message", "today's server, left team",
                                               "today's server, right team"};
    return labels[valid(which)];
}

// One word for each, for file and test names.
inline const char* name(int which)
{
    static const char* const names[kCount] = {"FullVision", "RestrictedVision", "Synthetic", "TodayLeft",
                                              "TodayRight"};
    return names[valid(which)];
}

}  // namespace messagesets

#endif
