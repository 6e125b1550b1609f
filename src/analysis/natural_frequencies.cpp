#include "analysis/model.h"
#include "analysis/real.h"
#include "report/texts.h"

#include <cmath>
#include <optional>

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

// The elastic roots solve lambda^2 + B lambda + C = 0; D is its discriminant.
struct elastic_quadratic {
    real b;
    real c;
    real discriminant;
};

// det(K - lambda M) = a lambda^3 + b lambda^2 + c lambda + d, in full, for any
// chain: infinite entries make the reduced chain formulas disagree.
elastic_quadratic quadratic_from_expansion(const system_matrices& matrices) {
    const matrix& k = matrices.stiffness_matrix;
    const matrix& m = matrices.mass_matrix;
    real a = -determinant(m);
    real b = cofactor_sum(k, m);
    real c = -cofactor_sum(m, k);
    // The rigid-body root lambda = 0 set aside.
    elastic_quadratic e{b / a, c / a, real{0}};
    e.discriminant = pow2(e.b) - real{4} * e.c;
    return e;
}

// The same quadratic from the four rates of a positive chain: every sum adds
// terms of one sign and D is a sum of two squares, so nothing cancels where
// the roots lie close together or the stiffnesses far apart. Empty when a
// rate leaves the range of a double.
std::optional<elastic_quadratic> quadratic_from_rates(const disk_shaft_model& model) {
    const real j1 = model.inertia[1], j2 = model.inertia[2], j3 = model.inertia[3];
    const real k1 = model.stiffness[1], k2 = model.stiffness[2];
    real p = k1 / j1;
    real u = k1 / j2;
    real v = k2 / j2;
    real q = k2 / j3;
    if (!(is_finite(p) && is_finite(u) && is_finite(v) && is_finite(q)))
        return std::nullopt;
    real d = (p - q) + (u - v);
    return elastic_quadratic{
        .b = -((p + u) + (v + q)),
        .c = (p * q + p * v) + u * q,
        .discriminant = d * d + (real{4} * u) * v,
    };
}

// Scaling by the maxima multiplied every eigenvalue by
// max_inertia / max_stiffness; g undoes that on the frequencies. Where the
// quotient alone leaves the normal range, g itself need not.
real frequency_scale(const disk_shaft_model& model) {
    const real zero{0};
    const real k = model.max_stiffness;
    const real j = model.max_inertia;
    real quotient = k / j;
    bool maxima_ordinary = k > zero && is_finite(k) && j > zero && is_finite(j);
    if (maxima_ordinary && !is_normal(quotient))
        return sqrt(k) / sqrt(j);
    return sqrt(quotient);
}

} // namespace

modal_result compute_natural_frequencies(const disk_shaft_model& model,
                                         const system_matrices& matrices) {
    std::optional<elastic_quadratic> from_rates;
    if (is_positive_chain(model))
        from_rates = quadratic_from_rates(model);
    elastic_quadratic e = from_rates ? *from_rates : quadratic_from_expansion(matrices);

    modal_result result;
    real f2{0};
    real f3{0};
    if (e.discriminant >= real{0}) {
        real s = sqrt(e.discriminant);
        real r1 = (-e.b - s) * real{0.5};
        real r2 = (s - e.b) * real{0.5};
        // Far apart roots make -B - s a difference of nearly equal numbers;
        // r1 r2 = C gives the small one without that cancellation.
        if (e.b < real{0} && is_finite(r2) && r2 > real{0})
            r1 = e.c / r2;
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
    real g = frequency_scale(model);
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
