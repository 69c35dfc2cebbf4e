// SPDX-License-Identifier: GPL-3.0-or-later
// Reading ahead on a second thread. The thread reads the file by positioned reads of its own, so the
// reader's stream never moves under it, and keeps only values: the reader decides what they are once
// it reaches them.
#include "read_ahead.h"

#ifndef __EMSCRIPTEN__
// One read ahead at a time: its reader and values are the reading's working memory.
static ReadAhead g_readAhead;
static double g_readAheadValues[READ_AHEAD_CAPACITY];
static bool g_readAheadBusy;

// Notes the reading position (the next token's, or a line start for rows) as a checkpoint for the
// values from ahead->count on.
static bool addCheckpoint(ReadAhead* ahead)
{
    NumberReader* reader = &ahead->reader;
    if (ahead->kind == READ_AHEAD_NUMBERS && !skipWhiteSpace(reader)) return false;
    if (ahead->checkpointCount >= READ_AHEAD_CHECKPOINTS) return false;
    ReadCheckpoint* checkpoint = &ahead->checkpoints[ahead->checkpointCount++];
    checkpoint->offset = readerOffset(reader);
    checkpoint->line = reader->line;
    checkpoint->index = ahead->count;
    return true;
}

// Whether the reader has stopped the thread: it read on and finished by itself.
static bool stopped(ReadAhead* ahead)
{
    return InterlockedCompareExchange(&ahead->stopped, 0, 0) != 0;
}

// Plain decimals until a token is something else, the file ends or the values are full.
static void readNumbers(ReadAhead* ahead)
{
    NumberReader* reader = &ahead->reader;
    while (ahead->count < READ_AHEAD_CAPACITY && !stopped(ahead)) {
        int wanted = READ_AHEAD_STEP - ahead->count % READ_AHEAD_STEP;
        int run = readPlainValues(reader, ahead->values + ahead->count, wanted);
        if (run == 0) {
            // The block's end, or a token the run does not take: one token on its own, through a refill.
            if (!skipWhiteSpace(reader) || !readPlainToken(reader, &ahead->values[ahead->count])) break;
            run = 1;
        }
        ahead->count += run;
        ahead->end = readerOffset(reader);
        ahead->lastLine = reader->line;
        if (ahead->count % READ_AHEAD_STEP == 0 && !addCheckpoint(ahead)) break;
    }
}

// Lines of two plain decimals, passing empty ones and comments as the table's reader does, until a line
// is something else, the file ends or the rows are full.
static void readRows(ReadAhead* ahead)
{
    NumberReader* reader = &ahead->reader;
    const int step = READ_AHEAD_STEP / 2;
    double* x = ahead->values;
    double* y = ahead->values + READ_AHEAD_ROW_CAPACITY;
    while (ahead->count < READ_AHEAD_ROW_CAPACITY && !stopped(ahead)) {
        int wanted = step - ahead->count % step;
        int run = readPlainPairLines(reader, x + ahead->count, y + ahead->count, wanted, ahead->commaSeparates);
        if (run == 0) {
            if (!passEmptyLine(reader)) break;
            continue;
        }
        ahead->count += run;
        ahead->end = readerOffset(reader);
        ahead->lastLine = reader->line;
        if (ahead->count % step == 0 && !addCheckpoint(ahead)) break;
    }
}

// The thread: from the first line start after the middle on.
static DWORD WINAPI readSecondHalf(LPVOID argument)
{
    ReadAhead* ahead = (ReadAhead*)argument;
    SetThreadAffinityMask(GetCurrentThread(), ahead->processors);
    // Its own values and the table's second half come in while the reader reads the first half: as
    // many values as the stretch can hold at two characters each ("1\n"), rows at four ("1,2\n").
    long long expected = (ahead->fileSize - ahead->middle) / (ahead->kind == READ_AHEAD_ROWS ? 4 : 2);
    long long most = ahead->kind == READ_AHEAD_ROWS ? READ_AHEAD_ROW_CAPACITY : READ_AHEAD_CAPACITY;
    SIZE_T bytes = (SIZE_T)(expected < most ? expected : most) * sizeof(double);
    WIN32_MEMORY_RANGE_ENTRY memory[4] = {{ahead->values, bytes}, ahead->later[0], ahead->later[1],
                                          {ahead->values + READ_AHEAD_ROW_CAPACITY, bytes}};
    PrefetchVirtualMemory(GetCurrentProcess(), ahead->kind == READ_AHEAD_ROWS ? 4 : 3, memory, 0);
    NumberReader* reader = &ahead->reader;
    int c;
    do {
        c = peekChar(reader, 0);
        passChar(reader);
    } while (c >= 0 && c != '\n');
    if (c < 0 || !addCheckpoint(ahead)) return 0;
    if (ahead->kind == READ_AHEAD_ROWS) {
        readRows(ahead);
    } else {
        readNumbers(ahead);
    }
    return 0;
}

// The size of the regular file the reader reads and its system handle; FALSE for any other stream.
static BOOL regularFile(NumberReader* reader, HANDLE* file, LARGE_INTEGER* size)
{
    if (reader->file == NULL) return FALSE;
    *file = (HANDLE)_get_osfhandle(_fileno(reader->file));
    return *file != INVALID_HANDLE_VALUE && GetFileType(*file) == FILE_TYPE_DISK && GetFileSizeEx(*file, size);
}

long long estimatedRows(NumberReader* reader)
{
    HANDLE file;
    LARGE_INTEGER size;
    long long at = readerOffset(reader);
    if (at < 0 || !regularFile(reader, &file, &size)) return 0;
    long long lines = 0;
    for (int i = reader->start; i < reader->end; i++) lines += reader->data[i] == '\n';
    long long bytes = reader->end - reader->start;
    return lines > 0 ? (size.QuadPart - at) * lines / bytes : 0;
}

ReadAhead* startReadAhead(NumberReader* reader, ReadAheadKind kind, bool commaSeparates,
                          const WIN32_MEMORY_RANGE_ENTRY later[2])
{
    if (g_readAheadBusy) return NULL;
    long long at = readerOffset(reader);
    HANDLE file;
    LARGE_INTEGER size;
    if (at < 0 || !regularFile(reader, &file, &size) || size.QuadPart - at < READ_AHEAD_MINIMUM) return NULL;
    // The thread starts on another processor than the reader's: a new thread would otherwise wait on the
    // reader's own until the scheduler moves it, which can take as long as the reading. Once it runs it
    // may go anywhere again, so that a busy processor does not hold it.
    DWORD_PTR processors, system;
    if (!GetProcessAffinityMask(GetCurrentProcess(), &processors, &system)) return NULL;
    DWORD_PTR others = processors & ~((DWORD_PTR)1 << GetCurrentProcessorNumber());
    if (others == 0) return NULL;
    ReadAhead* ahead = &g_readAhead;
    ahead->processors = processors;
    ahead->middle = at + (size.QuadPart - at) * 11 / 20;
    ahead->fileSize = size.QuadPart;
    ahead->stopped = 0;
    ahead->kind = kind;
    ahead->commaSeparates = commaSeparates;
    WIN32_MEMORY_RANGE_ENTRY none = {NULL, 0};
    ahead->later[0] = later != NULL ? later[0] : none;
    ahead->later[1] = later != NULL ? later[1] : none;
    ahead->end = -1;
    ahead->lastLine = 0;
    ahead->count = 0;
    ahead->values = g_readAheadValues;
    ahead->checkpointCount = 0;
    startNumberReaderAt(&ahead->reader, file, ahead->middle);
    ahead->thread = CreateThread(NULL, 0, readSecondHalf, ahead, CREATE_SUSPENDED, NULL);
    if (ahead->thread == NULL) return NULL;
    SetThreadAffinityMask(ahead->thread, others);
    ResumeThread(ahead->thread);
    g_readAheadBusy = true;
    return ahead;
}

// TRUE once the thread is done; wait says whether to wait for it.
static BOOL finishReadAhead(ReadAhead* ahead, BOOL wait)
{
    if (ahead == NULL) return FALSE;
    if (ahead->thread == NULL) return TRUE;
    if (WaitForSingleObject(ahead->thread, wait ? INFINITE : 0) != WAIT_OBJECT_0) return FALSE;
    CloseHandle(ahead->thread);
    ahead->thread = NULL;
    return TRUE;
}

// The first checkpoint at offset or after it, or NULL.
static const ReadCheckpoint* checkpointFrom(const ReadAhead* ahead, long long offset)
{
    for (int i = 0; i < ahead->checkpointCount; i++) {
        if (ahead->checkpoints[i].offset >= offset) return &ahead->checkpoints[i];
    }
    return NULL;
}

const ReadCheckpoint* reachCheckpoint(NumberReader* reader, ReadAheadUse* use)
{
    if (use->ahead == NULL) return NULL;
    long long at = readerOffset(reader);
    if (use->target == NULL) {
        if (at < use->ahead->middle) return NULL;
        reader->pauseAt = -1;
        if (!finishReadAhead(use->ahead, FALSE)) return NULL;
        use->target = checkpointFrom(use->ahead, at);
        if (use->target == NULL) {
            use->ahead = NULL;
            return NULL;
        }
        reader->pauseAt = use->target->offset;
    }
    if (at < use->target->offset) return NULL;
    use->ahead = NULL;
    reader->pauseAt = -1;
    return at == use->target->offset ? use->target : NULL;
}

bool passReadAhead(NumberReader* reader, const ReadAhead* ahead, const ReadCheckpoint* checkpoint)
{
    return seekReader(reader, ahead->end, reader->line + (ahead->lastLine - checkpoint->line));
}

void releaseReadAhead(ReadAhead* ahead)
{
    if (ahead == NULL) return;
    InterlockedExchange(&ahead->stopped, 1);
    finishReadAhead(ahead, TRUE);
    g_readAheadBusy = false;
}
#else
long long estimatedRows(NumberReader*)
{
    return 0;
}

ReadAhead* startReadAhead(NumberReader*, ReadAheadKind, bool, const WIN32_MEMORY_RANGE_ENTRY*)
{
    return NULL;
}

const ReadCheckpoint* reachCheckpoint(NumberReader*, ReadAheadUse*)
{
    return NULL;
}

bool passReadAhead(NumberReader*, const ReadAhead*, const ReadCheckpoint*)
{
    return false;
}

void releaseReadAhead(ReadAhead*) {}
#endif
