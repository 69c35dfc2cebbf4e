// The second half of a large points file read ahead on a second thread while the reader reads the
// first half: the plain decimals from the first line start after the middle on, kept in order.
#ifndef KELVORA_READ_AHEAD_H
#define KELVORA_READ_AHEAD_H

#include "number_reader.h"

// Files from this size on (after the reading position) are read in two halves.
#define READ_AHEAD_MINIMUM (1 << 20)
// Values read ahead at most: more than the second half of a file of the table's capacity holds.
#define READ_AHEAD_CAPACITY (1 << 20)

// What the second thread read: the values of the tokens from firstToken on, up to the first token that
// is no plain decimal, the end of the file or the capacity.
struct ReadAhead {
    NumberReader reader;
    long long middle;     // the stretch starts at the first line start after this offset
    long long firstToken; // the offset of its first token
    long long end;        // the offset just after its last token
    int linesToLast;      // line feeds from the first token to the last
    int count;
    double* values;
};

// Starts reading ahead when reader's stream is a regular file with at least READ_AHEAD_MINIMUM bytes
// after the reading position and a second thread can be had; NULL otherwise (always in the page).
ReadAhead* startReadAhead(NumberReader* reader);

// Waits for the second thread; what it read stays in ahead until the next start.
void finishReadAhead(ReadAhead* ahead);

#endif
