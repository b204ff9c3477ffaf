#include "decision/tervalonaction.h"

#include <climits>

namespace {

constexpr int seconds(double s) { return static_cast<int>(s * Tervalonaction::kCyclesPerSecond + 0.5); }

}  // namespace

// Measured on the real server, both configurations: forward phases 1-5 and
// the side phases finish well within their limits. Rest (forward phase 0)
// often never comes on today's server, and a back phase creeps up on its last
// few degrees for seconds: their limits cut that wait short, which the
// motion does without.
const PhaseLimit Tervalonaction::kPhaseLimits[] = {
    // Forward stand-up. A body that never comes to rest stands up (or tips
    // off its side) anyway; a joint held back by the ground goes on to the
    // next pose, which often frees it.
    {STANDUP_FORWARD, 0, seconds(0.6), STANDUP_FORWARD, kRestOver},
    {STANDUP_FORWARD, 1, seconds(3.0), STANDUP_FORWARD, 2},
    {STANDUP_FORWARD, 2, seconds(3.0), STANDUP_FORWARD, 3},
    {STANDUP_FORWARD, 3, seconds(3.0), STANDUP_FORWARD, 4},
    {STANDUP_FORWARD, 4, seconds(3.0), STANDUP_FORWARD, 5},
    // Up but not still: the motion ends, and a body still down is seen
    // fallen again and starts over.
    {STANDUP_FORWARD, 5, seconds(3.0), STANDUP_FORWARD, kEndMotion},
    // A swing that never gets the leg over pushes anyway; a push that leaves
    // the body on its side starts over from rest.
    {STANDUP_FORWARD, kRightSideSwing, seconds(2.0), STANDUP_FORWARD, kRightSidePush},
    {STANDUP_FORWARD, kRightSidePush, seconds(2.0), STANDUP_FORWARD, 0},
    {STANDUP_FORWARD, kLeftSideSwing, seconds(2.0), STANDUP_FORWARD, kLeftSidePush},
    {STANDUP_FORWARD, kLeftSidePush, seconds(2.0), STANDUP_FORWARD, 0},
    // Back stand-up. Phase 2 stalls with the hip short of its target: its
    // pose again with stiffer legs, which gets the hip there.
    // On today's server the body lands first: still rocking, it sat up in
    // 2 of 6 trials; after 0.4, 0.6 or 1.0 s of rest in every one. Each
    // tenth of a second counts: type 1 stands up in 9.6-9.8 s with this.
    // The rest before a second try takes as long.
    {STANDUP_BACK, kBackRest, seconds(0.4), STANDUP_BACK, 0},
    {STANDUP_BACK, 0, seconds(0.8), STANDUP_BACK, 1},
    // Straight from the fall (the classic server's first try) the body has
    // had no rest: with 0.8 s here 9 of 10 trials lay flat after the sit-up
    // and took a second try (11.5 s); with 1.0 s, 10 of 10 sat up at once
    // (8.2-8.3 s).
    {STANDUP_BACK, kBackUnrested, seconds(1.0), STANDUP_BACK, 1},
    {STANDUP_BACK, 1, seconds(0.8), STANDUP_BACK, 2},
    {STANDUP_BACK, 2, seconds(0.6), STANDUP_BACK, kQuickSit},
    {STANDUP_BACK, kQuickSit, seconds(1.0), STANDUP_BACK, 3},
    {STANDUP_BACK, 3, seconds(1.0), STANDUP_BACK, 4},
    {STANDUP_BACK, 4, seconds(0.8), STANDUP_BACK, 5},
    {STANDUP_BACK, 5, seconds(1.0), STANDUP_BACK, 6},
    // The keeper's hand-up: arms that never quite get out crouch anyway; the
    // crouch is held until the keeper releases it, its limit only starting
    // the count over.
    {HANDUP, 0, seconds(2.0), HANDUP, 1},
    {HANDUP, 1, seconds(10.0), HANDUP, 1},
};

namespace {

const PhaseLimit* limit_row(BehaviorState motion, int phase)
{
    for (const PhaseLimit& l : Tervalonaction::kPhaseLimits)
        if (l.motion == motion && l.phase == phase) return &l;
    return nullptr;
}

}  // namespace

int Tervalonaction::phase_limit(BehaviorState motion, int phase)
{
    const PhaseLimit* l = limit_row(motion, phase);
    return l ? l->cycles : kGiveUpCycles;
}

int Tervalonaction::limit_phase() const
{
    // Every try but the classic server's first starts from the back rest.
    const bool unrested = back_tries_ == 0 && world_->generation() != GEN_TODAY;
    return state == STANDUP_BACK && action_state_ == 0 && unrested ? kBackUnrested : action_state_;
}

void Tervalonaction::way_out()
{
    if (!counting_ || counted_state_ != state || counted_phase_ != action_state_) return;
    const int phase = limit_phase();
    if (phase_cycles_ < phase_limit(state, phase)) return;
    forget_phase();
    const PhaseLimit* l = limit_row(state, phase);
    if (l && l->next_phase != kEndMotion) {
        state = l->next_motion;
        action_state_ = l->next_phase;
        return;
    }
    action_state_ = 0;
    action_end_ = true;
}

void Tervalonaction::count_phase()
{
    if (counting_ && counted_state_ == state && counted_phase_ == action_state_) {
        if (phase_cycles_ < INT_MAX) ++phase_cycles_;
        return;
    }
    counting_ = true;
    counted_state_ = state;
    counted_phase_ = action_state_;
    phase_cycles_ = 1;
}
