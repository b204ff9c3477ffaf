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
    if (side_ == S_LEFT) {
        current_status().calc_position();
    } else {
        current_status().calc_position_opp();
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
    cur.direction_ = prev.direction_;
    cur.ball_xyz_ = prev.ball_xyz_;
}

void Worldmodel::frpzero()
{
    TStatus& cur = current_status();
    cur.frp_["rf"] = TFrpValue();
    cur.frp_["lf"] = TFrpValue();
}
