#include "control/tervalonlib.h"

#include <cmath>
#include <cstring>
#include <iostream>

namespace {

typedef std::map<std::string, double> JointMap;

// The order of the maps' names, without a library call for a few letters.
int compare_names(const std::string& a, const std::string& b)
{
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t k = 0; k < n; ++k) {
        const unsigned char x = static_cast<unsigned char>(a[k]);
        const unsigned char y = static_cast<unsigned char>(b[k]);
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

// The entry for name, created at zero if missing, searching on from `from`,
// an entry at or before it: names taken in order cost a step each, not a search.
JointMap::iterator entry_from(JointMap& map, JointMap::iterator from, const std::string& name)
{
    int c = 1;
    while (from != map.end() && (c = compare_names(from->first, name)) < 0) ++from;
    if (c == 0) return from;
    return map.emplace_hint(from, name, 0.0);
}

// Toe joints: only the robot types that have toes (type 4 of today's server)
// report them, and only those get a command for them.
const char* toe_effector(const std::string& joint)
{
    if (joint == "llj7") return "lle7";
    if (joint == "rlj7") return "rle7";
    return nullptr;
}

}  // namespace

Tervalonlib::Tervalonlib(boost::shared_ptr<Worldmodel> world) : Action(world) { spare_.reserve(kHinges); }

double& Tervalonlib::new_entry(const std::string& id)
{
    const JointMap::iterator at = new_joint.lower_bound(id);
    if (at != new_joint.end() && at->first == id) return at->second;
    return new_entry_before(at, id)->second;
}

std::map<std::string, double>::iterator Tervalonlib::new_entry_before(std::map<std::string, double>::iterator at,
                                                                     const std::string& id)
{
    if (spare_.empty()) return new_joint.emplace_hint(at, id, 0.0);
    JointMap::node_type node = std::move(spare_.back());
    spare_.pop_back();
    node.key() = id;
    node.mapped() = 0.0;
    return new_joint.insert(at, std::move(node));
}

std::map<std::string, double>::iterator Tervalonlib::drop_new_entry(std::map<std::string, double>::iterator at)
{
    const JointMap::iterator following = std::next(at);
    spare_.push_back(new_joint.extract(at));
    return following;
}

void Tervalonlib::init()
{
    const Worldmodel::TStatus& st = world_->current_status();
    st.dump();

    // The perceived joints are in the order of their names, as are the
    // joint maps: one pass over each. Per joint this is
    // cur_joint[name] = angle; set(name, aim_joint[name], HOLD_GAIN),
    // with new_joint emptied first. Its entries for the names perceived
    // again are kept instead, and only the others removed.
    for (Entries& e : entries_) e.next = nullptr;
    JointMap::iterator cur = cur_joint.begin();
    JointMap::iterator aim = aim_joint.begin();
    JointMap::iterator next = new_joint.begin();
    for (const auto& hj : st.hj_) {
        cur = entry_from(cur_joint, cur, hj.first);
        aim = entry_from(aim_joint, aim, hj.first);
        int c = 1;
        while (next != new_joint.end() && (c = compare_names(next->first, hj.first)) < 0) next = drop_new_entry(next);
        if (c != 0) next = new_entry_before(next, hj.first);
        cur->second = hj.second;
        command(next->second, cur->second, aim->second, HOLD_GAIN);
        if (Entries* e = step_entries(hj.first.data(), hj.first.size())) {
            *e = Entries{&cur->second, &aim->second, &next->second};
        }
        ++cur;
        ++aim;
        ++next;
    }
    while (next != new_joint.end()) next = drop_new_entry(next);

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
    if (Entries* e = step_entries(id.data(), id.size())) return set_entries(*e, id.c_str(), angle, gain);
    const double c = cur_joint[id];
    aim_joint[id] = angle;
    return command(new_entry(id), c, angle, gain);
}

bool Tervalonlib::set(const char* id, double angle, double gain)
{
    if (Entries* e = step_entries(id, std::strlen(id))) return set_entries(*e, id, angle, gain);
    return set(std::string(id), angle, gain);
}

bool Tervalonlib::set_entries(Entries& e, const char* id, double angle, double gain)
{
    if (!e.cur) e.cur = &cur_joint[id];
    if (!e.aim) e.aim = &aim_joint[id];
    const double c = *e.cur;
    *e.aim = angle;
    if (!e.next) e.next = &new_entry(id);
    return command(*e.next, c, angle, gain);
}

bool Tervalonlib::command(double& out, double c, double angle, double gain)
{
    // A NaN difference is not "> EPS", so it lands in the fine branch.
    if (std::fabs(c - angle) > EPS) {
        out = (angle - c) * gain;
        return true;
    }
    out = (angle - c) * FINE_GAIN;
    return false;
}

double Tervalonlib::get(std::string id)
{
    if (Entries* e = step_entries(id.data(), id.size())) return *(e->cur ? e->cur : e->cur = &cur_joint[id]);
    return cur_joint[id];
}

double Tervalonlib::get(const char* id)
{
    if (Entries* e = step_entries(id, std::strlen(id))) return *(e->cur ? e->cur : e->cur = &cur_joint[id]);
    return cur_joint[id];
}

Tervalonlib::Entries* Tervalonlib::step_entries(const char* id, std::size_t length)
{
    if (!in_step_) return nullptr;
    const int k = hinge_index(id, length, 'j');
    return k < 0 ? nullptr : &entries_[k];
}

Tervalonlib::CycleScope::CycleScope(Tervalonlib& lib) : lib_(lib)
{
    for (Entries& e : lib_.entries_) e = Entries{nullptr, nullptr, nullptr};
    lib_.in_step_ = true;
}

Tervalonlib::CycleScope::~CycleScope() { lib_.in_step_ = false; }

void Tervalonlib::setangle()
{
    const std::map<std::string, double>& reported = world_->current_status().hj_;
    for (const auto& cmd : new_joint) {
        const int k = hinge_index(cmd.first.data(), cmd.first.size(), 'j');
        if (k >= 0) {
            hinge(k, cmd.second);
            continue;
        }
        const char* toe = toe_effector(cmd.first);
        // A joint this robot lacks is as wrong as a misspelt one: the server
        // would drop the command.
        if (toe == nullptr || reported.find(cmd.first) == reported.end()) {
            std::cerr << "Error!! set_function" << std::endl;
            continue;
        }
        joint(toe, cmd.second);
    }
}

void Tervalonlib::apply(const Keyframe& row)
{
    for (const JointTarget& t : row) set(t.joint, t.angle, t.gain);
}
