#include "worldmodel/worldmodel.h"

#include <algorithm>
#include <limits>

Worldmodel::Worldmodel(const std::string& teamname)
    : Parser(), teamname_(teamname), side_(S_ERROR), number_(0), count_(0), step_(0)
{
}

const Worldmodel::TStatus& Worldmodel::status_history(int i) const
{
    const int bound = std::min<std::int32_t>(9, step_);
    i = std::max(0, std::min(i, bound));
    return status_[(step_ - i) % 10];
}

void Worldmodel::parse(const std::string& message)
{
    // Wrap the counter before it would overflow, onto a value that names the
    // same next slot and keeps a full history behind it.
    if (step_ == std::numeric_limits<std::int32_t>::max()) {
        step_ = 10 + step_ % 10;
    }
    ++step_;
    carry_estimates();
    frpzero();
    Parser::parse(message);
    TStatus& cur = current_status();
    // Without vision the flags and ball the slot holds are ten or more cycles
    // old: the estimates carried over from the previous cycle are better.
    if (!cur.fresh(TStatus::FRESH_VISION)) {
        return;
    }
    if (side_ == S_LEFT) {
        cur.calc_position();
    } else {
        cur.calc_position_opp();
    }
}

void Worldmodel::carry_estimates()
{
    // The localisation writes only what this message lets it compute; whatever
    // it cannot compute then stays at the previous cycle's estimate instead of
    // one from ten cycles ago.
    TStatus& cur = current_status();
    const TStatus& prev = status_[(step_ - 1) % 10];
    cur.position_ = prev.position_;
    cur.zax_ = prev.zax_;
    cur.torso_up_ = prev.torso_up_;
    cur.direction_ = prev.direction_;
    cur.ball_xyz_ = prev.ball_xyz_;
    // Entry by entry, so that a slot that has held these players before
    // allocates nothing.
    for (const auto& team : prev.player_xyz_) {
        std::map<int, TVector3>& out = cur.player_xyz_[team.first];
        for (const auto& p : team.second) {
            out[p.first] = p.second;
        }
    }
    cur.fresh_ = 0;
}

void Worldmodel::frpzero()
{
    TStatus& cur = current_status();
    cur.frp_["rf"] = TFrpValue();
    cur.frp_["lf"] = TFrpValue();
}
