#pragma once

#include "report/input_stream.h"

// The longest text one numeric read takes; the rest waits for the next read.
inline constexpr int number_text_limit = 349;

enum class read_outcome {
    read,
    not_a_number, // no digit scanned, though input was left
    ended,        // nothing but blank space was left
};

// Reads one number: skips whitespace, scans a sign, digits with at most one
// point and an exponent after a digit, and converts what it scanned to the
// correctly rounded value, independent of the locale (a trailing e or e-sign
// adds nothing). Leaves value alone unless it gives read_outcome::read.
read_outcome read_number(input_stream& in, double& value);

// Where a number that was read stopped, when not at blank space or the end.
enum class number_cut {
    none,
    by_character, // the next byte cannot continue a number
    at_limit,     // number_text_limit characters taken, more follow
};

// The same read, also telling whether the number was cut short (always
// number_cut::none unless it gives read_outcome::read).
read_outcome read_number(input_stream& in, double& value, number_cut& cut);
