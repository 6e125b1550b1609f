#pragma once

#include <string>

// The report's number field: 4 significant digits, right-aligned in 12
// characters, exponent in three digits, infinities and NaNs as 1.#IO / 1.#QO.
// Digits are rounded half up twice: first to 17 digits from the exact binary
// value, then to 4, so the result matches the reports users already keep.
std::string format_number(double value);

// Writes the same 12 characters into out (no terminator).
void format_number_into(double value, char out[12]);
