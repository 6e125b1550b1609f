#include "analysis/model.h"
#include "analysis/real.h"
#include "report/texts.h"

#include <algorithm>
#include <utility>

namespace {

// before - term, or exactly 0 where the two cancel to rounding noise: below
// limit times the larger of them. Relative, so a small but real value (the
// last pivot of a mode in which disk 1 barely moves, a weak shaft) is kept.
real eliminated(real before, real term, real limit) {
    real after = before - term;
    if (is_nan(before) || is_nan(term))
        return real{0};
    real larger = abs(before) >= abs(term) ? abs(before) : abs(term);
    return abs(after) >= limit * larger ? after : real{0};
}

} // namespace

mode_shape compute_mode_shape(const system_matrices& matrices, real omega) {
    const auto& k = matrices.stiffness_matrix;
    const auto& m = matrices.mass_matrix;
    real w = pow2(omega);

    // Row 0 fixes disk 1 at amplitude 1; rows 1 and 2 are those of K - w M,
    // with w M taken on the diagonal only.
    real a[3][3] = {
        {real{1}, real{0}, real{0}},
        {k[1][0], k[1][1] - w * m[1][1], k[1][2]},
        {k[2][0], k[2][1], k[2][2] - w * m[2][2]},
    };
    real x[3] = {real{1}, real{0}, real{0}};
    const real pivot_limit{pivot_zero_limit};
    const real flush_limit{roundoff_flush_limit};

    mode_shape shape;
    for (int p = 0; p < 2; ++p) {
        // A candidate must be strictly larger, and rows move at once, so each
        // later candidate meets the pivot as it then stands.
        real q = abs(a[p][p]);
        for (int r = p + 1; r < 3; ++r) {
            if (!(q >= abs(a[r][p]))) {
                q = abs(a[r][p]);
                std::swap(a[r], a[p]);
                std::swap(x[r], x[p]);
            }
        }
        if (!(abs(a[p][p]) >= pivot_limit)) {
            shape.stopped = true;
            shape.pivot_row = p;
            return shape;
        }
        for (int r = p + 1; r < 3; ++r) {
            real factor = a[r][p] / a[p][p];
            x[r] = x[r] - (a[r][p] * x[p]) / a[p][p];
            for (int c = p; c < 3; ++c)
                a[r][c] = eliminated(a[r][c], factor * a[p][c], flush_limit);
        }
    }

    // Subtractions as additions of negated products: the order decides the
    // sign a NaN component carries.
    x[2] = x[2] / a[2][2];
    x[1] = (x[1] + -(x[2] * a[1][2])) / a[1][1];
    x[0] = ((x[0] + -(x[1] * a[0][1])) + -(x[2] * a[0][2])) / a[0][0];
    std::copy(x, x + 3, shape.x);
    return shape;
}

void write_displacement_block(int mode, const real x[3], int disk_count, run_streams& r) {
    std::string block = displacement_heading(mode);
    for (int i = 0; i < disk_count; ++i)
        block += displacement_component(x[i].raw());
    block += text::block_end;
    put_text(r.report_file, block);
    if (!std::all_of(x, x + disk_count, is_finite))
        put_error(r, mode_not_finite_note(mode));
}

void solve_mode_shapes(const disk_shaft_model& model, const system_matrices& matrices,
                       const modal_result& result, run_streams& r) {
    const real omega[3] = {real{0}, result.omega2_scaled, result.omega3_scaled};
    for (int mode = 1; mode <= 3; ++mode) {
        mode_shape shape = compute_mode_shape(matrices, omega[mode - 1]);
        if (shape.stopped) {
            put_text(r.console, zero_pivot_message(shape.pivot_row));
            put_error(r, mode_unsolved_note(mode));
            throw zero_pivot_stop{shape.pivot_row};
        }
        write_displacement_block(mode, shape.x, model.disk_count, r);
    }
}
