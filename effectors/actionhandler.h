#ifndef TRAVONELQUIST_EFFECTORS_ACTIONHANDLER_H
#define TRAVONELQUIST_EFFECTORS_ACTIONHANDLER_H

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <utility>

// The robot model's 22 hinge effectors in the order of their names, which is
// also the order of the joint names: "he1", "he2", "lae1" ... "lae4", "lle1"
// ... "lle6", "rae1" ... "rae4", "rle1" ... "rle6".
const int kHinges = 22;
extern const char* const kHingeEffectors[kHinges];

// The place of a hinge in that order, from its effector name (kind 'e') or
// its joint name (kind 'j', "hj1", "raj3" ...); -1 for any other name.
int hinge_index(const char* name, std::size_t length, char kind);

// Collects what the robot tells the server in one cycle and renders the
// reply text. One-off commands are formatted at once, in call order; joint
// commands are keyed by effector so each gets at most one per cycle.
class Actionhandler {
public:
    Actionhandler() = default;
    virtual ~Actionhandler() = default;

    void clear();

    void scene(std::string name);
    void init(std::string name);
    void beam(double x, double y, double angle);
    void say(std::string message);

    bool joint(std::string str, double v);

    bool he1(double v);
    bool he2(double v);
    bool lae1_2(double v1, double v2);
    bool lae3(double v);
    bool lae4(double v);
    bool rae1_2(double v1, double v2);
    bool rae3(double v);
    bool rae4(double v);
    bool lle1(double v);
    bool lle2_3(double v1, double v2);
    bool lle4(double v);
    bool lle5_6(double v1, double v2);
    bool rle1(double v);
    bool rle2_3(double v1, double v2);
    bool rle4(double v);
    bool rle5_6(double v1, double v2);

    std::string get_commands() const;

    virtual bool action() { return true; }

protected:
    // joint() for the effector kHingeEffectors[hinge].
    void hinge(int hinge, double v)
    {
        hinge_value_[hinge] = v;
        hinge_set_ |= std::uint32_t(1) << hinge;
    }

private:
    // The robot's own effectors have a place each; only other names need the map.
    double hinge_value_[kHinges] = {};
    std::uint32_t hinge_set_ = 0;
    std::map<std::string, double> hj_commands_;
    std::map<std::string, std::pair<double, double> > uj_commands_;
    std::string commands_;
};

// Appends v the way the standard stream writes a double by default in the
// classic locale: general notation, six significant digits.
void append_number(std::string& out, double v);

#endif
