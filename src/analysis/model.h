#pragma once

#include "analysis/real.h"
#include "report/run_streams.h"

// The disk chain as typed and, after scaling, divided by the largest values.
// Disks are indexed 1 to 3 and shafts 1 to 2; shaft i joins disks i and i + 1.
struct disk_shaft_model {
    int disk_count = 0;
    real inertia[4] = {};
    real stiffness[3] = {};
    real max_inertia;
    real max_stiffness;
};

// Scaled stiffness and mass matrices, row-major, indexed from 0.
struct system_matrices {
    real stiffness_matrix[3][3] = {};
    real mass_matrix[3][3] = {};
};

// The elastic modes: scaled circular frequencies and physical frequencies in Hz.
struct modal_result {
    real omega2_scaled;
    real omega3_scaled;
    real f2_hz;
    real f3_hz;
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

// One mode shape, disk 1 first, normalised to disk 1.
struct mode_shape {
    bool stopped = false; // a pivot vanished
    int pivot_row = 0;    // the row where it did
    real x[3] = {};
};

// Reads, scales and solves the chain, writing every text on the way; may throw
// zero_pivot_stop.
void run_analysis(disk_shaft_model& model, run_streams& r);

// Asks for the five values in dialogue order and echoes each into the report.
void read_model(disk_shaft_model& model, run_streams& r);
// Sets the largest inertia and stiffness, from maxima that start at 0.
void find_maxima(disk_shaft_model& model);
// Divides every value by the largest of its kind.
void scale_model(disk_shaft_model& model);
// K and M of the scaled chain.
system_matrices assemble_matrices(const disk_shaft_model& model);
// Every scaled inertia and stiffness positive and finite: the chain whose
// frequencies and shapes come from its own equations, not the general
// matrix forms.
bool is_positive_chain(const disk_shaft_model& model);

// Computes and prints the frequencies, then solves the mode shapes.
void solve_natural_frequencies(const disk_shaft_model& model, const system_matrices& matrices,
                               run_streams& r);
// The elastic roots of det(K - lambda M) as frequencies; all 0 without real
// non-negative roots.
modal_result compute_natural_frequencies(const disk_shaft_model& model,
                                         const system_matrices& matrices);
// The frequency block, to the console and then the report file.
void write_frequency_block(const modal_result& result, run_streams& r);

// Solves, in order, and writes the three mode shapes; throws zero_pivot_stop
// after its message when a pivot vanishes.
void solve_mode_shapes(const disk_shaft_model& model, const system_matrices& matrices,
                       const modal_result& result, run_streams& r);
// The mode shape at the scaled circular frequency omega (not its square).
mode_shape compute_mode_shape(const disk_shaft_model& model, const system_matrices& matrices,
                              real omega);
// One displacement block into the report file.
void write_displacement_block(int mode, const real x[3], int disk_count, run_streams& r);
