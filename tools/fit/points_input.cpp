// SPDX-License-Identifier: GPL-3.0-or-later
// kelvora-fit's input reading: the format decided from the first block, then the points-file or
// plain-table reader on the same blocks, and its messages.
#include "points_input.h"

#include <errno.h>
#include <string.h>
#include <sys/stat.h>
#include <kelvora_host.h>

#include "points_file.h"

namespace {

#define MESSAGE_CAPACITY 400

// What a points file with sigma holds per point: X Y SIGMA, or X Y SIGMA_X SIGMA_Y.
struct SigmaLayout {
    double* sigma;   // of Y
    double* sigmaX;  // NULL: three numbers per point
    bool* wrongShape; // set when the file holds three numbers per point where four were asked for
};


// The points file's own text for status (ASCII), as kelvora-fit prints it.
void describeStatus(char* text, PointsFileStatus status, const PointsFileReport* report, int loaded)
{
    WCHAR wide[MESSAGE_CAPACITY];
    int length = describePointsFile(wide, MESSAGE_CAPACITY, status, report, loaded);
    for (int i = 0; i <= length; ++i) text[i] = wide[i] < 128 ? (char)wide[i] : '?';
}

// What a table met, as the points file's status where it says the same.
PointsFileStatus sharedStatus(PlainTableStatus status)
{
    switch (status) {
    case PLAIN_TABLE_OK: return POINTS_FILE_OK;
    case PLAIN_TABLE_NOT_A_NUMBER: return POINTS_FILE_NOT_A_NUMBER;
    case PLAIN_TABLE_NOT_DECIMAL: return POINTS_FILE_NOT_DECIMAL;
    case PLAIN_TABLE_TOO_MANY: return POINTS_FILE_COUNT_TOO_LARGE;
    default: return POINTS_FILE_CANNOT_OPEN;
    }
}

bool readPointsFileInput(NumberReader* reader, const char* name, PointTable* table)
{
    PointsFileReport report;
    PointsFileStatus status = readPoints(reader, table, &report, true);
    char text[MESSAGE_CAPACITY];
    describeStatus(text, status, &report, table->pointCount);
    if (!pointsFileLoaded(status) || status == POINTS_FILE_NOT_A_NUMBER || status == POINTS_FILE_NOT_DECIMAL ||
        status == POINTS_FILE_READ_ERROR) {
        fprintf(stderr, "kelvora-fit: %s: %s%s\n", name, text,
                status == POINTS_FILE_NO_COUNT ? " (a plain table? see --columns)" : "");
        return false;
    }
    if (table->pointCount == 0) {
        fprintf(stderr, "kelvora-fit: %s: no points%s%s%s\n", name, status != POINTS_FILE_OK ? " (" : "",
                status != POINTS_FILE_OK ? text : "", status != POINTS_FILE_OK ? ")" : "");
        return false;
    }
    if (status == POINTS_FILE_SHORT) fprintf(stderr, "kelvora-fit: %s: warning: %s; fitting those\n", name, text);
    if (status == POINTS_FILE_EXTRA_NUMBERS) {
        fprintf(stderr, "kelvora-fit: %s: warning: %s fitting the counted ones\n", name, text);
    }
    return true;
}

bool readPlainTableInput(NumberReader* reader, const char* name, ColumnChoice pick, PointTable* table,
                         const SigmaLayout& layout)
{
    PlainTableReport report = readPlainTable(reader, pick, table, layout.sigma, layout.sigmaX);
    if (report.status != PLAIN_TABLE_OK) {
        char text[MESSAGE_CAPACITY];
        describePlainTable(text, sizeof text, &report, pick);
        fprintf(stderr, "kelvora-fit: %s: %s\n", name, text);
        // Three columns where --sigma-xy reads four: the command asks for what the table does not hold.
        if (report.status == PLAIN_TABLE_COLUMNS && pick.sigmaX > 0 && pick.x == 0 && report.columns == 3) {
            *layout.wrongShape = true;
        }
        return false;
    }
    if (table->pointCount == 0) {
        fprintf(stderr, "kelvora-fit: %s: no points\n", name);
        return false;
    }
    return true;
}

} // namespace

void describePlainTable(char* text, size_t capacity, const PlainTableReport* report, ColumnChoice columns)
{
    int line = report->badLine;
    int fields = report->columns;
    if (report->status != PLAIN_TABLE_COLUMNS) {
        PointsFileReport shared = {0, line, ""};
        memcpy(shared.token, report->token, sizeof shared.token);
        char message[MESSAGE_CAPACITY];
        describeStatus(message, sharedStatus(report->status), &shared, 0);
        snprintf(text, capacity, "%s", message);
    } else if (columns.x == 0 && columns.sigmaX > 0) {
        snprintf(text, capacity, "line %d: %d column%s, but --sigma-xy reads X, Y, SIGMA_X and SIGMA_Y (or pick them "
                 "with --columns=X,Y,SIGMA_X,SIGMA_Y)", line, fields, fields == 1 ? "" : "s");
    } else if (columns.x == 0 && columns.sigma > 0) {
        snprintf(text, capacity, "line %d: %d column%s, but --sigma reads X, Y and SIGMA (or pick them with "
                 "--columns=X,Y,SIGMA)", line, fields, fields == 1 ? "" : "s");
    } else if (columns.x > 0) {
        snprintf(text, capacity, "line %d: %d column%s, but --columns=%d,%d needs %d", line, fields,
                 fields == 1 ? "" : "s", columns.x, columns.y, columns.x > columns.y ? columns.x : columns.y);
    } else if (fields == 3) {
        snprintf(text, capacity, "line %d: 3 columns: give --columns=1,2 for X and Y, or --sigma (--columns=1,2,3) "
                 "to read the third as sigma of Y", line);
    } else if (fields > 3) {
        snprintf(text, capacity, "line %d: %d columns: choose X and Y with --columns=X,Y (counted from 1)", line,
                 fields);
    } else {
        snprintf(text, capacity, "line %d: 1 column, not two numbers X and Y", line);
    }
}

namespace {

const char* const SIGMA_NAMES[2][4] = {{"X", "Y", "SIGMA", ""}, {"X", "Y", "SIGMA_X", "SIGMA_Y"}};

// Point 1 of a file read four numbers at a time whose first line held three: X Y SIGMA, not the four
// --sigma-xy reads.
bool threePerPoint(const int lines[4])
{
    return lines[2] == lines[0] && lines[3] != lines[0];
}

// The numbers of one point into values; false, with the message said, when one lacks or is no number.
bool readPointNumbers(NumberReader* reader, const char* name, long long count, long long i, const SigmaLayout& layout,
                      double* values)
{
    auto endsToken = [](int c) { return c < 0 || isSpaceChar(c); };
    int perPoint = layout.sigmaX != nullptr ? 4 : 3, lines[4] = {0, 0, 0, 0};
    const char* const* names = SIGMA_NAMES[perPoint == 4];
    char text[TOKEN_TEXT_CAPACITY] = "";
    for (int k = 0; k < perPoint; ++k) {
        if (!skipWhiteSpace(reader)) {
            fprintf(stderr, "kelvora-fit: %s: the count is %lld, but point %lld lacks its %s (%s reads %s per point)\n",
                    name, count, i + 1, names[k], perPoint == 4 ? "--sigma-xy" : "--sigma",
                    perPoint == 4 ? "X Y SIGMA_X SIGMA_Y" : "X Y SIGMA");
            return false;
        }
        lines[k] = reader->line;
        if (readNumberToken(reader, endsToken, true, &values[k], text) != TOKEN_NUMBER) {
            fprintf(stderr, "kelvora-fit: %s: line %d: \"%s\" is not a number\n", name, lines[k], text);
            return false;
        }
        if (k < 2) keepCoordinateText(reader, k);
    }
    if (perPoint == 4 && i == 0 && threePerPoint(lines)) {
        fprintf(stderr, "kelvora-fit: %s: line %d holds 3 numbers, but --sigma-xy reads X Y SIGMA_X SIGMA_Y per point\n",
                name, lines[0]);
        *layout.wrongShape = true;
        return false;
    }
    return true;
}

// A points file whose points carry sigma: the count, then three or four numbers per point.
bool readSigmaPointsFile(NumberReader* reader, const char* name, PointTable* table, const SigmaLayout& layout)
{
    long long count = 0;
    bool whole = false;
    char text[TOKEN_TEXT_CAPACITY] = "";
    if (!skipWhiteSpace(reader) || !readCount(reader, POINT_CAPACITY, &count, &whole, text) || !whole || count < 1 ||
        count > POINT_CAPACITY) {
        fprintf(stderr, "kelvora-fit: %s: no count of points from 1 to %d at the start\n", name, POINT_CAPACITY);
        return false;
    }
    for (long long i = 0; i < count; ++i) {
        double values[4];
        if (!readPointNumbers(reader, name, count, i, layout, values)) return false;
        table->x[i] = values[0];
        table->y[i] = values[1];
        if (layout.sigmaX != nullptr) layout.sigmaX[i] = values[2];
        layout.sigma[i] = values[layout.sigmaX != nullptr ? 3 : 2];
    }
    if (skipWhiteSpace(reader)) {
        fprintf(stderr, "kelvora-fit: %s: warning: more after the %lld counted points; fitting those\n", name, count);
    }
    table->pointCount = (int)count;
    return true;
}

} // namespace

// Appends the text of a coordinate to the input's texts (an empty mark for one the reader no longer held).
static void keepText(void* context, int coordinate, const char* text, int length)
{
    InputTexts* texts = static_cast<InputTexts*>(context);
    (coordinate == 0 ? texts->xAt : texts->yAt).push_back(text != NULL ? texts->text.size() : NO_TEXT);
    if (text == NULL) return;
    texts->text.append(text, (size_t)length);
    texts->text += '\0';
}

bool readInput(FILE* file, const char* name, bool columns, ColumnChoice pick, PointTable* table, double* sigma,
               InputTexts* texts, double* sigmaX, bool* wrongShape)
{
    bool shapeSeen = false;
    SigmaLayout layout = {sigma, sigmaX, wrongShape != nullptr ? wrongShape : &shapeSeen};
    NumberReader reader;
    startNumberReader(&reader, file);
    if (texts != nullptr) {
        reader.keepCoordinate = keepText;
        reader.keepContext = texts;
    }
    int length = 0;
    bool complete = false;
    const char* block = firstBlock(&reader, &length, &complete);
    // The byte order mark spreadsheets put before UTF-8 text is no part of the first line.
    if (length >= 3 && memcmp(block, "\xEF\xBB\xBF", 3) == 0) {
        for (int i = 0; i < 3; ++i) passChar(&reader);
        block += 3;
        length -= 3;
    }
    // A NUL byte is in no text: an image, an archive or a program is no input, whatever its columns.
    if (memchr(block, 0, (size_t)length) != NULL) {
        fprintf(stderr, "kelvora-fit: %s: binary data, not a points file or a table of numbers\n", name);
        return false;
    }
    if (reader.failed) {
        char text[MESSAGE_CAPACITY];
        PointsFileReport none = {};
        describeStatus(text, POINTS_FILE_CANNOT_OPEN, &none, 0);
        fprintf(stderr, "kelvora-fit: %s: %s\n", name, text);
        return false;
    }
    if (columns || looksLikePlainTable(block, (size_t)length, complete)) {
        if (showsDecimalCommas(block, (size_t)length)) {
            fprintf(stderr, "kelvora-fit: %s: reading decimal commas (\"1,5\" as 1.5)\n", name);
            readDecimalCommas(&reader);
        }
        return readPlainTableInput(&reader, name, pick, table, layout);
    }
    if (sigma != nullptr) return readSigmaPointsFile(&reader, name, table, layout);
    return readPointsFileInput(&reader, name, table);
}

bool readInputFile(const char* path, const char* name, bool columns, ColumnChoice pick, PointStore* store)
{
    return readInputFile(path, name, columns, pick, store->table.get(), store->sigma.empty() ? nullptr : store->sigma.data(),
                         store->keepTexts ? &store->texts : nullptr, store->sigmaX.empty() ? nullptr : store->sigmaX.data(),
                         &store->wrongShape);
}

bool readInputFile(const char* path, const char* name, bool columns, ColumnChoice pick, PointTable* table,
                   double* sigma, InputTexts* texts, double* sigmaX, bool* wrongShape)
{
    if (wrongShape != nullptr) *wrongShape = false;
    bool standardInput = strcmp(path, "-") == 0;
    struct stat info;
    if (!standardInput && stat(path, &info) == 0 && S_ISDIR(info.st_mode)) {
        fprintf(stderr, "kelvora-fit: %s: is a directory\n", name);
        return false;
    }
    // A named file goes through the program's own opener: only a regular file, never waiting on a pipe.
    FILE* file = standardInput ? stdin : _wfopen(kelvora_file_name_from_host(path).c_str(), L"rb");
    if (file == NULL) {
        // A name that exists but is no readable regular file (a folder, a pipe) reads as unreadable.
        char text[MESSAGE_CAPACITY];
        PointsFileReport none = {};
        describeStatus(text, POINTS_FILE_CANNOT_OPEN, &none, 0);
        fprintf(stderr, "kelvora-fit: %s: %s\n", name, errno == ENOENT ? strerror(errno) : text);
        return false;
    }
    bool read = readInput(file, name, columns, pick, table, sigma, texts, sigmaX, wrongShape);
    if (!standardInput) fclose(file);
    return read;
}
