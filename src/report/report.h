#pragma once

#include "report/input_stream.h"
#include "report/output_sink.h"

#include <string>

// Everything a run reads and writes: the console input, the console output,
// the report file and where error messages go.
struct report {
    input_stream input;
    output_sink console;
    output_sink file;
    int error_fd = 2;
    std::string file_name; // as typed
    // When set, the report file is created here instead of at the typed name
    // (lets the fuzzer run the whole dialogue without writing where it likes).
    const char* create_path = nullptr;
};
