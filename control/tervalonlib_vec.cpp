#include <cmath>
#include <iostream>

#include "control/tervalonlib.h"

typedef Tervalonlib::TVector3 TVector3;

namespace {
const double kPi = 3.141592653589793;
}  // namespace

double vec3_check_theta(double theta)
{
    if (theta > 180.0) return theta - 360.0;
    if (theta < -180.0) return theta + 360.0;
    return theta;
}

TVector3 Tervalonlib::vec3_add(TVector3 vec1, TVector3 vec2)
{
    return TVector3(vec1.v_[0] + vec2.v_[0], vec1.v_[1] + vec2.v_[1], vec1.v_[2] + vec2.v_[2]);
}

TVector3 Tervalonlib::vec3_sub(TVector3 vec1, TVector3 vec2)
{
    return TVector3(vec1.v_[0] - vec2.v_[0], vec1.v_[1] - vec2.v_[1], vec1.v_[2] - vec2.v_[2]);
}

TVector3 Tervalonlib::vec3_scale(TVector3 vec1, double scale)
{
    return TVector3(vec1.v_[0] * scale, vec1.v_[1] * scale, vec1.v_[2] * scale);
}

double Tervalonlib::vec3_dot(TVector3 vec1, TVector3 vec2)
{
    return vec1.v_[0] * vec2.v_[0] + vec1.v_[1] * vec2.v_[1] + vec1.v_[2] * vec2.v_[2];
}

double Tervalonlib::vec3_length(TVector3 vec) { return std::sqrt(vec3_dot(vec, vec)); }

TVector3 Tervalonlib::vec3_normalized(TVector3 vec)
{
    const double len = vec3_length(vec);
    if (!(len > 0.0)) return TVector3();
    return vec3_scale(vec, 1.0 / len);
}

TVector3 Tervalonlib::goal_pos(std::string str)
{
    const double goal_x = world_->field().half_length;
    if (str == "own") return TVector3(-goal_x, 0.0, 0.0);
    if (str == "opp") return TVector3(goal_x, 0.0, 0.0);
    std::cerr << "Tervalonlib::check_goalpos() str = " << str << " side_ = " << world_->side()
              << std::endl;
    return TVector3();
}

TVector3 Tervalonlib::vec3_goto_xyz(TVector3 vec1, TVector3 vec2, double scale)
{
    const TVector3 u = vec3_normalized(vec3_sub(vec2, vec1));
    return vec3_add(vec2, vec3_scale(u, scale));
}

TVector3 Tervalonlib::vec3_goto_pos(TVector3 vec)
{
    const Worldmodel::TStatus& st = world_->current_status();
    TVector3 s = vec3_sub(vec, st.position_);
    s.v_[2] = 0.0;
    const double distance = vec3_length(s);
    const double sign = (vec.v_[1] < st.position_.v_[1]) ? -1.0 : 1.0;
    double cosine = vec3_dot(vec3_normalized(s), TVector3(1.0, 0.0, 0.0));
    // Keep rounding from stepping outside acos's domain; NaN passes through.
    if (cosine > 1.0) {
        cosine = 1.0;
    } else if (cosine < -1.0) {
        cosine = -1.0;
    }
    const double a = vec3_check_theta(std::acos(cosine) * 180.0 / kPi);
    const double theta = vec3_check_theta(sign * a - st.direction_);
    return TVector3(distance, theta, 0.0);
}
