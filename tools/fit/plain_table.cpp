// Plain-table reader. Lines are split at the separators; each data line must hold exactly two numbers
// (C locale, as strtod reads them, to the end of the field), so a stray third column or a typo is
// reported with its line number instead of shifting every following point.
#include "plain_table.h"

#include <errno.h>
#include <math.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

namespace {

bool isSeparator(char c) { return c == ',' || c == ';' || c == '\t' || c == ' ' || c == '\r'; }

// The fields of one line (comment removed), at most three: a third means "too many".
int splitFields(const char* begin, const char* end, const char* fields[3], const char* fieldEnds[3])
{
    const char* hash = (const char*)memchr(begin, '#', (size_t)(end - begin));
    if (hash != NULL) end = hash;
    int count = 0;
    const char* p = begin;
    while (p < end && count < 3) {
        while (p < end && (*p == ' ' || *p == '\t' || *p == '\r')) ++p;
        if (p >= end) break;
        const char* start = p;
        while (p < end && !isSeparator(*p)) ++p;
        fields[count] = start;
        fieldEnds[count] = p;
        ++count;
        while (p < end && (*p == ' ' || *p == '\t' || *p == '\r')) ++p;
        if (p < end && (*p == ',' || *p == ';')) {
            ++p;
            // An empty field between two separators ("1,,2") counts as a field that is no number.
            const char* q = p;
            while (q < end && (*q == ' ' || *q == '\t' || *q == '\r')) ++q;
            if (q >= end || *q == ',' || *q == ';') {
                if (count < 3) {
                    fields[count] = q;
                    fieldEnds[count] = q;
                    ++count;
                }
            }
        }
    }
    return count;
}

bool parseField(const char* begin, const char* end, double* value)
{
    char buffer[128];
    size_t length = (size_t)(end - begin);
    if (length == 0 || length >= sizeof buffer) return false;
    memcpy(buffer, begin, length);
    buffer[length] = 0;
    char* stop = NULL;
    *value = strtod(buffer, &stop);
    return stop == buffer + length;
}

enum LineKind { LINE_EMPTY, LINE_POINT, LINE_OTHER };

LineKind readLine(const char* begin, const char* end, double* x, double* y)
{
    const char* fields[3];
    const char* fieldEnds[3];
    int count = splitFields(begin, end, fields, fieldEnds);
    if (count == 0) return LINE_EMPTY;
    if (count == 2 && parseField(fields[0], fieldEnds[0], x) && parseField(fields[1], fieldEnds[1], y)) {
        return LINE_POINT;
    }
    return LINE_OTHER;
}

const char* lineEnd(const char* p, const char* end)
{
    const char* newline = (const char*)memchr(p, '\n', (size_t)(end - p));
    return newline != NULL ? newline : end;
}

} // namespace

PlainTableReport readPlainTable(const char* text, size_t length, PointTable* table)
{
    PlainTableReport report = {PLAIN_TABLE_OK, 0, false};
    std::vector<double> xs, ys;
    const char* end = text + length;
    int lineNumber = 0;
    for (const char* p = text; p < end;) {
        const char* stop = lineEnd(p, end);
        ++lineNumber;
        double x, y;
        LineKind kind = readLine(p, stop, &x, &y);
        p = stop + 1;
        if (kind == LINE_EMPTY) continue;
        if (kind == LINE_OTHER) {
            if (xs.empty() && !report.hasHeader) {
                report.hasHeader = true;
                continue;
            }
            report.status = PLAIN_TABLE_BAD_LINE;
            report.badLine = lineNumber;
            return report;
        }
        if ((int)xs.size() >= POINT_CAPACITY) {
            report.status = PLAIN_TABLE_TOO_MANY;
            report.badLine = lineNumber;
            return report;
        }
        xs.push_back(x);
        ys.push_back(y);
    }
    table->pointCount = (int)xs.size();
    if (!xs.empty()) {
        memcpy(table->x, xs.data(), xs.size() * sizeof(double));
        memcpy(table->y, ys.data(), ys.size() * sizeof(double));
    }
    return report;
}

// Counts the white-space separated numbers after the first, as the points-file reader would take them;
// stops at the first text that is no number.
static long numbersAfterCount(const char* text, size_t length, double* first)
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

bool looksLikePlainTable(const char* text, size_t length)
{
    const char* end = text + length;
    for (const char* p = text; p < end;) {
        const char* stop = lineEnd(p, end);
        double x, y;
        LineKind kind = readLine(p, stop, &x, &y);
        if (kind == LINE_EMPTY) {
            p = stop + 1;
            continue;
        }
        if (kind != LINE_POINT) return false;
        double first = 0.0;
        long rest = numbersAfterCount(text, length, &first);
        bool countFits = rest >= 0 && first >= 0.0 && first == floor(first) && (double)rest == 2.0 * first;
        return !countFits;
    }
    return false;
}
