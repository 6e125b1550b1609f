#pragma once

#include "report/input_stream.h"

// The longest text one numeric read takes; the rest waits for the next read.
inline constexpr int number_text_limit = 349;

// Reads one number: skips whitespace, scans a sign, digits with at most one
// point and an exponent after a digit, and converts what it scanned to the
// correctly rounded value, independent of the locale (a trailing e or e-sign
// adds nothing). Returns false and leaves value alone when the scan held no
// digit or input ended.
bool read_number(input_stream& in, double& value);
