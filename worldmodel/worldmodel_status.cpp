#include "worldmodel/worldmodel.h"

#include <charconv>
#include <iostream>

namespace {

// Writes v as the stream's default format would (six significant digits,
// general notation), without the stream's printf round trip: the dump runs
// every cycle and is most of the cycle's formatting.
struct Num {
    double v;
};

std::ostream& operator<<(std::ostream& out, Num n)
{
    char buf[32];
    const std::to_chars_result r = std::to_chars(buf, buf + sizeof buf, n.v, std::chars_format::general, 6);
    return out.write(buf, r.ptr - buf);
}

void put(std::ostream& out, const Worldmodel::TVector3& v)
{
    out << Num{v.v_[0]} << ": " << Num{v.v_[1]} << ": " << Num{v.v_[2]};
}

}  // namespace

void Worldmodel::TStatus::dump() const
{
    std::ostream& out = std::cout;
    out << "(TIME): " << Num{time_} << std::endl;
    out << "(POSITION): ";
    put(out, position_);
    out << std::endl;
    out << "(ZAXIS): ";
    put(out, zax_);
    out << std::endl;
    out << "(BALL): ";
    put(out, ball_);
    out << std::endl;
    if (today_) {
        // Today's server only: the classic dump stays as it always was.
        out << "(DIRECTION): " << Num{direction_} << std::endl;
        out << "(GS): " << Num{gs_time_} << ": " << gs_pm_ << ": " << score_left_ << ": " << score_right_
            << ": " << kickoff_ << ": " << std::endl;
    } else {
        out << "(GS): " << Num{gs_time_} << ": " << gs_pm_ << ": " << std::endl;
    }
    for (std::map<std::string, TVector3>::const_iterator it = gyr_.begin(); it != gyr_.end(); ++it) {
        out << "(GYR): " << it->first << ": ";
        put(out, it->second);
        out << std::endl;
    }
    for (std::map<std::string, TFrpValue>::const_iterator it = frp_.begin(); it != frp_.end(); ++it) {
        const TFrpValue& f = it->second;
        out << "(FRP): " << it->first << ": c( " << Num{f.c_.v_[0]} << ", " << Num{f.c_.v_[1]} << ", "
            << Num{f.c_.v_[2]} << ") f( " << Num{f.f_.v_[0]} << ", " << Num{f.f_.v_[1]} << ", "
            << Num{f.f_.v_[2]} << ")" << std::endl;
    }
    for (std::map<std::string, double>::const_iterator it = hj_.begin(); it != hj_.end(); ++it) {
        out << "(HJ): " << it->first << ": " << Num{it->second} << std::endl;
    }
}

void Worldmodel::TStatus::clear()
{
    time_ = 0.0;
    gs_time_ = 0.0;
    hear_pos_ = 0.0;
    gs_pm_.clear();
    hear_message_.clear();
    ball_ = TVector3();
    position_ = TVector3();
    position_mypos_ = TVector3();
    zax_ = TVector3();
    hj_.clear();
    uj_.clear();
    flag_.clear();
    gyr_.clear();
    player_.clear();
    frp_.clear();
}
