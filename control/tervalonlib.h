#ifndef TRAVONELQUIST_CONTROL_TERVALONLIB_H
#define TRAVONELQUIST_CONTROL_TERVALONLIB_H

#include <map>
#include <string>
#include <vector>

#include "effectors/action.h"

// One keyframe entry: drive `joint` towards `angle` degrees with `gain`.
struct JointTarget {
    const char* joint;
    double angle;
    double gain;
};

// One phase of a keyframe motion: the targets it sets, in order.
typedef std::vector<JointTarget> Keyframe;

double vec3_check_theta(double theta);

// Joint control: measured, commanded and target angle per joint, the
// proportional speed law, and field vector helpers.
class Tervalonlib : public Action {
public:
    typedef Worldmodel::TVector3 TVector3;

    // Inside this band (degrees) a joint counts as arrived.
    static constexpr double EPS = 0.2;
    static constexpr double FINE_GAIN = 0.005;
    static constexpr double HOLD_GAIN = 0.05;

    explicit Tervalonlib(boost::shared_ptr<Worldmodel> world);

    void init();
    bool set(std::string id, double angle, double gain);
    bool set(const char* id, double angle, double gain);
    double get(std::string id);
    double get(const char* id);
    void setangle();

    // Sets every target of one keyframe row.
    void apply(const Keyframe& row);

    TVector3 vec3_add(TVector3 vec1, TVector3 vec2);
    TVector3 vec3_sub(TVector3 vec1, TVector3 vec2);
    TVector3 vec3_scale(TVector3 vec1, double scale);
    double vec3_dot(TVector3 vec1, TVector3 vec2);
    double vec3_length(TVector3 vec);
    TVector3 vec3_normalized(TVector3 vec);
    TVector3 goal_pos(std::string str);
    TVector3 vec3_goto_xyz(TVector3 vec1, TVector3 vec2, double scale);
    TVector3 vec3_goto_pos(TVector3 vec);

    // Kept public so that tests and tools can look at a cycle's joint state.
    std::map<std::string, double> cur_joint;
    std::map<std::string, double> new_joint;
    std::map<std::string, double> aim_joint;

protected:
    // While one is alive, for one decision step, set() and get() reach the
    // robot's joints in the three maps without a search: nothing removes an
    // entry in between but init(), which starts the step.
    class CycleScope {
    public:
        explicit CycleScope(Tervalonlib& lib);
        ~CycleScope();
        CycleScope(const CycleScope&) = delete;
        CycleScope& operator=(const CycleScope&) = delete;

    private:
        Tervalonlib& lib_;
    };

private:
    // One hinge's entries in cur_joint, aim_joint and new_joint; null until
    // first used in the step.
    struct Entries {
        double* cur;
        double* aim;
        double* next;
    };
    // The entries of a hinge joint during a step; null otherwise.
    Entries* step_entries(const char* id, std::size_t length);
    bool set_entries(Entries& e, const char* id, double angle, double gain);
    // The rest of set(): the speed command into `out` from the current angle.
    static bool command(double& out, double current, double angle, double gain);
    // new_joint[id], made from a spare entry when there is one.
    double& new_entry(const std::string& id);
    std::map<std::string, double>::iterator new_entry_before(std::map<std::string, double>::iterator at,
                                                             const std::string& id);
    // Takes an entry out of new_joint, to be reused; the one after it.
    std::map<std::string, double>::iterator drop_new_entry(std::map<std::string, double>::iterator at);

    bool in_step_ = false;
    Entries entries_[kHinges] = {};

    // Last cycle's new_joint entries, reused so that a cycle allocates none.
    std::vector<std::map<std::string, double>::node_type> spare_;
};

#endif
