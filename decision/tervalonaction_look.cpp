#include <cmath>

#include "decision/tervalonaction.h"

namespace {

const double kPi = 3.141592653589793;
const double kDeg = 180.0 / kPi;

// The neck turns +-120 degrees; a little short of that keeps it off its stop.
// With a 120 degree view the sweep then sees all round but for a sliver behind.
const double kPanLimit = 110.0;
// A landmark this far off the camera's axis counts as in view (the view's
// edge is at 60 degrees; the pose the bearings come from is not exact).
const double kLandmarkInView = 50.0;
// The ball kept this far off the camera's axis at most while the head turns
// for landmarks.
const double kBallInView = 40.0;
const double kAimStep = 5.0;
// Degrees the head turns per cycle: 150 a second sweeps side to side in 1.5 s,
// 9 degrees between two views (every third cycle), so nothing slips past.
const double kScanRate = 3.0;
// Following the ball the head may turn faster: it is already near it.
const double kTrackRate = 6.0;
// Vision comes every third cycle: a ball missing for this many cycles has
// left the view.
const int kLostAfter = 10;
// For this long the ball is still where it was last seen: one behind the
// robot, beyond the neck's reach, is looked for as far round as the neck
// goes while the body turns to it.
const int kRecall = 150;
static_assert(Tervalonaction::kSearchTurnAfter < kRecall, "the count reaches the turn");
// A pose this many cycles old: glance at the landmarks even if the ball
// leaves the view for it.
const int kPoseStale = 50;
// Head pitch: half the ball's depression, so that the ball sits low in the
// view and the landmarks on the horizon stay in it.
const double kPitchShare = 0.5;
const double kPitchLowest = -30.0;
const double kScanPitch = -15.0;
const double kHeadGain = 0.2;

// NaN stays NaN, for towards() to ignore.
double clamp(double v, double lo, double hi) { return v < lo ? lo : (v > hi ? hi : v); }

// From `from` towards `to`, at most `rate`; NaN stays where it was.
double towards(double from, double to, double rate)
{
    if (!std::isfinite(to)) return from;
    if (!std::isfinite(from)) return to;
    return from + clamp(to - from, -rate, rate);
}

// Landmarks within view of a camera turned `yaw` (within the neck's range),
// from their bearings off the torso's forward axis (-180 to 180).
int in_view(const double (&bearings)[kLandmarkCount], double yaw)
{
    int n = 0;
    for (double b : bearings) {
        double off = b - yaw;
        off = off > 180.0 ? off - 360.0 : (off < -180.0 ? off + 360.0 : off);
        n += std::fabs(off) <= kLandmarkInView;
    }
    return n;
}

// The yaw in [lo, hi] that sees the most landmarks; of equals, the one
// nearest the middle of the range.
double aim_for_landmarks(const double (&bearings)[kLandmarkCount], double lo, double hi)
{
    const double middle = 0.5 * (lo + hi);
    double best = middle;
    int most = -1;
    for (double yaw = lo; yaw <= hi + 1e-9; yaw += kAimStep) {
        const int n = in_view(bearings, yaw);
        if (n > most || (n == most && std::fabs(yaw - middle) < std::fabs(best - middle))) {
            most = n;
            best = yaw;
        }
    }
    return best;
}

}  // namespace

bool Tervalonaction::ball_behind() const
{
    return world_->generation() == GEN_TODAY && ball_unseen_ >= kSearchTurnAfter;
}

bool Tervalonaction::head_is_free() const
{
    // Placement and the stand-ups hold the head level.
    return !placing_ && state != STANDUP_FORWARD && state != STANDUP_BACK && !standup_flag_;
}

void Tervalonaction::look()
{
    // The classic camera sees all round: its head stays as the motions leave it.
    if (world_->generation() != GEN_TODAY) return;
    const Worldmodel::TStatus& st = world_->current_status();
    if (st.fresh(Worldmodel::TStatus::FRESH_BALL)) {
        ball_unseen_ = 0;
    } else if (ball_unseen_ < kRecall) {
        ++ball_unseen_;
    }
    if (st.fresh(Worldmodel::TStatus::FRESH_POSE)) {
        pose_age_ = 0;
    } else if (pose_age_ < kPoseStale) {
        ++pose_age_;
    }
    if (!head_is_free()) {
        head_yaw_ = get("hj1");
        head_pitch_ = get("hj2");
        return;
    }

    // Where the ball is, seen from the torso: its field place as the last
    // view left it, turned into the body's frame.
    const TVector3 ball = vec3_goto_pos(st.ball_xyz_);
    const double bearing = std::remainder(ball.v_[1], 360.0);
    const double height = st.position_.v_[2] > 0.0 && st.position_.v_[2] < 2.0 ? st.position_.v_[2] : 0.5;
    const bool pose_known = std::isfinite(st.position_.v_[0]) && std::isfinite(st.position_.v_[1]) &&
                            std::isfinite(st.direction_);

    // The landmarks' bearings as the current place and heading put them.
    double bearings[kLandmarkCount];
    const double side = world_->side() == S_RIGHT ? -1.0 : 1.0;
    for (int k = 0; k < kLandmarkCount; ++k) {
        const FieldLandmark& l = world_->field().landmarks[k];
        bearings[k] = std::remainder(
            std::atan2(side * l.y - st.position_.v_[1], side * l.x - st.position_.v_[0]) * kDeg - st.direction_,
            360.0);
    }

    double yaw_goal;
    double pitch_goal;
    double rate;
    // No ball place at all (NaN) is a ball to look for.
    if (ball_unseen_ < kLostAfter && std::isfinite(ball.v_[0]) && std::isfinite(bearing)) {
        // The ball in view, and as many landmarks beside it as can be.
        const double lo = clamp(bearing - kBallInView, -kPanLimit, kPanLimit);
        const double hi = clamp(bearing + kBallInView, -kPanLimit, kPanLimit);
        // The goalkeeper, whose keyframe motions kept out fewer shots with
        // the head turning for landmarks, keeps it level and turns it only as
        // far as keeps the ball in view.
        const bool keeper = position == GK;
        if (keeper) {
            yaw_goal = clamp(bearing - clamp(bearing, -kBallInView, kBallInView), -kPanLimit, kPanLimit);
        } else {
            yaw_goal = pose_known ? aim_for_landmarks(bearings, lo, hi) : clamp(bearing, -kPanLimit, kPanLimit);
        }
        if (pose_known && pose_age_ >= kPoseStale && in_view(bearings, yaw_goal) < 2) {
            // None beside the ball for a second: a glance at them.
            yaw_goal = aim_for_landmarks(bearings, -kPanLimit, kPanLimit);
        }
        pitch_goal = keeper ? 0.0 : clamp(kPitchShare * -std::atan2(height, ball.v_[0]) * kDeg, kPitchLowest, 0.0);
        rate = kTrackRate;
        // A later sweep starts towards where the ball went.
        scan_left_ = bearing >= head_yaw_;
    } else if (ball_unseen_ < kRecall && std::isfinite(ball.v_[0]) && std::fabs(bearing) > kPanLimit + kBallInView) {
        yaw_goal = bearing > 0.0 ? kPanLimit : -kPanLimit;
        pitch_goal = kScanPitch;
        rate = kTrackRate;
    } else {
        // Side to side, turning at the ends.
        if (head_yaw_ >= kPanLimit - 0.5) scan_left_ = false;
        if (head_yaw_ <= -kPanLimit + 0.5) scan_left_ = true;
        yaw_goal = scan_left_ ? kPanLimit : -kPanLimit;
        pitch_goal = kScanPitch;
        rate = kScanRate;
    }
    head_yaw_ = clamp(towards(head_yaw_, yaw_goal, rate), -kPanLimit, kPanLimit);
    head_pitch_ = clamp(towards(head_pitch_, pitch_goal, rate), kPitchLowest, 0.0);
    set("hj1", head_yaw_, kHeadGain);
    // The hand-up pitches the head itself.
    if (state != HANDUP) set("hj2", head_pitch_, kHeadGain);
}
