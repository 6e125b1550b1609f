// The zero-pivot note names the mode that stopped, counted from 1, while the
// console message beside it names the 0-based pivot row.

#include "analysis/model.h"
#include "read_all.h"

#include <gtest/gtest.h>

#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace {

TEST(ZeroPivotNote, NamesTheModeThatStopped) {
    // Disk 3 uncoupled and a mode 2 frequency that leaves row 1 empty: mode 1
    // solves, mode 2 meets a zero pivot in row 1.
    system_matrices matrices;
    const double k[3][3] = {{1, -1, 0}, {-1, 1, 0}, {0, 0, 0}};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            matrices.stiffness_matrix[i][j] = real{k[i][j]};
            matrices.mass_matrix[i][j] = real{i == j ? 1.0 : 0.0};
        }
    modal_result result;
    result.omega2_scaled = real{1};
    result.omega3_scaled = real{2};
    disk_shaft_model model;
    model.disk_count = 3;

    run_streams r;
    open_sink(r.console, memfd_create("console", 0), false);
    open_sink(r.report_file, memfd_create("report", 0), false);
    open_sink(r.errors, memfd_create("errors", 0), true);
    int stop_row = -1;
    try {
        solve_mode_shapes(model, matrices, result, r);
    } catch (const zero_pivot_stop& stop) {
        stop_row = stop.row;
    }
    flush_sink(r.console);
    flush_sink(r.report_file);

    EXPECT_EQ(stop_row, 1);
    EXPECT_EQ(rewound_contents(r.console.fd), "\r\n diagonal term  1 1 equals zero ");
    // Mode 1 solves, but disk 3 is uncoupled from disk 1.
    EXPECT_EQ(rewound_contents(r.errors.fd),
              "\r\n Mode 1 could not be normalised to disk 1: some of its components are not "
              "finite \r\n"
              "\r\n Mode 2 cannot be solved: a pivot is zero or not a "
              "number; the report ends before it \r\n");
    std::string file = rewound_contents(r.report_file.fd);
    EXPECT_NE(file.find("Displacement Vector 1"), std::string::npos);
    EXPECT_EQ(file.find("Displacement Vector 2"), std::string::npos);
}

} // namespace
