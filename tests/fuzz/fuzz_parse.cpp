// Feeds arbitrary bytes through the world model: grammar, handlers and the
// localisation of both sides. The input is split at line breaks into
// consecutive messages, so that the ring, stale slots and side changes are
// exercised too. Any derived value that is not a finite number aborts.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

#include "worldmodel/worldmodel.h"

namespace {

bool finite(const Worldmodel::TVector3& v)
{
    return std::isfinite(v.v_[0]) && std::isfinite(v.v_[1]) && std::isfinite(v.v_[2]);
}

void check(const Worldmodel::TStatus& s)
{
    bool ok = finite(s.position_) && finite(s.zax_) && std::isfinite(s.direction_) && finite(s.ball_xyz_);
    for (const auto& team : s.player_xyz_) {
        for (const auto& p : team.second) {
            ok = ok && finite(p.second);
        }
    }
    if (!ok) {
        std::fprintf(stderr, "derived value is not a finite number\n");
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // The slow-interval warning would flood the fuzzer's output.
    std::cerr.rdbuf(nullptr);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Worldmodel world("Blue");
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::size_t begin = 0;
    while (begin <= input.size()) {
        std::size_t end = input.find('\n', begin);
        if (end == std::string::npos) {
            end = input.size();
        }
        world.parse(input.substr(begin, end - begin));
        check(world.current_status());
        begin = end + 1;
    }
    return 0;
}
