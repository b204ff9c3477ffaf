#include <cmath>
#include <iostream>

#include "decision/tervalonaction.h"

namespace {

// Phases of the sidestep.
enum {
    SIDE_STANCE = 0,
    SIDE_RIGHT_STEP = 1,  // first phase of a step led by the right leg (y decreases)
    SIDE_LEFT_STEP = 6,   // first phase of a step led by the left leg (y increases)
    SIDE_FINISH = 11
};

const double kBallSide = 2.5;   // ball farther off the axis than this: keeper goes to its side
const double kCentred = 0.1;    // keeper this close to the axis counts as centred
const double kOffAxis = 0.6;    // keeper this far off the axis covers a ball out wide
const double kCrossing = 0.28;  // a keeper on the wrong side of this steps towards the ball

const Keyframe kSideStance = {
    {"raj1", -90, 0.05}, {"laj1", -90, 0.05}, {"raj2", 0, 0.05},   {"laj2", 0, 0.05},
    {"raj4", 10, 0.05},  {"laj4", 10, 0.05},
    {"rlj2", 0, 0.05},   {"llj2", 0, 0.05},   {"rlj3", 15, 0.05},  {"llj3", 15, 0.05},
    {"rlj4", -32, 0.05}, {"llj4", -32, 0.05}, {"rlj5", 20, 0.05},  {"llj5", 20, 0.05},
    {"rlj6", 0, 0.05},   {"llj6", 0, 0.05},
};

// Phases 1-10, each with the reading that ends it.
struct SideStepPhase {
    Keyframe targets;
    const char* joint;  // ends when this joint reads
    bool above;         // above (true) or below (false)
    double limit;       // this angle
    int next;
};

const SideStepPhase kSideStep[] = {
    // 1: shift onto the left leg
    {{{"raj1", -90, 0.05}, {"laj1", -90, 0.05},
      {"raj4", 10, 0.05},  {"laj4", 10, 0.05},
      {"rlj2", 0, 0.05},   {"llj2", -20, 0.05}, {"rlj3", 15, 0.05},   {"llj3", 15, 0.05},
      {"rlj4", -32, 0.05}, {"llj4", -32, 0.05}, {"rlj5", 20, 0.05},   {"llj5", 20, 0.05},
      {"rlj6", 0, 0.05},   {"llj6", 0, 0.05}},
     "rlj5", true, 14.0, 2},
    // 2: lift the right leg
    {{{"raj2", -40, 0.02}, {"laj2", 50, 0.02},
      {"rlj2", 0, 0.02},   {"llj2", -20, 0.02}, {"rlj3", 60, 0.02},   {"llj3", 15, 0.02},
      {"rlj4", -120, 0.02}, {"llj4", -32, 0.02}, {"rlj5", 60, 0.02},  {"llj5", 20, 0.02},
      {"rlj6", 0, 0.02},   {"llj6", 20, 0.05}},
     "rlj3", true, 29.0, 3},
    // 3: spread the right leg
    {{{"raj2", -40, 0.02}, {"laj2", 50, 0.02},
      {"rlj2", -30, 0.02}, {"llj2", -20, 0.02}, {"rlj3", 60, 0.02},   {"llj3", 15, 0.02},
      {"rlj4", -120, 0.02}, {"llj4", -32, 0.02}, {"rlj5", 60, 0.02},  {"llj5", 20, 0.02},
      {"rlj6", 0, 0.02},   {"llj6", 20, 0.05}},
     "rlj4", false, -114.0, 4},
    // 4: set the right leg down
    {{{"raj2", -40, 0.02}, {"laj2", 50, 0.02},
      {"rlj2", -17, 0.02}, {"llj2", 15, 0.07},  {"rlj3", 15, 0.02},   {"llj3", 15, 0.02},
      {"rlj4", -32, 0.02}, {"llj4", -32, 0.02}, {"rlj5", 20, 0.02},   {"llj5", 20, 0.02},
      {"rlj6", 0, 0.02},   {"llj6", 0, 0.07}},
     "rlj4", true, -65.0, 5},
    // 5: recover
    {{{"raj1", 0, 0.05},   {"laj1", 0, 0.05},   {"raj2", 0, 0.02},    {"laj2", 50, 0.02},
      {"raj4", 0, 0.05},   {"laj4", 0, 0.05},
      {"rlj2", 0, 0.02},   {"llj2", -10, 0.07}, {"rlj3", 15, 0.02},   {"llj3", 15, 0.02},
      {"rlj4", -32, 0.02}, {"llj4", -32, 0.02}, {"rlj5", 20, 0.02},   {"llj5", 20, 0.02},
      {"rlj6", 0, 0.02},   {"llj6", 0, 0.07}},
     "llj2", false, -8.0, 0},
    // 6: shift onto the right leg
    {{{"raj1", -90, 0.05}, {"laj1", -90, 0.05},
      {"raj4", 10, 0.05},  {"laj4", 10, 0.05},
      {"rlj2", 20, 0.05},  {"llj2", 0, 0.05},   {"rlj3", 15, 0.05},   {"llj3", 15, 0.05},
      {"rlj4", -32, 0.05}, {"llj4", -32, 0.05}, {"rlj5", 20, 0.05},   {"llj5", 20, 0.05},
      {"rlj6", -3, 0.05},  {"llj6", 0, 0.05}},
     "llj5", true, 14.0, 7},
    // 7: lift the left leg
    {{{"raj2", -50, 0.02}, {"laj2", 40, 0.02},
      {"rlj2", 20, 0.02},  {"llj2", 0, 0.02},   {"rlj3", 15, 0.02},   {"llj3", 60, 0.02},
      {"rlj4", -32, 0.02}, {"llj4", -120, 0.02}, {"rlj5", 20, 0.02},  {"llj5", 60, 0.02},
      {"rlj6", -20, 0.05}, {"llj6", 0, 0.02}},
     "llj3", true, 29.0, 8},
    // 8: spread the left leg
    {{{"raj2", -50, 0.02}, {"laj2", 40, 0.02},
      {"rlj2", 20, 0.02},  {"llj2", 30, 0.02},  {"rlj3", 15, 0.02},   {"llj3", 60, 0.02},
      {"rlj4", -32, 0.02}, {"llj4", -120, 0.02}, {"rlj5", 20, 0.02},  {"llj5", 60, 0.02},
      {"rlj6", -20, 0.05}, {"llj6", 0, 0.02}},
     "llj4", false, -114.0, 9},
    // 9: set the left leg down
    {{{"raj2", -50, 0.02}, {"laj2", 40, 0.02},
      {"rlj2", -15, 0.07}, {"llj2", 17, 0.02},  {"rlj3", 15, 0.02},   {"llj3", 15, 0.02},
      {"rlj4", -32, 0.02}, {"llj4", -32, 0.02}, {"rlj5", 20, 0.02},   {"llj5", 20, 0.02},
      {"rlj6", 0, 0.07},   {"llj6", 0, 0.02}},
     "llj4", true, -65.0, 10},
    // 10: recover
    {{{"raj1", 0, 0.05},   {"laj1", 0, 0.05},   {"raj2", -50, 0.02},  {"laj2", 0, 0.02},
      {"raj4", 0, 0.05},   {"laj4", 0, 0.05},
      {"rlj2", 10, 0.07},  {"llj2", 0, 0.02},   {"rlj3", 15, 0.02},   {"llj3", 15, 0.02},
      {"rlj4", -32, 0.02}, {"llj4", -32, 0.02}, {"rlj5", 20, 0.02},   {"llj5", 20, 0.02},
      {"rlj6", 0, 0.07},   {"llj6", 0, 0.02}},
     "rlj2", true, 8.0, 0},
};

// What the stance phase does next, from the ball's field y and the keeper's own.
// ball_side: kBallSide scaled to the field's width.
int sidestep_decision(double ball_y, double my_y, double ball_side)
{
    const double b = std::fabs(ball_y);
    const double p = std::fabs(my_y);
    if ((b < ball_side && p <= kCentred) || (b > ball_side && p >= kOffAxis))
        return SIDE_FINISH;
    // The ball's side comes before the return to the axis.
    if (ball_y > ball_side && my_y < kCrossing)
        return SIDE_LEFT_STEP;
    if (ball_y < -ball_side && my_y > -kCrossing)
        return SIDE_RIGHT_STEP;
    if (my_y > kCentred)
        return SIDE_RIGHT_STEP;
    if (my_y < -kCentred)
        return SIDE_LEFT_STEP;
    return SIDE_STANCE;
}

}  // namespace

void Tervalonaction::sidestep()
{
    const Worldmodel::TStatus& st = world_->current_status();
    const double ball_y = st.ball_xyz_.v_[1];
    const double my_y = st.position_.v_[1];

    if (debug_flag_)
        std::cout << "sidestep()" << '\n';
    std::cout << " acccccccction____________ state---------  " << action_state_ << '\n'
              << " acccccccction____222_____ state--222----  " << my_y << '\n';

    if (action_state_ == SIDE_STANCE) {
        apply(kSideStance);
        if (get("rlj5") > 1.0)
            action_state_ = sidestep_decision(ball_y, my_y, kBallSide * world_->field().scale_y());
    } else if (action_state_ == SIDE_FINISH) {
        apply(kSideStance);
        if (std::fabs(get("rlj2")) < 1.0 && std::fabs(get("llj2")) < 1.0) {
            action_state_ = SIDE_STANCE;
            action_end_ = true;
        }
    } else if (action_state_ > SIDE_STANCE && action_state_ < SIDE_FINISH) {
        const SideStepPhase& ph = kSideStep[action_state_ - 1];
        apply(ph.targets);
        const double reading = get(ph.joint);
        if (ph.above ? reading > ph.limit : reading < ph.limit)
            action_state_ = ph.next;
    }
}
