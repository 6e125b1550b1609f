#pragma once

// A chain as the user types it, turned into the model the dialogue leaves.

#include "analysis/model.h"

#include <array>

// Values in the order they are typed: inertia 1, stiffness 1, inertia 2,
// stiffness 2, inertia 3.
using typed_chain = std::array<double, 5>;

// The model after the dialogue: typed values and their maxima, not yet scaled.
inline disk_shaft_model typed_model(const typed_chain& c) {
    disk_shaft_model m{
        .disk_count = 3,
        .inertia = {real{0}, real{c[0]}, real{c[2]}, real{c[4]}},
        .stiffness = {real{0}, real{c[1]}, real{c[3]}},
        .max_inertia = real{0},
        .max_stiffness = real{0},
    };
    find_maxima(m);
    return m;
}
