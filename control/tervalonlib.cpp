#include "control/tervalonlib.h"

#include <cmath>
#include <cstring>
#include <iostream>

namespace {

// The hinge joints of the robot model and the effector each is commanded by.
struct JointEffector {
    const char* joint;
    const char* effector;
};

const JointEffector kJointTable[] = {
    {"hj1", "he1"},   {"hj2", "he2"},
    {"raj1", "rae1"}, {"raj2", "rae2"}, {"raj3", "rae3"}, {"raj4", "rae4"},
    {"laj1", "lae1"}, {"laj2", "lae2"}, {"laj3", "lae3"}, {"laj4", "lae4"},
    {"rlj1", "rle1"}, {"rlj2", "rle2"}, {"rlj3", "rle3"},
    {"rlj4", "rle4"}, {"rlj5", "rle5"}, {"rlj6", "rle6"},
    {"llj1", "lle1"}, {"llj2", "lle2"}, {"llj3", "lle3"},
    {"llj4", "lle4"}, {"llj5", "lle5"}, {"llj6", "lle6"},
};

const char* effector_of(const std::string& joint)
{
    for (const JointEffector& e : kJointTable) {
        if (joint == e.joint) return e.effector;
    }
    return nullptr;
}

}  // namespace

Tervalonlib::Tervalonlib(boost::shared_ptr<Worldmodel> world) : Action(world) {}

void Tervalonlib::init()
{
    const Worldmodel::TStatus& st = world_->current_status();
    st.dump();
    new_joint.clear();

    for (const auto& hj : st.hj_) {
        cur_joint[hj.first] = hj.second;
        set(hj.first, aim_joint[hj.first], HOLD_GAIN);
    }

    // A universal joint "abcN_M" is driven as the two hinges "abcN" and "abcM".
    for (const auto& uj : st.uj_) {
        const std::string& name = uj.first;
        // Too short to hold both axis digits: erase() would throw mid-cycle.
        if (name.size() < 4) continue;
        std::string first = name;
        first.erase(4, 2);
        std::string second = name;
        second.erase(3, 2);
        cur_joint[first] = uj.second.first;
        cur_joint[second] = uj.second.second;
        set(first, aim_joint[first], HOLD_GAIN);
        set(second, aim_joint[second], HOLD_GAIN);
    }
}

bool Tervalonlib::set(std::string id, double angle, double gain)
{
    const double c = cur_joint[id];
    aim_joint[id] = angle;
    // A NaN difference is not "> EPS", so it lands in the fine branch.
    if (std::fabs(c - angle) > EPS) {
        new_joint[id] = (angle - c) * gain;
        return true;
    }
    new_joint[id] = (angle - c) * FINE_GAIN;
    return false;
}

double Tervalonlib::get(std::string id) { return cur_joint[id]; }

void Tervalonlib::setangle()
{
    for (const auto& cmd : new_joint) {
        const char* effector = effector_of(cmd.first);
        if (effector == nullptr) {
            std::cerr << "Error!! set_function" << std::endl;
            continue;
        }
        joint(effector, cmd.second);
    }
}

void Tervalonlib::apply(const Keyframe& row)
{
    for (const JointTarget& t : row) set(t.joint, t.angle, t.gain);
}
