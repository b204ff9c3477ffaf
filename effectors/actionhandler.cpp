#include "effectors/actionhandler.h"

#include <charconv>

void append_number(std::string& out, double v)
{
    // to_chars ignores the global locale and writes what printf's %g writes.
    char text[32];
    const std::to_chars_result r =
        std::to_chars(text, text + sizeof text, v, std::chars_format::general, 6);
    out.append(text, r.ptr);
}

void Actionhandler::clear()
{
    commands_.clear();
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
    hj_commands_[str] = v;
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

std::string Actionhandler::get_commands() const
{
    std::string text = commands_;
    text.reserve(commands_.size() + 20 * hj_commands_.size() + 32 * uj_commands_.size());
    for (const auto& c : hj_commands_) {
        text += '(';
        text += c.first;
        text += ' ';
        append_number(text, c.second);
        text += ')';
    }
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
