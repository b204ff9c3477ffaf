#include "control/tervalonlib.h"

#include <cmath>
#include <cstring>
#include <iostream>

namespace {

// The hinge joints of the robot models and the effector each is commanded by.
// The first 22 are on every robot type; the toe joints only on the types that
// have toes (type 4 of today's server), known by the server reporting them.
struct JointEffector {
    const char* joint;
    const char* effector;
    bool every_type;
};

const JointEffector kJointTable[] = {
    {"hj1", "he1", true},   {"hj2", "he2", true},
    {"raj1", "rae1", true}, {"raj2", "rae2", true}, {"raj3", "rae3", true}, {"raj4", "rae4", true},
    {"laj1", "lae1", true}, {"laj2", "lae2", true}, {"laj3", "lae3", true}, {"laj4", "lae4", true},
    {"rlj1", "rle1", true}, {"rlj2", "rle2", true}, {"rlj3", "rle3", true},
    {"rlj4", "rle4", true}, {"rlj5", "rle5", true}, {"rlj6", "rle6", true},
    {"llj1", "lle1", true}, {"llj2", "lle2", true}, {"llj3", "lle3", true},
    {"llj4", "lle4", true}, {"llj5", "lle5", true}, {"llj6", "lle6", true},
    {"rlj7", "rle7", false}, {"llj7", "lle7", false},
};

const JointEffector* joint_entry(const std::string& joint)
{
    for (const JointEffector& e : kJointTable) {
        if (joint == e.joint) return &e;
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
    const std::map<std::string, double>& reported = world_->current_status().hj_;
    for (const auto& cmd : new_joint) {
        const JointEffector* e = joint_entry(cmd.first);
        // A joint this robot lacks is as wrong as a misspelt one: the server
        // would drop the command.
        if (e == nullptr || (!e->every_type && reported.find(cmd.first) == reported.end())) {
            std::cerr << "Error!! set_function" << std::endl;
            continue;
        }
        joint(e->effector, cmd.second);
    }
}

void Tervalonlib::apply(const Keyframe& row)
{
    for (const JointTarget& t : row) set(t.joint, t.angle, t.gain);
}
