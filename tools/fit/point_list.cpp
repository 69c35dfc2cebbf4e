// SPDX-License-Identifier: GPL-3.0-or-later
// Point lists: whole decimal numbers separated by commas, a dash between two making a range.
#include "point_list.h"

#include <ctype.h>
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

// A positive whole number at *text; moves *text past it.
bool pointNumber(const char** text, long* value)
{
    if (!isdigit((unsigned char)**text)) return false;
    char* end = NULL;
    errno = 0;
    *value = strtol(*text, &end, 10);
    if (errno == ERANGE || *value < 1) return false;
    *text = end;
    return true;
}

} // namespace

bool parsePointList(const char* text, std::vector<PointRange>* ranges, char* message, size_t messageSize)
{
    ranges->clear();
    const char* at = text;
    for (;;) {
        PointRange range;
        const char* item = at;
        bool ok = pointNumber(&at, &range.first);
        range.last = range.first;
        if (ok && *at == '-') {
            ++at;
            ok = pointNumber(&at, &range.last);
        }
        if (!ok || (*at != ',' && *at != '\0')) {
            size_t length = strcspn(item, ",");
            snprintf(message, messageSize, "\"%.*s\" is not a point number (1, 2, ...) or a range such as 7-9",
                     (int)(length > 40 ? 40 : length), item);
            return false;
        }
        if (range.last < range.first) {
            snprintf(message, messageSize, "the range %ld-%ld runs backwards", range.first, range.last);
            return false;
        }
        ranges->push_back(range);
        if (*at == '\0') return true;
        ++at;
    }
}

bool excludedPoints(const std::vector<PointRange>& ranges, int count, std::vector<bool>* excluded, char* message,
                    size_t messageSize)
{
    excluded->assign(count, false);
    for (const PointRange& range : ranges) {
        if (range.last > count) {
            snprintf(message, messageSize, "point %ld is past the last point (%d)", range.last, count);
            return false;
        }
        for (long i = range.first; i <= range.last; ++i) (*excluded)[i - 1] = true;
    }
    return true;
}

std::vector<double> keptValues(const double* values, const std::vector<bool>& excluded)
{
    std::vector<double> kept;
    for (size_t i = 0; i < excluded.size(); ++i)
        if (!excluded[i]) kept.push_back(values[i]);
    return kept;
}

void pointListText(const std::vector<bool>& excluded, char* text, size_t textSize)
{
    size_t used = 0;
    text[0] = '\0';
    for (size_t i = 0; i < excluded.size(); ++i) {
        if (!excluded[i]) continue;
        size_t last = i;
        while (last + 1 < excluded.size() && excluded[last + 1]) ++last;
        int written = last == i ? snprintf(text + used, textSize - used, "%s%zu", used ? "," : "", i + 1)
                                : snprintf(text + used, textSize - used, "%s%zu-%zu", used ? "," : "", i + 1, last + 1);
        if (written < 0 || (size_t)written >= textSize - used) return; // cut at the buffer's end
        used += (size_t)written;
        i = last;
    }
}
