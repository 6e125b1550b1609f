#pragma once

#include "report/input_stream.h"
#include "report/output_sink.h"

#include <string>

// Everything a run reads and writes: the console input, the console output,
// the report file and the error stream for messages and notes.
struct run_streams {
    input_stream input;
    output_sink console;
    output_sink report_file;
    output_sink errors;    // written at once
    std::string file_name; // as typed
    // When set, the report file is created here instead of at the typed name
    // (lets the fuzzer run the whole dialogue without writing where it likes).
    const char* create_path = nullptr;
};

// A message or note on the error stream, after everything the console holds so
// far, so that it shows where it happened.
void put_error(run_streams& r, std::string_view text);
