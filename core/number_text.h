// SPDX-License-Identifier: GPL-3.0-or-later
// Number-to-text rule for every text that is read back: "%lg" when that reads back to the same double,
// otherwise "%.*lg" with the smallest precision from 7 to 17 that does; and the reading of a field
// that holds one number as a person types it.
#ifndef KELVORA_NUMBER_TEXT_H
#define KELVORA_NUMBER_TEXT_H

#include <windows.h>

// Longest text the rule produces, terminating zero included ("-2.2250738585072014e-308" is 24 characters).
#define NUMBER_TEXT_CAPACITY 32

// Writes v into out (capacity characters, terminating zero included). Returns the number of characters
// written without the zero, or -1 when out is too small (out then holds "" if capacity is at least 1).
int formatNumber(char* out, int capacity, double v);
int formatNumberW(WCHAR* out, int capacity, double v);

// Reads a field's whole text as one number, in any form strtod takes, with white space around it and a
// decimal comma read as the point ("1,5" is 1.5). Any other text ("", "2x", "1,5,3", "1 2") is not a
// number: false, and *value keeps what it held. A text of a thousand characters or more is not read.
bool readFieldNumber(const WCHAR* text, double* value);

#endif
