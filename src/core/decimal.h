// The one decimal reader of the program: request lengths, script statuses,
// date pieces and address pattern numbers all go through it.
#pragma once

#include <cstdint>

// The decimal number at the start of `text` as the C library reads it
// (leading blanks, optional sign, digits up to the first non-digit; 0 when
// there are none), saturating at the 32-bit limits instead of overflowing.
int32_t ParseDecimalPrefix(const char* text);

// The same, saturating at the 64-bit limits.
int64_t ParseDecimalPrefix64(const char* text);
