#pragma once

#include "report/run_streams.h"

#include <string>
#include <string_view>

// The fixed texts of the console dialogue and the report file.
namespace text {
inline constexpr std::string_view title = "\n\n\n quelmar  ver 1.0 \n";
inline constexpr std::string_view credit =
    "\n By the quelmar developers \n Email:  quelmar@example.org";
inline constexpr std::string_view console_heading = "\n\n\n Modal Method for Torsional Systems \n";
inline constexpr std::string_view file_heading = "\n\n\n Modal Method for Torsional Systems \n\n";
inline constexpr std::string_view filename_prompt = "\n Enter output filename \n";
inline constexpr std::string_view file_created = "\n";
inline constexpr std::string_view units = "\n\n Units: \n";
inline constexpr std::string_view inertia_unit = "\n    inertia   (kg m^2) ";
inline constexpr std::string_view stiffness_unit = "\n    stiffness (N m/rad) \n\n";
inline constexpr std::string_view boundary_conditions = "\n BC:  Free-Free \n";
inline constexpr std::string_view frequency_heading = "\n\n Natural Frequencies \n";
inline constexpr std::string_view block_end = "\n\n\n";
inline constexpr std::string_view output_file_heading = "\n\n Output file: \n";
inline constexpr std::string_view key_prompt = "\n\n Press any key to exit.\n";
inline constexpr std::string_view no_real_frequencies_note =
    "\n Modes 2 and 3 have no real natural frequencies for these values \n";
} // namespace text

std::string inertia_prompt(int disk);                  // "\n\n Enter inertia of disk  %d \n"
std::string inertia_echo(int disk, double value);      // "\n\n Inertia of disk  %d = %12.4g\n"
std::string last_inertia_echo(int disk, double value); // same, then two more line breaks
std::string stiffness_prompt(int shaft);               // "\n\n Enter stiffness of shaft %d \n"
std::string stiffness_echo(int shaft, double value);   // "\n\n Stiffness of disk  %d = %12.4g\n"
std::string omega1_line(double value);
std::string omega2_line(double value);
std::string omega3_line(double value);
std::string f1_line(double value);
std::string f2_line(double value);
std::string f3_line(double value);
std::string displacement_heading(int mode);          // "\n\n Displacement Vector %d\n"
std::string displacement_component(double value);    // "\n %12.4g"
std::string zero_pivot_message(int row);             // "\n diagonal term  %d %d equals zero "
std::string output_file_line(std::string_view name); // "   %s \n"

// The name with control bytes in caret notation (ESC as ^[, DEL as ^?), so a
// typed name cannot drive the terminal it is shown on. Other bytes unchanged.
std::string caret_notation(std::string_view name);

// Error messages of the run flow.
std::string no_filename_message();
std::string filename_too_long_message();
// The reason is the system's error text, or the tool's own.
std::string cannot_create_message(std::string_view name, std::string_view reason);
std::string cannot_write_message(std::string_view name, std::string_view reason);
// The reason is the system's error text.
std::string cannot_write_console_message(std::string_view reason);
std::string cannot_read_input_message(std::string_view reason);

// Notes on the error stream where results would otherwise turn 0 unexplained.
std::string inertia_not_a_number_note(int disk);
std::string stiffness_not_a_number_note(int shaft);
std::string input_ended_before_inertia_note(int disk);
std::string input_ended_before_stiffness_note(int shaft);
std::string mode_unsolved_note(int mode);
// A value read from the start of a longer token: cut at a character that
// cannot continue a number, or at the length limit of one number.
std::string inertia_cut_note(int disk, double value, bool at_limit);
std::string stiffness_cut_note(int shaft, double value, bool at_limit);
std::string mode_not_finite_note(int mode);
std::string arguments_ignored_note();
// Why a report file that would overwrite the tool's own input, console or
// error stream, or write into its own input pipe, is refused.
inline constexpr std::string_view shared_file_reason = "it is also standard input, output or error";
// Why a report file that another run holds locked is refused.
inline constexpr std::string_view locked_file_reason = "another run is writing it";
