#include "worldmodel/worldmodel.h"

#include <iostream>

namespace {

void put(std::ostream& out, const Worldmodel::TVector3& v)
{
    out << v.v_[0] << ": " << v.v_[1] << ": " << v.v_[2];
}

}  // namespace

void Worldmodel::TStatus::dump() const
{
    std::ostream& out = std::cout;
    out << "(TIME): " << time_ << std::endl;
    out << "(POSITION): ";
    put(out, position_);
    out << std::endl;
    out << "(ZAXIS): ";
    put(out, zax_);
    out << std::endl;
    out << "(BALL): ";
    put(out, ball_);
    out << std::endl;
    out << "(GS): " << gs_time_ << ": " << gs_pm_ << ": " << std::endl;
    for (std::map<std::string, TVector3>::const_iterator it = gyr_.begin(); it != gyr_.end(); ++it) {
        out << "(GYR): " << it->first << ": ";
        put(out, it->second);
        out << std::endl;
    }
    for (std::map<std::string, TFrpValue>::const_iterator it = frp_.begin(); it != frp_.end(); ++it) {
        const TFrpValue& f = it->second;
        out << "(FRP): " << it->first << ": c( " << f.c_.v_[0] << ", " << f.c_.v_[1] << ", "
            << f.c_.v_[2] << ") f( " << f.f_.v_[0] << ", " << f.f_.v_[1] << ", " << f.f_.v_[2]
            << ")" << std::endl;
    }
    for (std::map<std::string, double>::const_iterator it = hj_.begin(); it != hj_.end(); ++it) {
        out << "(HJ): " << it->first << ": " << it->second << std::endl;
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
