// SPDX-License-Identifier: GPL-3.0-or-later
// Plain-table reader. Lines are split into fields at a comma or semicolon (with blanks around it) or at
// blanks alone; a field may stand in double quotes and a separator may end the line. The fields X and Y
// must be whole finite decimal numbers, so a stray column, a unit after a number or a typo is reported
// with its line instead of shifting the following points. The reading goes block by block through the
// number reader, so a number of any length reads as it does in a points file.
#include "plain_table.h"

#include "double_chars.h"
#include "read_ahead.h"

#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <charconv>
#include <string>
#include <vector>

namespace {

bool isBlank(int c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }
bool endsLine(int c) { return c < 0 || c == '\n' || c == '#'; }
bool endsField(int c) { return endsLine(c) || isBlank(c) || c == ',' || c == ';' || c == '"'; }
// With decimal commas the comma belongs to the number (by then it reads as a point), only the
// semicolon and blanks separate.
bool endsCommaField(int c) { return endsLine(c) || isBlank(c) || c == ';' || c == '"'; }
bool endsQuotedField(int c) { return c < 0 || c == '\n' || c == '"'; }

// What one line holds: its field count, X and Y, and the first field among those that count (X and Y,
// or every field of a two-column table) that is not a number.
struct LineFields {
    int count;
    int numbers;         // fields that read as numbers, decimal or not
    double x, y, sigma, sigmaX;
    NumberToken bad;     // TOKEN_NUMBER while every field that counts is one
    bool stuck;          // a field could not be passed (an unclosed quote, a word longer than a block)
    char token[TOKEN_TEXT_CAPACITY];
};

void noteField(LineFields* line, ColumnChoice columns, NumberToken kind, double value, const char* text)
{
    int index = line->count;
    int xColumn = columns.x > 0 ? columns.x : 1;
    int yColumn = columns.y > 0 ? columns.y : 2;
    if (kind == TOKEN_NUMBER || kind == TOKEN_NOT_DECIMAL) line->numbers++;
    if (kind == TOKEN_NUMBER) {
        if (index == xColumn) line->x = value;
        if (index == yColumn) line->y = value;
        if (index == columns.sigma) line->sigma = value;
        if (index == columns.sigmaX) line->sigmaX = value;
        return;
    }
    bool counts = columns.x == 0 || index == xColumn || index == yColumn || index == columns.sigma ||
                  index == columns.sigmaX;
    if (counts && line->bad == TOKEN_NUMBER) {
        line->bad = kind == TOKEN_NOT_DECIMAL ? TOKEN_NOT_DECIMAL : TOKEN_NOT_A_NUMBER;
        strcpy(line->token, text);
    }
}

// Passes blanks; returns the character after them.
int skipBlanks(NumberReader* reader)
{
    int c = peekChar(reader, 0);
    while (isBlank(c)) {
        passChar(reader);
        c = peekChar(reader, 0);
    }
    return c;
}

// Reads the field at the reading position, in quotes or not; false when it cannot be passed.
bool readField(NumberReader* reader, TokenEnd ends, LineFields* line, ColumnChoice columns)
{
    bool quoted = peekChar(reader, 0) == '"';
    if (quoted) {
        passChar(reader);
        skipBlanks(reader);
    }
    double value = 0.0;
    char text[TOKEN_TEXT_CAPACITY] = "";
    NumberToken kind = readNumberToken(reader, quoted ? endsQuotedField : ends, true, &value, text);
    if (kind == TOKEN_NONE) kind = TOKEN_NOT_A_NUMBER;
    int c = quoted ? skipBlanks(reader) : peekChar(reader, 0);
    bool passed = quoted ? c == '"' : ends(c);
    if (quoted && passed) passChar(reader);
    if (!passed && kind == TOKEN_NUMBER) kind = TOKEN_NOT_A_NUMBER;
    noteField(line, columns, kind, value, text);
    if (kind == TOKEN_NUMBER && line->count == (columns.x > 0 ? columns.x : 1)) keepCoordinateText(reader, 0);
    if (kind == TOKEN_NUMBER && line->count == (columns.y > 0 ? columns.y : 2)) keepCoordinateText(reader, 1);
    // A field the line cannot be read past stops the table, whichever column it stands in.
    if (!passed && line->bad == TOKEN_NUMBER) {
        line->bad = TOKEN_NOT_A_NUMBER;
        strcpy(line->token, text);
    }
    return passed;
}

// Reads one line and passes its line feed.
void readLine(NumberReader* reader, bool decimalCommas, ColumnChoice columns, LineFields* line)
{
    TokenEnd ends = decimalCommas ? endsCommaField : endsField;
    bool fieldDue = false; // after a separator: the next separator means an empty field
    for (;;) {
        int c = skipBlanks(reader);
        if (endsLine(c)) {
            while (c == '#' || (c >= 0 && c != '\n')) {
                passChar(reader);
                c = peekChar(reader, 0);
            }
            passChar(reader);
            return;
        }
        if (c == ';' || (c == ',' && !decimalCommas)) {
            if (fieldDue || line->count == 0) {
                line->count++;
                noteField(line, columns, TOKEN_NOT_A_NUMBER, 0.0, "");
            }
            passChar(reader);
            fieldDue = true;
            continue;
        }
        line->count++;
        fieldDue = false;
        if (!readField(reader, ends, line, columns)) {
            line->stuck = true;
            return;
        }
    }
}

// Takes the rows the thread read from checkpoint on, where the reader stands at a line start, when they
// fit the table; false when they do not: the reader then reads on by itself.
bool takeTableRows(NumberReader* reader, const ReadAhead* ahead, const ReadCheckpoint* checkpoint, PointTable* table,
                   int* count)
{
    int rows = ahead->count - checkpoint->index;
    if (rows <= 0 || *count + rows > POINT_CAPACITY || !passReadAhead(reader, ahead, checkpoint)) return false;
    memcpy(table->x + *count, ahead->values + checkpoint->index, (size_t)rows * sizeof(double));
    memcpy(table->y + *count, ahead->values + READ_AHEAD_ROW_CAPACITY + checkpoint->index, (size_t)rows * sizeof(double));
    *count += rows;
    return true;
}

PlainTableReport failure(PlainTableReport report, PlainTableStatus status, int line)
{
    report.status = status;
    report.badLine = line;
    return report;
}

// The table's lines from the reading position on, of `width` columns or as many as `needed` for the
// columns chosen.
PlainTableReport readTableLines(NumberReader* reader, ColumnChoice columns, int width, PointTable* table,
                                double* sigma, double* sigmaX, bool plainPairs, ReadAheadUse* use)
{
    PlainTableReport report = {PLAIN_TABLE_OK, 0, 0, false, ""};
    int needed = columns.x > columns.y ? columns.x : columns.y;
    if (columns.sigma > needed) needed = columns.sigma;
    if (columns.sigmaX > needed) needed = columns.sigmaX;
    bool commaSeparates = !reader->commaIsPoint;
    bool seenContent = false;
    int count = 0;
    while (peekChar(reader, 0) >= 0) {
        if (use->ahead != NULL && seenContent) {
            ReadAhead* ahead = use->ahead;
            const ReadCheckpoint* checkpoint = reachCheckpoint(reader, use);
            if (checkpoint != NULL && takeTableRows(reader, ahead, checkpoint, table, &count)) continue;
        }
        if (plainPairs) {
            int run = readPlainPairLines(reader, table->x + count, table->y + count, POINT_CAPACITY - count,
                                         commaSeparates);
            if (run > 0) {
                count += run;
                seenContent = true;
                continue;
            }
        }
        int lineNumber = reader->line;
        LineFields line = {0, 0, 0.0, 0.0, 0.0, 0.0, TOKEN_NUMBER, false, ""};
        readLine(reader, reader->commaIsPoint, columns, &line);
        if (line.count == 0) continue;
        // A first line without a single number names the columns.
        if (!seenContent && line.numbers == 0 && !line.stuck) {
            seenContent = true;
            report.hasHeader = true;
            continue;
        }
        seenContent = true;
        // Of a two-column table, a line of more columns is told as such, unless one of them is empty.
        bool tooWide = columns.x == 0 && line.count > width && line.token[0] != 0 && !line.stuck;
        if (line.bad != TOKEN_NUMBER && !tooWide) {
            strcpy(report.token, line.token);
            return failure(report, line.bad == TOKEN_NOT_DECIMAL ? PLAIN_TABLE_NOT_DECIMAL : PLAIN_TABLE_NOT_A_NUMBER,
                           lineNumber);
        }
        if (columns.x == 0 ? line.count != width : line.count < needed) {
            report.columns = line.count;
            return failure(report, PLAIN_TABLE_COLUMNS, lineNumber);
        }
        if (count >= POINT_CAPACITY) return failure(report, PLAIN_TABLE_TOO_MANY, lineNumber);
        table->x[count] = line.x;
        table->y[count] = line.y;
        if (sigma != nullptr) sigma[count] = line.sigma;
        if (sigmaX != nullptr) sigmaX[count] = line.sigmaX;
        ++count;
    }
    if (reader->failed) return failure(report, PLAIN_TABLE_READ_ERROR, reader->line);
    table->pointCount = count;
    return report;
}

} // namespace

PlainTableReport readPlainTable(NumberReader* reader, ColumnChoice columns, PointTable* table, double* sigma,
                                double* sigmaX)
{
    // Without a choice of columns the table holds X and Y, and sigma as a third column when asked for
    // (sigma of X and of Y as the third and fourth).
    int width = columns.x == 0 && columns.sigmaX > 0 ? 4 : columns.x == 0 && columns.sigma > 0 ? 3 : 2;
    // Lines of X and Y alone (no sigma, no choice of columns, no texts kept) are read in runs, and the
    // last part of a large table on another processor.
    bool plainPairs = columns.x == 0 && width == 2 && reader->keepCoordinate == NULL;
    // The table comes into memory ahead of the reading, as far as the first block tells how many lines
    // there are: the rows up to the split here, those after it (with a margin each way) on the thread.
    long long rows = plainPairs ? estimatedRows(reader) : 0;
    rows = rows < POINT_CAPACITY ? rows : POINT_CAPACITY;
    long long split = rows * 11 / 20, from = split - split / 10, to = rows + rows / 20;
    to = to < POINT_CAPACITY ? to : POINT_CAPACITY;
    SIZE_T firstBytes = (SIZE_T)split * sizeof(double), laterBytes = (SIZE_T)(to - from) * sizeof(double);
    WIN32_MEMORY_RANGE_ENTRY first[2] = {{table->x, firstBytes}, {table->y, firstBytes}};
    WIN32_MEMORY_RANGE_ENTRY later[2] = {{table->x + from, laterBytes}, {table->y + from, laterBytes}};
    ReadAheadUse use = {plainPairs ? startReadAhead(reader, READ_AHEAD_ROWS, !reader->commaIsPoint, later) : NULL, NULL};
    ReadAhead* started = use.ahead;
    if (started != NULL) {
        reader->pauseAt = started->middle;
        PrefetchVirtualMemory(GetCurrentProcess(), 2, first, 0);
    }
    PlainTableReport report = readTableLines(reader, columns, width, table, sigma, sigmaX, plainPairs, &use);
    releaseReadAhead(started);
    reader->pauseAt = -1;
    return report;
}

namespace {

// Deciding the format from the first block: the block's lines split into at most three fields.
struct BlockField {
    const char* begin;
    const char* end;
};

const char* lineEnd(const char* p, const char* end)
{
    const char* newline = (const char*)memchr(p, '\n', (size_t)(end - p));
    return newline != NULL ? newline : end;
}

int splitBlockLine(const char* begin, const char* end, bool decimalCommas, BlockField fields[3])
{
    const char* hash = (const char*)memchr(begin, '#', (size_t)(end - begin));
    if (hash != NULL) end = hash;
    int count = 0;
    bool fieldDue = false;
    const char* p = begin;
    while (count < 3) {
        while (p < end && isBlank((unsigned char)*p)) ++p;
        if (p >= end) break;
        if (*p == ';' || (*p == ',' && !decimalCommas)) {
            if (fieldDue || count == 0) fields[count++] = BlockField{p, p};
            fieldDue = true;
            ++p;
            continue;
        }
        fieldDue = false;
        const char* start = p;
        if (*p == '"') {
            start = ++p;
            while (p < end && *p != '"') ++p;
            fields[count++] = BlockField{start, p};
            if (p < end) ++p;
            continue;
        }
        while (p < end && !(decimalCommas ? endsCommaField : endsField)((unsigned char)*p)) ++p;
        fields[count++] = BlockField{start, p};
    }
    return count;
}

// A field of the block as a finite decimal number (decimal commas: with a comma as its point).
bool blockFieldIsNumber(BlockField field, bool decimalCommas)
{
    std::string text(field.begin, field.end);
    for (size_t i = 0; decimalCommas && i < text.size(); ++i) {
        if (text[i] == '.') return false;
        if (text[i] == ',') text[i] = '.';
    }
    if (text.empty()) return false;
    const char* first = text[0] == '+' ? text.data() + 1 : text.data();
    const char* end = text.data() + text.size();
    double value = 0.0;
    std::from_chars_result r = readDoubleChars(first, end, &value);
    // Below the smallest double from_chars says "out of range"; it is still a number.
    if (r.ec == std::errc::result_out_of_range && r.ptr == end) return isfinite(strtod(text.c_str(), NULL));
    return r.ec == std::errc() && r.ptr == end && isfinite(value);
}

bool hasDigit(BlockField field)
{
    for (const char* p = field.begin; p < field.end; ++p) {
        if (*p >= '0' && *p <= '9') return true;
    }
    return false;
}

// Counts the white-space separated numbers after the first, as the points-file reader would take them;
// stops at the first text that is no number.
long numbersAfterCount(const char* text, size_t length, double* first)
{
    std::vector<char> copy(text, text + length);
    copy.push_back(0);
    char* p = copy.data();
    char* stop = NULL;
    *first = strtod(p, &stop);
    if (stop == p) return -1;
    long count = 0;
    for (p = stop;; p = stop) {
        strtod(p, &stop);
        if (stop == p) break;
        ++count;
    }
    // Only white space may follow the last number of a points file that fits its count.
    while (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n') ++p;
    return *p == 0 ? count : -1;
}

} // namespace

bool showsDecimalCommas(const char* block, size_t length)
{
    const char* end = block + length;
    bool seenContent = false, commaSeen = false;
    int dataLines = 0;
    for (const char* p = block; p < end;) {
        const char* stop = lineEnd(p, end);
        // A full block cut inside a line says nothing of that line's end.
        if (stop == end && length >= READ_BLOCK_SIZE) break;
        BlockField fields[3];
        int count = splitBlockLine(p, stop, true, fields);
        p = stop + 1;
        if (count == 0) continue;
        bool header = !seenContent && !hasDigit(fields[0]) && (count < 2 || !hasDigit(fields[1]));
        seenContent = true;
        if (header) continue;
        // X and Y, and a third column (sigma, or more the caller picks from) as well.
        if (count < 2) return false;
        for (int i = 0; i < count; ++i) {
            if (!blockFieldIsNumber(fields[i], true)) return false;
            commaSeen = commaSeen || memchr(fields[i].begin, ',', (size_t)(fields[i].end - fields[i].begin)) != NULL;
        }
        ++dataLines;
    }
    return commaSeen && dataLines > 0;
}

bool looksLikePlainTable(const char* block, size_t length, bool complete)
{
    if (showsDecimalCommas(block, length)) return true;
    const char* end = block + length;
    for (const char* p = block; p < end;) {
        const char* stop = lineEnd(p, end);
        BlockField fields[3];
        int count = splitBlockLine(p, stop, false, fields);
        p = stop + 1;
        if (count == 0) continue;
        // Two fields of which one is a number, or more fields that are all numbers, are a table's
        // first line: a points file's first line holds its count alone.
        bool number[3] = {false, false, false};
        for (int i = 0; i < count; ++i) number[i] = blockFieldIsNumber(fields[i], false);
        bool tableLine = count == 2 ? number[0] || number[1] : count == 3 && number[0] && number[1] && number[2];
        if (!tableLine) return false;
        if (!complete) return true;
        double first = 0.0;
        long rest = numbersAfterCount(block, length, &first);
        bool countFits = rest >= 0 && first >= 0.0 && first == floor(first) && (double)rest == 2.0 * first;
        return !countFits;
    }
    return false;
}
