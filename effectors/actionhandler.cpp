#include "effectors/actionhandler.h"


#include "effectors/number_text.h"

const char* const kHingeEffectors[kHinges] = {
    "he1",  "he2",  "lae1", "lae2", "lae3", "lae4", "lle1", "lle2", "lle3", "lle4", "lle5",
    "lle6", "rae1", "rae2", "rae3", "rae4", "rle1", "rle2", "rle3", "rle4", "rle5", "rle6",
};

int hinge_index(const char* name, std::size_t length, char kind)
{
    if (length == 3) {
        if (name[0] != 'h' || name[1] != kind || (name[2] != '1' && name[2] != '2')) return -1;
        return name[2] - '1';
    }
    if (length != 4 || name[2] != kind) return -1;
    const int n = name[3] - '0';
    const bool arm = name[1] == 'a';
    if ((!arm && name[1] != 'l') || (name[0] != 'l' && name[0] != 'r') || n < 1 || n > (arm ? 4 : 6)) return -1;
    const int first = name[0] == 'l' ? (arm ? 2 : 6) : (arm ? 12 : 16);
    return first + n - 1;
}

void append_number(std::string& out, double v)
{
    char text[kNumberTextMax];
    out.append(text, write_number(text, v));
}

void Actionhandler::clear()
{
    commands_.clear();
    hinge_set_ = 0;
    hj_commands_.clear();
    uj_commands_.clear();
}

void Actionhandler::scene(std::string name)
{
    commands_ += "(scene ";
    commands_ += name;
    commands_ += ')';
}

void Actionhandler::init(std::string name)
{
    commands_ += "(init (unum 0)(teamname ";
    commands_ += name;
    commands_ += "))";
}

void Actionhandler::beam(double x, double y, double angle)
{
    commands_ += "(beam ";
    append_number(commands_, x);
    commands_ += ' ';
    append_number(commands_, y);
    commands_ += ' ';
    append_number(commands_, angle);
    commands_ += " )";
}

void Actionhandler::say(std::string message)
{
    commands_ += "(say ";
    commands_ += message;
    commands_ += ')';
}

bool Actionhandler::joint(std::string str, double v)
{
    const int k = hinge_index(str.data(), str.size(), 'e');
    if (k >= 0) {
        hinge(k, v);
    } else {
        hj_commands_[str] = v;
    }
    return true;
}

bool Actionhandler::he1(double v) { return joint("he1", v); }
bool Actionhandler::he2(double v) { return joint("he2", v); }
bool Actionhandler::lae3(double v) { return joint("lae3", v); }
bool Actionhandler::lae4(double v) { return joint("lae4", v); }
bool Actionhandler::rae3(double v) { return joint("rae3", v); }
bool Actionhandler::rae4(double v) { return joint("rae4", v); }
bool Actionhandler::lle1(double v) { return joint("lle1", v); }
bool Actionhandler::lle4(double v) { return joint("lle4", v); }
bool Actionhandler::rle1(double v) { return joint("rle1", v); }
bool Actionhandler::rle4(double v) { return joint("rle4", v); }

bool Actionhandler::lae1_2(double v1, double v2)
{
    uj_commands_["lae1_2"] = std::make_pair(v1, v2);
    return true;
}

bool Actionhandler::rae1_2(double v1, double v2)
{
    uj_commands_["rae1_2"] = std::make_pair(v1, v2);
    return true;
}

bool Actionhandler::lle2_3(double v1, double v2)
{
    uj_commands_["lle2_3"] = std::make_pair(v1, v2);
    return true;
}

bool Actionhandler::lle5_6(double v1, double v2)
{
    uj_commands_["lle5_6"] = std::make_pair(v1, v2);
    return true;
}

bool Actionhandler::rle2_3(double v1, double v2)
{
    uj_commands_["rle2_3"] = std::make_pair(v1, v2);
    return true;
}

bool Actionhandler::rle5_6(double v1, double v2)
{
    uj_commands_["rle5_6"] = std::make_pair(v1, v2);
    return true;
}

namespace {

// "(name value)" for one of the robot's hinges, as one piece.
void append_hinge(std::string& out, int k, double v)
{
    char text[8 + kNumberTextMax];
    char* p = text;
    *p++ = '(';
    for (const char* n = kHingeEffectors[k]; *n; ++n) *p++ = *n;
    *p++ = ' ';
    p = write_number(p, v);
    *p++ = ')';
    out.append(text, p);
}

void append_command(std::string& out, const std::string& name, double v)
{
    out += '(';
    out += name;
    out += ' ';
    append_number(out, v);
    out += ')';
}

}  // namespace

std::string Actionhandler::get_commands() const
{
    std::string text;
    // Room for the joints and for what a caller adds at the end.
    text.reserve(commands_.size() + 24 * (kHinges + hj_commands_.size()) + 40 * uj_commands_.size() + 32);
    text = commands_;
    // The hinges and the other names merged, in the order of the names.
    std::map<std::string, double>::const_iterator other = hj_commands_.begin();
    for (int k = 0; k < kHinges; ++k) {
        if (!(hinge_set_ & (std::uint32_t(1) << k))) continue;
        for (; other != hj_commands_.end() && other->first.compare(kHingeEffectors[k]) < 0; ++other) {
            append_command(text, other->first, other->second);
        }
        append_hinge(text, k, hinge_value_[k]);
    }
    for (; other != hj_commands_.end(); ++other) append_command(text, other->first, other->second);
    for (const auto& c : uj_commands_) {
        text += '(';
        text += c.first;
        text += ' ';
        append_number(text, c.second.first);
        text += ' ';
        append_number(text, c.second.second);
        text += ')';
    }
    return text;
}
