#include "analysis/model.h"
#include "analysis/real.h"
#include "report/texts.h"

#include <algorithm>
#include <utility>

namespace {

real larger_magnitude(real a, real b) {
    return abs(a) >= abs(b) ? abs(a) : abs(b);
}

// before - term, or exactly 0 where the two cancel to rounding noise: below
// limit times the larger of them. Relative, so a small but real value (the
// last pivot of a mode in which disk 1 barely moves, a weak shaft) is kept.
real eliminated(real before, real term, real limit) {
    real after = before - term;
    if (is_nan(before) || is_nan(term))
        return real{0};
    return abs(after) >= limit * larger_magnitude(before, term) ? after : real{0};
}

// The shape of a positive chain at w > 0 from its own equations. Disk 1's
// gives x2; x3 comes either from the zero net angular momentum of an elastic
// mode or from disk 3's equation, whichever difference keeps the larger share
// of its terms. Elimination would instead form a minor whose error grows with
// the square of the largest component where disk 1 barely moves.
mode_shape elastic_chain_shape(const disk_shaft_model& model, real w) {
    const real j1 = model.inertia[1], j2 = model.inertia[2], j3 = model.inertia[3];
    const real k1 = model.stiffness[1], k2 = model.stiffness[2];
    const real flush_limit{roundoff_flush_limit};
    const real one{1};

    real t = (w * j1) / k1;
    // x3 takes x2 before the flush: a heavy disk 2 carries even a tiny x2
    // into the momentum balance, so zeroing it there would move x3.
    real x2_unflushed = one - t;
    real x2 = eliminated(one, t, flush_limit);
    real j2x2 = j2 * x2_unflushed;
    real m = eliminated(j1, -j2x2, flush_limit);
    real wj3 = w * j3;
    real n = eliminated(k2, wj3, flush_limit);
    real kept_m = abs(m) / larger_magnitude(j1, j2x2);
    real kept_n = abs(n) / larger_magnitude(k2, wj3);

    mode_shape shape;
    shape.x[0] = one;
    shape.x[1] = x2;
    shape.x[2] = kept_m >= kept_n ? (-m) / j3 : (k2 * x2_unflushed) / n;
    return shape;
}

// The shape by elimination on rows 1 and 2 of K - w M, for any chain.
mode_shape eliminated_shape(const system_matrices& matrices, real w) {
    const auto& k = matrices.stiffness_matrix;
    const auto& m = matrices.mass_matrix;

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

} // namespace

mode_shape compute_mode_shape(const disk_shaft_model& model, const system_matrices& matrices,
                              real omega) {
    real w = pow2(omega);
    if (is_positive_chain(model) && is_finite(w) && w >= real{0}) {
        if (w > real{0})
            return elastic_chain_shape(model, w);
        // At w = 0 the chain turns as one body; the momentum form holds only
        // for the elastic modes.
        mode_shape rigid;
        rigid.x[0] = rigid.x[1] = rigid.x[2] = real{1};
        return rigid;
    }
    return eliminated_shape(matrices, w);
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
        mode_shape shape = compute_mode_shape(model, matrices, omega[mode - 1]);
        if (shape.stopped) {
            put_text(r.console, zero_pivot_message(shape.pivot_row));
            put_error(r, mode_unsolved_note(mode));
            throw zero_pivot_stop{shape.pivot_row};
        }
        write_displacement_block(mode, shape.x, model.disk_count, r);
    }
}
