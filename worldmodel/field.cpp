#include "worldmodel/field.h"

#include <cstring>

const FieldGeometry& classic_field()
{
    static const FieldGeometry f = {
        6.0, 4.0, 0.7, 0.8, 0.5,
        {{"F1L", -6.0, 4.0, 0.0}, {"F2L", -6.0, -4.0, 0.0}, {"F1R", 6.0, 4.0, 0.0}, {"F2R", 6.0, -4.0, 0.0},
         {"G1L", -6.0, 0.7, 0.8}, {"G2L", -6.0, -0.7, 0.8}, {"G1R", 6.0, 0.7, 0.8}, {"G2R", 6.0, -0.7, 0.8}}};
    return f;
}

const FieldGeometry& today_field()
{
    static const FieldGeometry f = {
        15.0, 10.0, 1.05, 0.8, 1.1,
        {{"F1L", -15.0, 10.0, 0.0}, {"F2L", -15.0, -10.0, 0.0}, {"F1R", 15.0, 10.0, 0.0}, {"F2R", 15.0, -10.0, 0.0},
         {"G1L", -15.0, 1.05, 0.8}, {"G2L", -15.0, -1.05, 0.8}, {"G1R", 15.0, 1.05, 0.8}, {"G2R", 15.0, -1.05, 0.8}}};
    return f;
}

int landmark_index(const char* name, unsigned length)
{
    if (length != 3) return -1;
    const FieldLandmark* marks = classic_field().landmarks;
    for (int k = 0; k < kLandmarkCount; ++k) {
        if (std::memcmp(marks[k].name, name, 3) == 0) return k;
    }
    return -1;
}
