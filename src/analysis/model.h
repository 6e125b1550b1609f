#pragma once

#include "report/report.h"

// The disk chain as typed and, after scaling, divided by the largest values.
// Disks are indexed 1 to 3 and shafts 1 to 2; shaft i joins disks i and i + 1.
struct disk_shaft_model {
    int disk_count = 0;
    double inertia[4] = {};
    double stiffness[3] = {};
    double max_inertia = 0;
    double max_stiffness = 0;
};

// Scaled stiffness and mass matrices, row-major, indexed from 0.
struct system_matrices {
    double stiffness_matrix[3][3] = {};
    double mass_matrix[3][3] = {};
};

// The elastic modes: scaled circular frequencies and physical frequencies in Hz.
struct modal_result {
    double omega2_scaled = 0;
    double omega3_scaled = 0;
    double f2_hz = 0;
    double f3_hz = 0;
    bool real_roots = false; // both elastic roots real and not negative
};

// A pivot whose magnitude is not at least this stops the run.
inline constexpr double pivot_zero_limit = 1e-20;
// An eliminated entry whose magnitude is not at least this times the larger
// of the two terms it came from is rounding noise and becomes exactly 0.
inline constexpr double roundoff_flush_limit = 1e-12;

// Thrown by the mode-shape stage after its message when a pivot vanishes; the
// run flow ends the process on it.
struct zero_pivot_stop {
    int row;
};

void run_analysis(disk_shaft_model& model, report& r);

void read_model(disk_shaft_model& model, report& r);
// The largest typed inertia and stiffness, from maxima that start at 0.
void find_maxima(disk_shaft_model& model);
void scale_model(disk_shaft_model& model);
system_matrices assemble_matrices(const disk_shaft_model& model);

void solve_natural_frequencies(const disk_shaft_model& model, const system_matrices& matrices,
                               report& r);
modal_result compute_natural_frequencies(const disk_shaft_model& model,
                                         const system_matrices& matrices);
void write_frequency_block(const modal_result& result, report& r);

// One mode shape solved from its squared scaled circular frequency.
struct mode_shape {
    bool stopped = false; // a pivot vanished
    int pivot_row = 0;    // the row where it did
    double x[3] = {};
};

void solve_mode_shapes(const disk_shaft_model& model, const system_matrices& matrices,
                       const modal_result& result, report& r);
mode_shape compute_mode_shape(const system_matrices& matrices, double omega);
void write_displacement_block(int mode, const double x[3], int disk_count, report& r);
