#include "report/texts.h"

#include "report/number_format.h"

namespace {

// "%d" without padding.
std::string decimal_text(int value) {
    return std::to_string(value);
}

std::string with_number(std::string_view before, double value, std::string_view after) {
    std::string s(before);
    s += format_number(value);
    s += after;
    return s;
}

std::string counted(std::string_view before, int count, std::string_view after) {
    std::string s(before);
    s += decimal_text(count);
    s += after;
    return s;
}

// "WHAT: REASON", framed as every message.
std::string with_reason(std::string_view what, std::string_view reason) {
    std::string s(what);
    s += ": ";
    s += reason;
    s += " \n";
    return s;
}

std::string counted_number(std::string_view before, int count, double value) {
    std::string s = counted(before, count, " = ");
    s += format_number(value);
    return s;
}

} // namespace

std::string inertia_prompt(int disk) {
    return counted("\n\n Enter inertia of disk  ", disk, " \n");
}
std::string inertia_echo(int disk, double value) {
    return counted_number("\n\n Inertia of disk  ", disk, value) + "\n";
}
std::string last_inertia_echo(int disk, double value) {
    return counted_number("\n\n Inertia of disk  ", disk, value) + "\n\n\n";
}
std::string stiffness_prompt(int shaft) {
    return counted("\n\n Enter stiffness of shaft ", shaft, " \n");
}
std::string stiffness_echo(int shaft, double value) {
    return counted_number("\n\n Stiffness of disk  ", shaft, value) + "\n";
}
std::string omega1_line(double value) {
    return with_number("\n omega1 = ", value, " rad/sec\n");
}
std::string omega2_line(double value) {
    return with_number(" omega2 = ", value, " rad/sec\n");
}
std::string omega3_line(double value) {
    return with_number(" omega3 = ", value, " rad/sec\n");
}
std::string f1_line(double value) {
    return with_number("\n f1 = ", value, " Hz\n");
}
std::string f2_line(double value) {
    return with_number(" f2 = ", value, " Hz\n");
}
std::string f3_line(double value) {
    return with_number(" f3 = ", value, " Hz\n\n");
}
std::string displacement_heading(int mode) {
    return counted("\n\n Displacement Vector ", mode, "\n");
}
std::string displacement_component(double value) {
    return with_number("\n ", value, "");
}
std::string zero_pivot_message(int row) {
    return counted(counted("\n diagonal term  ", row, " "), row, " equals zero ");
}
std::string output_file_line(std::string_view name) {
    std::string s = "   ";
    s += name;
    s += " \n";
    return s;
}

std::string no_filename_message() {
    return "\n No output filename entered \n";
}
std::string filename_too_long_message() {
    return "\n Output filename too long (at most 4095 characters) \n";
}
std::string caret_notation(std::string_view name) {
    std::string s;
    s.reserve(name.size());
    for (char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f) {
            s += '^';
            s += static_cast<char>(byte ^ 0x40);
        } else {
            s += c;
        }
    }
    return s;
}

std::string cannot_create_message(std::string_view name, std::string_view reason) {
    return with_reason("\n Cannot create output file " + std::string(name), reason);
}
std::string cannot_write_message(std::string_view name, std::string_view reason) {
    return with_reason("\n Cannot write output file " + std::string(name), reason);
}

std::string cannot_write_console_message(std::string_view reason) {
    return with_reason("\n Cannot write to standard output", reason);
}
std::string cannot_read_input_message(std::string_view reason) {
    return with_reason("\n Cannot read standard input", reason);
}

std::string inertia_not_a_number_note(int disk) {
    return counted("\n Inertia of disk ", disk, " is not a number: taken as 0 \n");
}
std::string stiffness_not_a_number_note(int shaft) {
    return counted("\n Stiffness of shaft ", shaft, " is not a number: taken as 0 \n");
}
std::string input_ended_before_inertia_note(int disk) {
    return counted("\n Input ended before the inertia of disk ", disk,
                   ": it and the later values are taken as 0 \n");
}
std::string input_ended_before_stiffness_note(int shaft) {
    return counted("\n Input ended before the stiffness of shaft ", shaft,
                   ": it and the later values are taken as 0 \n");
}
std::string mode_unsolved_note(int mode) {
    return counted(
        "\n Mode ", mode,
        " cannot be solved: a pivot is zero or not a number; the report ends before it \n");
}

namespace {

// The value as the report shows it, without the field's leading blanks.
std::string cut_note(std::string_view what, int number, double value, bool at_limit) {
    const std::string field = format_number(value);
    std::string s = counted(what, number, " read as ");
    s += field.substr(field.find_first_not_of(' '));
    s += at_limit ? ": it is longer than 349 characters and was cut there \n"
                  : ": the character after it cannot continue a number \n";
    return s;
}

} // namespace

std::string inertia_cut_note(int disk, double value, bool at_limit) {
    return cut_note("\n Inertia of disk ", disk, value, at_limit);
}
std::string stiffness_cut_note(int shaft, double value, bool at_limit) {
    return cut_note("\n Stiffness of shaft ", shaft, value, at_limit);
}
std::string mode_not_finite_note(int mode) {
    return counted("\n Mode ", mode,
                   " could not be normalised to disk 1: some of its components are not finite \n");
}
std::string arguments_ignored_note() {
    return "\n quelmar takes no arguments: they are ignored \n";
}
