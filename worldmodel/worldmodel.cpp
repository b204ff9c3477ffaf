#include "worldmodel/worldmodel.h"

#include <cmath>

#include "worldmodel/body_frame.h"
#include "worldmodel/landmarks.h"

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
    seen_player_count_ = 0;
    {
        // Set for the callbacks of this message alone, even if one throws.
        struct ParseScope {
            Worldmodel& w;
            explicit ParseScope(Worldmodel& world) : w(world)
            {
                w.in_parse_ = true;
                w.hj_last_ = w.current_status().hj_.end();
            }
            ~ParseScope() { w.in_parse_ = false; }
        } scope(*this);
        Parser::parse(message);
    }
    TStatus& cur = current_status();
    if (generation_ == GEN_TODAY) {
        cur.today_ = true;
        localise_today(cur);
        return;
    }
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

namespace {

double angle_of(const Worldmodel::TStatus& s, const char* joint)
{
    const std::map<std::string, double>::const_iterator it = s.hj_.find(joint);
    return it == s.hj_.end() ? 0.0 : it->second;
}

bool finite3(const Worldmodel::TVector3& v)
{
    return std::isfinite(v.v_[0]) && std::isfinite(v.v_[1]) && std::isfinite(v.v_[2]);
}

// Accelerometer readings this far from gravity are mostly the body's own
// acceleration (a landing, a beam): they say little about the tilt.
const double kGravity = 9.81;
const double kGravityBand = 3.0;
// Share of a new reading in the tilt: steadies the jolts of a step, yet a
// fall shows within a few cycles.
const double kTiltShare = 0.4;
// With the gyroscope turning the tilt on from cycle to cycle, the
// accelerometer only keeps it from drifting: the sway of a walk accelerates
// the body by a metre a second squared, seven degrees off in roll.
const double kTiltShareWithGyro = 0.02;
const double kCycle = 0.02;
const double kRadian = 3.141592653589793 / 180.0;
// The steady tilt this far (cos 20 degrees) from the plain one has lost its
// way (a fall's jolts): it starts again from the plain one.
const double kSteadyAgreement = 0.94;

}  // namespace

void Worldmodel::blend_accelerometer(TStatus& s, double share, TVector3& up_out) const
{
    if (!s.fresh(TStatus::FRESH_ACC)) return;
    const TVector3& a = s.acc_["torso"];
    const double g = std::sqrt(a.v_[0] * a.v_[0] + a.v_[1] * a.v_[1] + a.v_[2] * a.v_[2]);
    TVector3 up;
    if (!(std::fabs(g - kGravity) < kGravityBand) || !up_from_accelerometer(a, up)) return;
    TVector3 m;
    for (int k = 0; k < 3; ++k) m.v_[k] = (1.0 - share) * up_out.v_[k] + share * up.v_[k];
    const double n = std::sqrt(m.v_[0] * m.v_[0] + m.v_[1] * m.v_[1] + m.v_[2] * m.v_[2]);
    // Opposite readings cancel: take the new one alone then.
    up_out = n > 0.1 ? TVector3(m.v_[0] / n, m.v_[1] / n, m.v_[2] / n) : up;
}

bool Worldmodel::turn_by_gyroscope(const TStatus& s, TVector3& up) const
{
    const std::map<std::string, TVector3>::const_iterator it = s.gyr_.find("torso");
    if (it == s.gyr_.end()) return false;
    // Server axes (right, forward, up) -> ours (forward, left, up), in rad/s.
    const TVector3& g = it->second;
    const double w[3] = {g.v_[1] * kRadian, -g.v_[0] * kRadian, g.v_[2] * kRadian};
    const TVector3 u = up;
    // The field's up axis, fixed in the world, turns the other way in the body.
    const TVector3 t(u.v_[0] - kCycle * (w[1] * u.v_[2] - w[2] * u.v_[1]),
                     u.v_[1] - kCycle * (w[2] * u.v_[0] - w[0] * u.v_[2]),
                     u.v_[2] - kCycle * (w[0] * u.v_[1] - w[1] * u.v_[0]));
    const double n = std::sqrt(t.v_[0] * t.v_[0] + t.v_[1] * t.v_[1] + t.v_[2] * t.v_[2]);
    if (!std::isfinite(n) || n < 0.5) return false;
    up = TVector3(t.v_[0] / n, t.v_[1] / n, t.v_[2] / n);
    return true;
}

void Worldmodel::localise_today(TStatus& s)
{
    const double hj1 = angle_of(s, "hj1");
    const double hj2 = angle_of(s, "hj2");

    // The tilt comes from the accelerometer every cycle: with a narrow view
    // there are rarely enough landmarks to see it.
    blend_accelerometer(s, kTiltShare, s.torso_up_);
    // The landmarks' and the ball's places want a steadier one: the gyroscope
    // turns it on from cycle to cycle and the accelerometer keeps it from
    // drifting. The fall detector and the stand-ups keep the first, which
    // they were made with. The steady one starts from the plain one, and
    // starts again from it once lost.
    if (!steady_set_ && s.fresh(TStatus::FRESH_ACC)) {
        steady_up_ = s.torso_up_;
        steady_set_ = true;
    }
    const bool turned = s.fresh(TStatus::FRESH_GYR) && turn_by_gyroscope(s, steady_up_);
    blend_accelerometer(s, turned ? kTiltShareWithGyro : kTiltShare, steady_up_);
    const TVector3& u = steady_up_;
    const TVector3& t = s.torso_up_;
    if (!(u.v_[0] * t.v_[0] + u.v_[1] * t.v_[1] + u.v_[2] * t.v_[2] >= kSteadyAgreement)) steady_up_ = t;
    const TVector3 zax = torso_to_camera(s.torso_up_, hj1, hj2);
    if (finite3(zax)) s.zax_ = zax;

    if (!s.fresh(TStatus::FRESH_VISION)) return;

    const FieldGeometry& f = field();
    TVector3 polar[kLandmarkCount];
    unsigned seen = 0;
    for (int k = 0; k < kLandmarkCount; ++k) {
        if (!s.fresh(1u << k)) continue;
        const std::map<std::string, TVector3>::const_iterator it = s.flag_.find(f.landmarks[k].name);
        if (it == s.flag_.end()) continue;
        polar[k] = it->second;
        seen |= 1u << k;
    }
    TVector3 fix;
    double heading = 0.0;
    double sigma = 0.0;
    // The steady tilt where it explains all that is seen, else the plain one,
    // which may leave out a perception that does not fit (a search that costs
    // a fit per landmark: done once only).
    const bool left = side_ == S_LEFT;
    const bool located =
        seen && (locate_from_landmarks(f, left, polar, seen, hj1, hj2, steady_up_, fix, heading, &sigma, false) ||
                 locate_from_landmarks(f, left, polar, seen, hj1, hj2, s.torso_up_, fix, heading, &sigma));
    if (located) {
        s.fresh_ |= TStatus::FRESH_POSE;
        pose_filter_.predict(s.time_);
        // An outlier's heading is no better than its place.
        if (pose_filter_.update(fix.v_[0], fix.v_[1], sigma)) s.direction_ = heading;
        s.position_ = TVector3(pose_filter_.x(), pose_filter_.y(), fix.v_[2]);
    }
    if (s.fresh(TStatus::FRESH_BALL)) {
        const TVector3 b = seen_to_field(s.ball_, hj1, hj2, steady_up_, s.position_, s.direction_);
        if (finite3(b)) s.ball_xyz_ = TVector3(b.v_[0], b.v_[1], s.position_.v_[2]);
    }
    for (int n = 0; n < seen_player_count_; ++n) {
        const SeenPlayer& p = seen_players_[n];
        const TVector3 polar_p = s.player_[p.key][p.id];
        const TVector3 q = seen_to_field(polar_p, hj1, hj2, steady_up_, s.position_, s.direction_);
        if (finite3(q)) s.player_xyz_[p.key][p.id] = TVector3(q.v_[0], q.v_[1], s.position_.v_[2]);
    }
}
