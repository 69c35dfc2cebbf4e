// Number-to-text rule for every text that is read back: "%lg" when that reads back to the same double,
// otherwise "%.*lg" with the smallest precision from 7 to 17 that does.
#ifndef KELVORA_NUMBER_TEXT_H
#define KELVORA_NUMBER_TEXT_H

#include <windows.h>

// Longest text the rule produces, terminating zero included ("-2.2250738585072014e-308" is 24 characters).
#define NUMBER_TEXT_CAPACITY 32

// Writes v into out (capacity characters, terminating zero included). Returns the number of characters
// written without the zero, or -1 when out is too small (out then holds "" if capacity is at least 1).
int formatNumber(char* out, int capacity, double v);
int formatNumberW(WCHAR* out, int capacity, double v);

#endif
