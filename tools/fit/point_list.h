// SPDX-License-Identifier: GPL-3.0-or-later
// Lists of point numbers such as "3,7-9" (1-based, ranges inclusive), as --exclude takes them, and the
// points a list leaves.
#ifndef KELVORA_POINT_LIST_H
#define KELVORA_POINT_LIST_H

#include <stddef.h>

#include <vector>

struct PointRange {
    long first; // 1-based, first <= last
    long last;
};

// Parses text into ranges; false with the reason in message for an empty item, a number below 1, a
// range that runs backwards or anything that is not a whole number.
bool parsePointList(const char* text, std::vector<PointRange>* ranges, char* message, size_t messageSize);

// The mask of count points (true: left out) the ranges name; false with the reason in message when a
// range reaches past the count.
bool excludedPoints(const std::vector<PointRange>& ranges, int count, std::vector<bool>* excluded, char* message,
                    size_t messageSize);

// The values of the points the mask keeps, in order.
std::vector<double> keptValues(const double* values, const std::vector<bool>& excluded);

// The list written back in its shortest form ("3,7-9"), the numbers of the mask in order.
void pointListText(const std::vector<bool>& excluded, char* text, size_t textSize);

#endif
