// Accuracy of the analysis against the chain's own closed forms evaluated in
// a wider type, with no cancellation: every printed number must equal the
// reference rounded to its four printed digits.

#include "analysis/model.h"
#include "report/number_format.h"
#include "typed_chain.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <ostream>
#include <random>
#include <string>
#include <vector>

namespace {

#ifdef __SIZEOF_FLOAT128__
__extension__ typedef __float128 wide;
#else
typedef long double wide;
#endif

wide magnitude(wide v) {
    return v < 0 ? -v : v;
}

// Newton steps from the long double root: quadratic convergence reaches the
// wider type's precision in two.
wide wide_sqrt(wide v) {
    if (v <= 0)
        return 0;
    wide r = std::sqrt(static_cast<long double>(v));
    for (int i = 0; i < 3; ++i)
        r = (r + v / r) / 2;
    return r;
}

const wide two_pi = 2 * static_cast<wide>(std::acos(-1.0L));

// Every value positive, log-uniform within `spread` of the smallest of its
// kind, inertias and stiffnesses each on their own scale.
typed_chain random_chain(std::mt19937_64& random, double spread) {
    std::uniform_real_distribution<double> exponent(0, std::log10(spread));
    std::uniform_real_distribution<double> base(-3, 6);
    typed_chain c;
    double ib = std::pow(10.0, base(random));
    double sb = std::pow(10.0, base(random));
    for (int i : {0, 2, 4})
        c[i] = ib * std::pow(10.0, exponent(random));
    for (int i : {1, 3})
        c[i] = sb * std::pow(10.0, exponent(random));
    return c;
}

// The roots of z^2 + beta z + gamma = 0, ascending, from the root s of its
// discriminant: the larger in magnitude by the sign that adds, the other as
// gamma over it, so neither is a difference of nearly equal numbers.
std::array<wide, 2> roots_ascending(wide beta, wide gamma, wide s) {
    wide big = beta >= 0 ? (-beta - s) / 2 : (s - beta) / 2;
    wide other = gamma / big;
    if (big < other)
        return {big, other};
    return {other, big};
}

// The elastic roots (squared circular frequencies, rad^2/s^2) and the mode
// shapes of the physical chain, from the four rates p = k1 / J1,
// u = k1 / J2, v = k2 / J2, q = k2 / J3. The roots solve
// lambda^2 - (p + u + v + q) lambda + (pq + pv + uq) = 0. For the shapes,
// x2 = (p - lambda) / p from disk 1's equation and
// x3 = q (p - lambda) / (p (q - lambda)) from disk 3's; lambda - p and
// lambda - q are the roots of the same quadratic shifted by p and by q, so
// they too come without cancellation. Its discriminant is in every case
// (p - q + u - v)^2 + 4uv, a sum of squares.
struct reference {
    wide lambda[3];   // 0, then the two elastic roots ascending
    wide shape[3][3]; // per mode, disk 1 first, normalised to disk 1
};

reference reference_of(const typed_chain& c) {
    wide j1 = c[0], j2 = c[2], j3 = c[4];
    wide k1 = c[1], k2 = c[3];
    wide p = k1 / j1, u = k1 / j2, v = k2 / j2, q = k2 / j3;
    wide d = p - q + u - v;
    wide s = wide_sqrt(d * d + 4 * u * v);
    auto lambda = roots_ascending(-(p + u + v + q), p * q + p * v + u * q, s);
    auto minus_p = roots_ascending(p - q - u - v, -u * (p - q), s);
    auto minus_q = roots_ascending(q - p - u - v, -v * (q - p), s);
    reference r = {{0, lambda[0], lambda[1]}, {{1, 1, 1}}};
    for (int m = 1; m < 3; ++m) {
        r.shape[m][0] = 1;
        r.shape[m][1] = -minus_p[m - 1] / p;
        r.shape[m][2] = q / p * (minus_p[m - 1] / minus_q[m - 1]);
    }
    return r;
}

// The chain as it would be typed, for failure messages.
std::string typed_text(const typed_chain& c) {
    char typed[160];
    std::snprintf(typed, sizeof typed, "typed %.17g %.17g %.17g %.17g %.17g", c[0], c[1], c[2],
                  c[3], c[4]);
    return typed;
}

struct analysed {
    disk_shaft_model model;
    system_matrices matrices;
    modal_result result;
    mode_shape shapes[3];
};

analysed analyse(const typed_chain& c) {
    analysed a;
    a.model = typed_model(c);
    scale_model(a.model);
    a.matrices = assemble_matrices(a.model);
    a.result = compute_natural_frequencies(a.model, a.matrices);
    const real omega[3] = {real{0}, a.result.omega2_scaled, a.result.omega3_scaled};
    for (int m = 0; m < 3; ++m)
        a.shapes[m] = compute_mode_shape(a.model, a.matrices, omega[m]);
    return a;
}

std::string printed(wide v) {
    return format_number(static_cast<double>(v));
}

std::string printed_hz(wide lambda) {
    return printed(wide_sqrt(lambda) / two_pi);
}

// What the tool prints wrong for one chain, one line per number; empty when
// every number checked is right. Components far below their shape's largest
// lie under what four digits of it can show and are not checked.
struct chain_check {
    bool shapes = true; // else only the frequencies
};

std::vector<std::string> wrong_numbers(const typed_chain& c, chain_check check = {}) {
    analysed a = analyse(c);
    reference ref = reference_of(c);
    std::vector<std::string> wrong;
    const real hz[3] = {real{0}, a.result.f2_hz, a.result.f3_hz};
    for (int m = 1; m < 3; ++m) {
        std::string shown = format_number(hz[m].raw());
        if (shown != printed_hz(ref.lambda[m]))
            wrong.push_back("f" + std::to_string(m + 1) + " " + shown + ", truly " +
                            printed_hz(ref.lambda[m]));
    }
    if (!check.shapes)
        return wrong;
    for (int m = 0; m < 3; ++m) {
        const mode_shape& s = a.shapes[m];
        wide largest = 0;
        for (wide v : ref.shape[m])
            largest = magnitude(v) > largest ? magnitude(v) : largest;
        for (int i = 0; i < 3; ++i) {
            std::string where = "mode " + std::to_string(m + 1) + " disk " + std::to_string(i + 1);
            if (s.stopped || !is_finite(s.x[i])) {
                wrong.push_back(where + " not finite");
                continue;
            }
            if (magnitude(ref.shape[m][i]) < largest / 1000)
                continue;
            std::string shown = format_number(s.x[i].raw());
            if (shown != printed(ref.shape[m][i]))
                wrong.push_back(where + " " + shown + ", truly " + printed(ref.shape[m][i]));
        }
    }
    return wrong;
}

std::string joined(const std::vector<std::string>& lines) {
    std::string all;
    for (const std::string& line : lines)
        all += "\n  " + line;
    return all;
}

TEST(Accuracy, RandomChainsPrintEveryNumberRight) {
    // Far beyond any real machine: the claim is for values within 1e100 of
    // each other, inertias and stiffnesses each on their own.
    const double spreads[] = {1e2, 1e4, 1e6, 1e8, 1e12, 1e20, 1e100};
    std::mt19937_64 random(20261211);
    for (double spread : spreads) {
        for (int n = 0; n < 20000; ++n) {
            typed_chain c = random_chain(random, spread);
            std::vector<std::string> wrong = wrong_numbers(c);
            ASSERT_TRUE(wrong.empty())
                << "spread " << spread << ", " << typed_text(c) << joined(wrong);
        }
    }
}

// A heavy middle disk between two end disks of like rates: the elastic roots
// lie 1 / ratio apart, exactly so where k1 / J1 equals k2 / J3. The shapes of
// roots that close hang on the last digits of the values, so they are held to
// their digits only up to a ratio of 1e7; the frequencies at every ratio.
TEST(Accuracy, SymmetricChainsWithNearlyEqualFrequencies) {
    std::mt19937_64 random(11122026);
    std::uniform_real_distribution<double> decades(-1, 1);
    const double detunings[] = {0, 1e-12, -1e-12, 1e-9, -1e-9, 1e-6, -1e-6};
    for (int decade = 2; decade <= 12; ++decade) {
        double ratio = std::pow(10.0, decade);
        for (double detuning : detunings) {
            for (int n = 0; n < 50; ++n) {
                double j1 = std::pow(10.0, 3 * decades(random));
                double j3 = j1 * std::pow(10.0, decades(random));
                double k1 = std::pow(10.0, 3 * decades(random));
                double k2 = k1 * j3 / j1 * (1 + detuning);
                typed_chain c = {j1, k1, ratio * std::max(j1, j3), k2, j3};
                std::vector<std::string> wrong = wrong_numbers(c, {.shapes = ratio <= 1e7});
                ASSERT_TRUE(wrong.empty()) << "ratio " << ratio << ", detuning " << detuning << ", "
                                           << typed_text(c) << joined(wrong);
            }
        }
    }
}

long double wide_of(real v) {
    return v.raw();
}

// Each elastic shape solves the scaled system to rounding: the residual of
// rows 1 and 2 of (K - w M) x is small against the size of those rows and
// of x.
TEST(Accuracy, ModeShapesSolveTheScaledSystem) {
    std::mt19937_64 random(20261112);
    for (double spread : {1e2, 1e4}) {
        for (int n = 0; n < 6000; ++n) {
            typed_chain c = random_chain(random, spread);
            analysed a = analyse(c);
            const auto& k = a.matrices.stiffness_matrix;
            const auto& m = a.matrices.mass_matrix;
            const real omegas[3] = {real{0}, a.result.omega2_scaled, a.result.omega3_scaled};
            for (int mode = 0; mode < 3; ++mode) {
                real omega = omegas[mode];
                const mode_shape& shape = a.shapes[mode];
                ASSERT_FALSE(shape.stopped) << typed_text(c);
                EXPECT_EQ(shape.x[0].raw(), 1.0);
                long double w = wide_of(omega) * wide_of(omega);
                long double a_norm = 0;
                long double x_norm = 0;
                long double residual = 0;
                for (int i = 1; i < 3; ++i) {
                    long double r = 0;
                    for (int j = 0; j < 3; ++j) {
                        long double aij = wide_of(k[i][j]) - w * wide_of(m[i][j]);
                        r += aij * wide_of(shape.x[j]);
                        a_norm += aij * aij;
                    }
                    residual += r * r;
                }
                for (real x : shape.x)
                    x_norm += wide_of(x) * wide_of(x);
                ASSERT_TRUE(std::isfinite(x_norm)) << typed_text(c);
                ASSERT_LE(std::sqrt(residual), 1e-13 * std::sqrt(a_norm * x_norm))
                    << typed_text(c) << " omega " << omega.raw();
            }
        }
    }
}

} // namespace
