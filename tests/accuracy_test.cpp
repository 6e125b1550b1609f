#include "analysis/model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <utility>

namespace {

// Eigenvalues of the symmetric 3 x 3 matrix a, by cyclic Jacobi rotations in
// long double, ascending.
std::array<long double, 3> jacobi_eigenvalues(long double a[3][3]) {
    for (int sweep = 0; sweep < 100; ++sweep) {
        long double off = a[0][1] * a[0][1] + a[0][2] * a[0][2] + a[1][2] * a[1][2];
        if (off == 0)
            break;
        for (int p = 0; p < 2; ++p)
            for (int q = p + 1; q < 3; ++q) {
                if (a[p][q] == 0)
                    continue;
                long double theta = (a[q][q] - a[p][p]) / (2 * a[p][q]);
                long double t =
                    (theta >= 0 ? 1 : -1) / (std::fabs(theta) + std::sqrt(theta * theta + 1));
                long double c = 1 / std::sqrt(t * t + 1);
                long double s = t * c;
                for (int k = 0; k < 3; ++k) { // columns p and q
                    long double kp = a[k][p];
                    long double kq = a[k][q];
                    a[k][p] = c * kp - s * kq;
                    a[k][q] = s * kp + c * kq;
                }
                for (int k = 0; k < 3; ++k) { // rows p and q
                    long double pk = a[p][k];
                    long double qk = a[q][k];
                    a[p][k] = c * pk - s * qk;
                    a[q][k] = s * pk + c * qk;
                }
            }
    }
    std::array<long double, 3> e = {a[0][0], a[1][1], a[2][2]};
    std::sort(e.begin(), e.end());
    return e;
}

struct chain {
    double inertia[3];
    double stiffness[2];
};

// The elastic circular frequencies (rad/s) of the physical chain, computed
// independently: M^-1/2 K M^-1/2 is symmetric with the same eigenvalues.
std::pair<long double, long double> reference_omegas(const chain& c) {
    long double k1 = c.stiffness[0];
    long double k2 = c.stiffness[1];
    long double k[3][3] = {{k1, -k1, 0}, {-k1, k1 + k2, -k2}, {0, -k2, k2}};
    long double a[3][3];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            a[i][j] = k[i][j] / std::sqrt((long double)c.inertia[i] * c.inertia[j]);
    auto e = jacobi_eigenvalues(a);
    return {std::sqrt(e[1]), std::sqrt(e[2])};
}

struct analysed {
    disk_shaft_model model;
    system_matrices matrices;
    modal_result result;
};

analysed analyse(const chain& c) {
    analysed a;
    a.model.disk_count = 3;
    for (int i = 0; i < 3; ++i)
        a.model.inertia[i + 1] = c.inertia[i];
    for (int i = 0; i < 2; ++i)
        a.model.stiffness[i + 1] = c.stiffness[i];
    find_maxima(a.model);
    scale_model(a.model);
    a.matrices = assemble_matrices(a.model);
    a.result = compute_natural_frequencies(a.model, a.matrices);
    return a;
}

// Random chains whose inertias lie within `spread` of each other, and so do
// the stiffnesses.
chain random_chain(std::mt19937_64& random, double spread) {
    std::uniform_real_distribution<double> exponent(0, std::log10(spread));
    std::uniform_real_distribution<double> base(-3, 6);
    chain c;
    double ib = std::pow(10.0, base(random));
    double sb = std::pow(10.0, base(random));
    for (double& j : c.inertia)
        j = ib * std::pow(10.0, exponent(random));
    for (double& k : c.stiffness)
        k = sb * std::pow(10.0, exponent(random));
    return c;
}

long double relative(long double got, long double want) {
    return std::fabs(got - want) / std::fabs(want);
}

TEST(Accuracy, FrequenciesAgreeWithAnIndependentEigensolution) {
    const long double two_pi = 2 * std::acos(-1.0L);
    const std::pair<double, double> spreads[] = {{100, 1e-12}, {1e4, 1e-9}};
    std::mt19937_64 random(20261211);
    for (auto [spread, tolerance] : spreads) {
        long double worst = 0;
        for (int n = 0; n < 3000; ++n) {
            chain c = random_chain(random, spread);
            analysed a = analyse(c);
            auto [omega2, omega3] = reference_omegas(c);
            long double e2 = relative(two_pi * a.result.f2_hz, omega2);
            long double e3 = relative(two_pi * a.result.f3_hz, omega3);
            worst = std::max({worst, e2, e3});
            ASSERT_LE(e2, tolerance) << "spread " << spread << " chain " << n;
            ASSERT_LE(e3, tolerance) << "spread " << spread << " chain " << n;
        }
        char worst_text[32];
        std::snprintf(worst_text, sizeof worst_text, "%.3Le", worst);
        RecordProperty("worst_relative_error_spread_" + std::to_string((int)spread), worst_text);
    }
}

TEST(Accuracy, ModeShapesSolveTheScaledSystem) {
    std::mt19937_64 random(11122026);
    for (int n = 0; n < 6000; ++n) {
        // Within a factor 1e4 a mode can leave disk 1 almost still; normalised
        // to it, the shape passes the flush limit and comes out infinite, as
        // designed. Within a factor 100 every shape must be finite.
        const bool wide = n % 2 == 1;
        analysed a = analyse(random_chain(random, wide ? 1e4 : 100));
        const auto& k = a.matrices.stiffness_matrix;
        const auto& m = a.matrices.mass_matrix;
        long double k_norm = 0;
        for (const auto& row : k)
            for (double v : row)
                k_norm += (long double)v * v;
        k_norm = std::sqrt(k_norm);
        for (double omega : {0.0, a.result.omega2_scaled, a.result.omega3_scaled}) {
            mode_shape shape = compute_mode_shape(a.matrices, omega);
            ASSERT_FALSE(shape.stopped) << "chain " << n;
            if (wide && !std::isfinite(shape.x[1] + shape.x[2]))
                continue;
            EXPECT_NEAR(shape.x[0], 1.0, 1e-12);
            long double w = (long double)omega * omega;
            long double x_norm = 0;
            long double residual = 0;
            for (int i = 0; i < 3; ++i) {
                long double r = 0;
                for (int j = 0; j < 3; ++j)
                    r += ((long double)k[i][j] - w * m[i][j]) * shape.x[j];
                residual += r * r;
                x_norm += (long double)shape.x[i] * shape.x[i];
            }
            ASSERT_LE(std::sqrt(residual), 1e-9 * k_norm * std::sqrt(x_norm))
                << "chain " << n << " omega " << omega;
        }
    }
}

} // namespace
