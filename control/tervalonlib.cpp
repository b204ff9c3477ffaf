#include "control/tervalonlib.h"

#include <cmath>
#include <iostream>

namespace {

typedef std::map<std::string, double> JointMap;

// The entry for name, created at zero if missing, searching on from `from`,
// an entry at or before it: names taken in order cost a step each, not a search.
JointMap::iterator entry_from(JointMap& map, JointMap::iterator from, const std::string& name)
{
    while (from != map.end() && from->first < name) ++from;
    if (from != map.end() && from->first == name) return from;
    return map.emplace_hint(from, name, 0.0);
}

}  // namespace

Tervalonlib::Tervalonlib(boost::shared_ptr<Worldmodel> world) : Action(world) { spare_.reserve(kHinges); }

double& Tervalonlib::new_entry(const std::string& id)
{
    JointMap::iterator at = new_joint.end();
    // Names in order (the perceived joints at the start of a cycle) go at the end.
    if (!new_joint.empty() && !(new_joint.rbegin()->first < id)) {
        at = new_joint.lower_bound(id);
        if (at != new_joint.end() && at->first == id) return at->second;
    }
    if (spare_.empty()) return new_joint.emplace_hint(at, id, 0.0)->second;
    JointMap::node_type node = std::move(spare_.back());
    spare_.pop_back();
    node.key() = id;
    return new_joint.insert(at, std::move(node))->second;
}

void Tervalonlib::init()
{
    const Worldmodel::TStatus& st = world_->current_status();
    st.dump();
    // Emptied as clear() would, but its entries are kept for this cycle's commands.
    while (!new_joint.empty()) spare_.push_back(new_joint.extract(new_joint.begin()));

    // The perceived joints are in the order of their names, as are the
    // joint maps: one pass over each. Per joint this is
    // cur_joint[name] = angle; set(name, aim_joint[name], HOLD_GAIN).
    JointMap::iterator cur = cur_joint.begin();
    JointMap::iterator aim = aim_joint.begin();
    for (const auto& hj : st.hj_) {
        cur = entry_from(cur_joint, cur, hj.first);
        aim = entry_from(aim_joint, aim, hj.first);
        cur->second = hj.second;
        command(hj.first, cur->second, aim->second, HOLD_GAIN);
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
    return command(id, c, angle, gain);
}

bool Tervalonlib::command(const std::string& id, double c, double angle, double gain)
{
    // A NaN difference is not "> EPS", so it lands in the fine branch.
    if (std::fabs(c - angle) > EPS) {
        new_entry(id) = (angle - c) * gain;
        return true;
    }
    new_entry(id) = (angle - c) * FINE_GAIN;
    return false;
}

double Tervalonlib::get(std::string id) { return cur_joint[id]; }

void Tervalonlib::setangle()
{
    for (const auto& cmd : new_joint) {
        const int k = hinge_index(cmd.first.data(), cmd.first.size(), 'j');
        if (k < 0) {
            std::cerr << "Error!! set_function" << std::endl;
            continue;
        }
        hinge(k, cmd.second);
    }
}

void Tervalonlib::apply(const Keyframe& row)
{
    for (const JointTarget& t : row) set(t.joint, t.angle, t.gain);
}
