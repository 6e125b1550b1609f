#pragma once

// Chains with what the run prints for them, shared by the in-process analysis
// test and the whole-run test that also checks cross builds of the tool.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace chain_cases {

struct chain_case {
    const char* typed; // inertia 1, stiffness 1, inertia 2, stiffness 2, inertia 3
    std::vector<std::string> frequencies;
    std::vector<std::string> vectors;
    std::optional<int> stop_row = std::nullopt;
};

inline const std::string nan_vector = "1.#QO, 1.#QO, -1.#IO";
inline const std::vector<std::string> zeros = {"0", "0", "0", "0"};
inline const std::vector<std::string> not_a_number = {"-1.#IO", "-1.#IO", "-1.#IO", "-1.#IO"};

inline const chain_case cases[] = {
    {"1 1 1 1 1", {"1", "1.732", "0.1592", "0.2757"}, {"1, 1, 1", "1, 0, -1", "1, -2, 1"}},
    {"2 1000 4 3000 1",
     {"26.24", "61.74", "4.177", "9.825"},
     {"1, 1, 1", "1, -0.3775, -0.49", "1, -6.622, 24.49"}},
    {"0.5 20000 0.25 50000 0.1",
     {"306", "852.3", "48.7", "135.6"},
     {"1, 1, 1", "1, -1.34, -1.649", "1, -17.16, 37.9"}},
    // No real non-negative roots: every mode is solved with frequency 0.
    {"1 -5 1 1 1", zeros, {"1, 1, 1", "1, 1, 1", "1, 1, 1"}},
    {"0 1 1 1 1", zeros, {"1, 1, 1", "1, 1, 1", "1, 1, 1"}},
    // A zero root passes; the uncoupled last disk leaves a zero last pivot.
    {"1 1 1 0 1", {"0", "1.414", "0", "0.2251"}, {nan_vector, nan_vector, "1, -1, 0"}},
    {"1 0 1 1 1", {"0", "1.414", "0", "0.2251"}, {nan_vector, nan_vector, nan_vector}},
    // A weak shaft is a real coupling, not rounding noise: it survives the
    // elimination.
    {"1 1 1 1e-11 1",
     {"3.873e-006", "1.414", "6.164e-007", "0.2251"},
     {"1, 1, 1", "1, 1, -2", "1, -1, 5e-012"}},
    {"1 1 1 1e-10 1",
     {"1.225e-005", "1.414", "1.949e-006", "0.2251"},
     {"1, 1, 1", "1, 1, -2", "1, -1, 5e-011"}},
    // Disk 1 barely moves in mode 3: elimination would cancel to rounding
    // level there, the chain's own equations do not.
    {"1 1e-11 1 1 1",
     {"3.873e-006", "1.414", "6.164e-007", "0.2251"},
     {"1, 1, 1", "1, -0.5, -0.5", "1, -2e+011, 2e+011"}},
    {"2155.168881833831 1.979582283345612 8563.723695055764 454.4447845162705 "
     "2.679880700780888",
     {"0.03391", "13.02", "0.005396", "2.073"},
     {"1, 1, 1", "1, -0.2516, -0.2516", "1, -1.847e+005, 5.901e+008"}},
    // Stiffnesses 1e15 apart still turn as one body in mode 1.
    {"1 1 1 1e-15 1",
     {"3.873e-008", "1.414", "6.164e-009", "0.2251"},
     {"1, 1, 1", "1, 1, -2", "1, -1, 5e-016"}},
    // A heavy middle disk between like ends: the elastic roots nearly or
    // wholly coincide.
    {"0.01 100 10000 100 0.01",
     {"100", "100", "15.92", "15.92"},
     {"1, 1, 1", "1, 0, -1", "1, -2e-006, 1"}},
    {"1 1 1e8 1 1", {"1", "1", "0.1592", "0.1592"}, {"1, 1, 1", "1, 0, -1", "1, -2e-008, 1"}},
    {"1 1 1e9 1 1", {"1", "1", "0.1592", "0.1592"}, {"1, 1, 1", "1, 0, -1", "1, -2e-009, 1"}},
    // The quotient of the largest stiffness and inertia leaves the range of
    // a double although the frequency scale does not.
    {"2e200 1e-200 4e200 3e-200 1e200",
     {"8.299e-201", "1.952e-200", "1.321e-201", "3.107e-201"},
     {"1, 1, 1", "1, -0.3775, -0.49", "1, -6.622, 24.49"}},
    {"2e-9 1e300 4e-9 3e300 1e-9",
     {"2.624e+154", "6.174e+154", "4.177e+153", "9.825e+153"},
     {"1, 1, 1", "1, -0.3775, -0.49", "1, -6.622, 24.49"}},
    // An ordinary chain whose mode 3 leaves disk 1 nearly still: the last
    // pivot is small but exact.
    {"66.19 7.591 691.2 354.6 1.834",
     {"0.3545", "13.92", "0.05641", "2.216"},
     {"1, 1, 1", "1, -0.09551, -0.09557", "1, -1689, 6.367e+005"}},
    {"1 1 1 2e-10 1",
     {"1.732e-005", "1.414", "2.757e-006", "0.2251"},
     {"1, 1, 1", "1, 1, -2", "1, -1, 1e-010"}},
    // Every inertia 0: the scale is infinite and 0 times it is not a number.
    {"0 1 0 1 0", not_a_number, {"1, 0, -1", "1, 0, -1", "1, 0, -1"}},
    {"1 0 1 0 1", zeros, {}, 0},
    {"1 -1 1 -1 1", zeros, {}, 1},
    {"0 0 0 0 0", not_a_number, {}, 0},
    {"x 1 1 1 1", not_a_number, {}, 0},
    // An infinite largest inertia scales to a NaN and the others to 0.
    {"1e400 1 1 1 1", zeros, {"1, 1, 1", "1, 1, 1", "1, 1, 1"}},
};

// What a run printed, picked apart.
struct printed_fields {
    std::vector<std::string> frequencies; // omega2, omega3, f2, f3 as printed
    std::vector<std::string> vectors;     // each "a, b, c"
    std::optional<int> stop_row;          // from "diagonal term  N N equals zero"
};

inline std::string trimmed(std::string s) {
    s.erase(0, s.find_first_not_of(' '));
    return s;
}

inline std::string field_after(const std::string& text, const std::string& label) {
    std::size_t at = text.find(label);
    if (at == std::string::npos)
        return "<missing>";
    return trimmed(text.substr(at + label.size(), 12));
}

inline printed_fields read_printed_fields(const std::string& console, const std::string& file) {
    printed_fields out;
    for (const char* label : {"omega2 = ", "omega3 = ", "f2 = ", "f3 = "})
        out.frequencies.push_back(field_after(console, label));
    // Each component stands on its own line: CR LF, a blank, a 12-character field.
    for (std::size_t at = 0; (at = file.find("Displacement Vector", at)) != std::string::npos;) {
        std::string v;
        for (int i = 0; i < 3; ++i) {
            at = file.find("\r\n ", at + 1);
            v += (i ? ", " : "") + trimmed(file.substr(at + 3, 12));
        }
        out.vectors.push_back(v);
    }
    for (int row = 0; row < 3; ++row) {
        std::string r = std::to_string(row);
        if (console.find("\r\n diagonal term  " + r + " " + r + " equals zero ") !=
            std::string::npos)
            out.stop_row = row;
    }
    return out;
}

} // namespace chain_cases
