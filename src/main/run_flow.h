#pragma once

#include "report/run_streams.h"

// How a run ended, for the caller to finish the process.
enum class run_end {
    completed, // closing lines written; the key wait follows
    stopped,   // zero-pivot stop or an error message: end at once
};

// Sets up the report on standard input, standard output and standard error.
void open_standard_streams(run_streams& r);

// Reads the file name and creates the report file. False after an error
// message on the error stream.
bool open_report_file(run_streams& r);

// The whole run from the banner to the closing lines, with status 1 to follow
// in every case.
run_end run_dialogue(run_streams& r);
