#include "analysis/model.h"
#include "analysis/real.h"
#include "report/texts.h"

#include <cmath>

namespace {

const real pi{std::atan2(0.0, -1.0)};
const real two_pi = pi + pi;

using matrix = real[3][3];

// The (i, j) cofactor: the signed 2 x 2 minor without row i and column j.
real cofactor(const matrix& a, int i, int j) {
    int r0 = i == 0 ? 1 : 0;
    int r1 = i == 2 ? 1 : 2;
    int c0 = j == 0 ? 1 : 0;
    int c1 = j == 2 ? 1 : 2;
    real minor = a[r0][c0] * a[r1][c1] - a[r0][c1] * a[r1][c0];
    return (i + j) % 2 == 0 ? minor : -minor;
}

// The sum over all nine positions of a[i][j] times the (i, j) cofactor of b.
real cofactor_sum(const matrix& a, const matrix& b) {
    real sum = a[0][0] * cofactor(b, 0, 0);
    for (int n = 1; n < 9; ++n)
        sum = sum + a[n / 3][n % 3] * cofactor(b, n / 3, n % 3);
    return sum;
}

real determinant(const matrix& a) {
    real sum = a[0][0] * cofactor(a, 0, 0);
    for (int j = 1; j < 3; ++j)
        sum = sum + a[0][j] * cofactor(a, 0, j);
    return sum;
}

} // namespace

modal_result compute_natural_frequencies(const disk_shaft_model& model,
                                         const system_matrices& matrices) {
    const matrix& k = matrices.stiffness_matrix;
    const matrix& m = matrices.mass_matrix;

    // det(K - lambda M) = a lambda^3 + b lambda^2 + c lambda + d, in full:
    // infinite entries make the reduced chain formulas disagree.
    real a = -determinant(m);
    real b = cofactor_sum(k, m);
    real c = -cofactor_sum(m, k);

    // The rigid-body root lambda = 0 set aside, the elastic roots solve
    // lambda^2 + B lambda + C = 0.
    real big_b = b / a;
    real big_c = c / a;
    real discriminant = pow2(big_b) - real{4} * big_c;

    modal_result result;
    real f2{0};
    real f3{0};
    if (discriminant >= real{0}) {
        real s = sqrt(discriminant);
        real r1 = (-big_b - s) * real{0.5};
        real r2 = (s - big_b) * real{0.5};
        // Far apart roots make -B - s a difference of nearly equal numbers;
        // r1 r2 = C gives the small one without that cancellation.
        if (big_b < real{0} && is_finite(r2) && r2 > real{0})
            r1 = big_c / r2;
        if (r1 >= real{0} && r2 >= real{0}) {
            real omega2 = sqrt(r1);
            real omega3 = sqrt(r2);
            result.omega2_scaled = omega2;
            result.omega3_scaled = omega3;
            result.real_roots = true;
            f2 = omega2 / two_pi;
            f3 = omega3 / two_pi;
        }
    }
    // Scaling by the maxima multiplied every eigenvalue by
    // max_inertia / max_stiffness; g undoes that on the frequencies.
    real g = sqrt(model.max_stiffness / model.max_inertia);
    result.f2_hz = f2 * g;
    result.f3_hz = f3 * g;
    return result;
}

void write_frequency_block(const modal_result& result, run_streams& r) {
    std::string block(text::frequency_heading);
    block += omega1_line(0);
    block += omega2_line((two_pi * result.f2_hz).raw());
    block += omega3_line((two_pi * result.f3_hz).raw());
    block += f1_line(0);
    block += f2_line(result.f2_hz.raw());
    block += f3_line(result.f3_hz.raw());
    put_text(r.console, block);
    put_text(r.report_file, block);
}

void solve_natural_frequencies(const disk_shaft_model& model, const system_matrices& matrices,
                               run_streams& r) {
    modal_result result = compute_natural_frequencies(model, matrices);
    write_frequency_block(result, r);
    if (!result.real_roots)
        put_error(r, text::no_real_frequencies_note);
    solve_mode_shapes(model, matrices, result, r);
}
