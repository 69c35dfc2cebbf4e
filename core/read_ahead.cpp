// Reading ahead on a second thread: the machine's second core converts the second half of a large
// points file while the first is read, the part that takes the time. The thread reads the file by
// positioned reads of its own, so the reader's stream is never moved under it, and keeps only values:
// the reader decides what they are, once it reaches them, and reads on by itself whenever they do not
// fit (a token that is no plain decimal, more numbers than the count).
#include "read_ahead.h"

#include <stdio.h>
#include <sys/stat.h>

#ifndef __EMSCRIPTEN__
#include <pthread.h>

// One read ahead at a time: its block reader and values are the reading's working memory.
static ReadAhead g_readAhead;
static double g_readAheadValues[READ_AHEAD_CAPACITY];
static pthread_t g_readAheadThread;
static bool g_readAheadRunning;

static void* readSecondHalf(void* argument)
{
    ReadAhead* ahead = (ReadAhead*)argument;
    NumberReader* reader = &ahead->reader;
    int c;
    do {
        c = peekChar(reader, 0);
        passChar(reader);
    } while (c >= 0 && c != '\n');
    int firstLine = 0;
    while (c >= 0 && ahead->count < READ_AHEAD_CAPACITY && skipWhiteSpace(reader)) {
        long long at = readerOffset(reader);
        int line = reader->line;
        double value;
        if (!readPlainToken(reader, &value)) break;
        if (ahead->count == 0) {
            ahead->firstToken = at;
            firstLine = line;
        }
        ahead->linesToLast = line - firstLine;
        ahead->values[ahead->count++] = value;
        ahead->end = readerOffset(reader);
    }
    return NULL;
}

ReadAhead* startReadAhead(NumberReader* reader)
{
    struct stat status;
    long long at = readerOffset(reader);
    if (g_readAheadRunning || reader->file == NULL || at < 0 || fileno(reader->file) < 0 ||
        fstat(fileno(reader->file), &status) != 0 || !S_ISREG(status.st_mode) ||
        (long long)status.st_size - at < READ_AHEAD_MINIMUM) {
        return NULL;
    }
    ReadAhead* ahead = &g_readAhead;
    ahead->middle = at + ((long long)status.st_size - at) / 2;
    ahead->firstToken = -1;
    ahead->end = -1;
    ahead->linesToLast = 0;
    ahead->count = 0;
    ahead->values = g_readAheadValues;
    startNumberReaderAt(&ahead->reader, fileno(reader->file), ahead->middle);
    if (pthread_create(&g_readAheadThread, NULL, readSecondHalf, ahead) != 0) return NULL;
    g_readAheadRunning = true;
    return ahead;
}

void finishReadAhead(ReadAhead* ahead)
{
    if (ahead == NULL || !g_readAheadRunning) return;
    pthread_join(g_readAheadThread, NULL);
    g_readAheadRunning = false;
}
#else
ReadAhead* startReadAhead(NumberReader*)
{
    return NULL;
}

void finishReadAhead(ReadAhead*) {}
#endif
