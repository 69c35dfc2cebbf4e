// SPDX-License-Identifier: GPL-3.0-or-later
// The values of a plot: the model's value at every point, the bounds of the frame, the ranges of each
// block of points, and the fitted values of a plot drawn more than once, found block by block.
#include <limits.h>
#include <math.h>
#include <string.h>

#include "models.h"
#include "plot_internal.h"

// The row once, not at every point (an id outside the table evaluates to NaN either way).
static const ModelRow* evaluatedRow(int modelId)
{
    const ModelRow* row = modelRow(modelId);
    return row != NULL ? row : &NO_MODEL;
}

void computeFittedValues(int modelId, double a, double b, double exponentN, const double* x, int count,
                         double* fitted)
{
    if (count > 0) evaluatedRow(modelId)->values(a, b, exponentN, x, count, fitted);
}

static PlotBounds firstBounds(const double* x, const double* y, int count)
{
    PlotBounds bounds = {0.0, 0.0, 0.0, 0.0};
    if (count <= 0) return bounds;
    bounds.xMin = bounds.xMax = x[0];
    bounds.yMin = bounds.yMax = y[0];
    return bounds;
}

// Widens the bounds by one point and its fitted value, in this order (a NaN never widens them).
static inline void widenBounds(PlotBounds* bounds, double x, double y, double fitted)
{
    if (x > bounds->xMax) bounds->xMax = x;
    if (x < bounds->xMin) bounds->xMin = x;
    if (y > bounds->yMax) bounds->yMax = y;
    if (y < bounds->yMin) bounds->yMin = y;
    if (fitted > bounds->yMax) bounds->yMax = fitted;
    if (fitted < bounds->yMin) bounds->yMin = fitted;
}

PlotBounds computePlotBounds(const double* x, const double* y, const double* fitted, int count)
{
    PlotBounds bounds = firstBounds(x, y, count);
    for (int i = 0; i < count; i++) widenBounds(&bounds, x[i], y[i], fitted[i]);
    return bounds;
}

// The model's values at the points, found a block at a time. values (NULL: none) holds those of every
// block, or with found those of the blocks whose flag is set.
struct FittedSource {
    const ModelRow* row;
    double a;
    double b;
    double exponentN;
    const double* x;
    double* values;
    unsigned char* found;
};

// The fitted values of points first .. first + count - 1: those held, or evaluated into buffer.
static const double* sourceBlock(const FittedSource* source, int first, int count, double* buffer)
{
    if (source->values != NULL && (source->found == NULL || source->found[first / PLOT_BLOCK])) {
        return source->values + first;
    }
    source->row->values(source->a, source->b, source->exponentN, source->x + first, count, buffer);
    return buffer;
}

// computePlotBounds of the source's fitted values.
static PlotBounds boundsPointByPoint(const FittedSource* source, const double* y, int count)
{
    const double* x = source->x;
    PlotBounds bounds = firstBounds(x, y, count);
    double buffer[PLOT_BLOCK];
    for (int first = 0; first < count; first += PLOT_BLOCK) {
        int n = count - first < PLOT_BLOCK ? count - first : PLOT_BLOCK;
        const double* fitted = sourceBlock(source, first, n, buffer);
        for (int i = 0; i < n; i++) widenBounds(&bounds, x[first + i], y[first + i], fitted[i]);
    }
    return bounds;
}

// A double's bits as an integer that orders as the doubles do (-0 just below +0, NaNs beyond the
// infinities); the same flip takes such an integer back to its double.
#define ORDER_FLIP(bits) ((bits) ^ (((bits) >> 63) & 0x7FFFFFFFFFFFFFFFLL))

// The least and the greatest of count values (count > 0), both NaN when one of them is not a finite
// number. Integer comparisons of the ordered bits: unlike those of doubles, the compiler may reorder
// them, so the loop becomes vector code.
WIDER_VECTORS static PlotRange finiteRange(const double* values, int count)
{
    long long low = LLONG_MAX;
    long long high = LLONG_MIN;
    long long nonFinite = 0;
    for (int i = 0; i < count; i++) {
        long long bits;
        memcpy(&bits, values + i, sizeof(bits));
        long long key = ORDER_FLIP(bits);
        low = key < low ? key : low;
        high = key > high ? key : high;
        nonFinite |= (~bits & 0x7FF0000000000000LL) == 0; // every exponent bit set: infinite or NaN
    }
    low = ORDER_FLIP(low);
    high = ORDER_FLIP(high);
    PlotRange range;
    memcpy(&range.least, &low, sizeof(low));
    memcpy(&range.greatest, &high, sizeof(high));
    if (nonFinite) range.least = range.greatest = NAN;
    return range;
}

// The first of the values, in the order widenBounds meets them, that is a zero. A bound that is zero
// is the first value met that equals it, so the sign of that zero is the bound's.
static double firstZeroX(const double* x, int count)
{
    for (int i = 0; i < count; i++) {
        if (x[i] == 0.0) return x[i];
    }
    return 0.0;
}

static double firstZeroY(const FittedSource* source, const double* y, int count)
{
    double buffer[PLOT_BLOCK];
    for (int first = 0; first < count; first += PLOT_BLOCK) {
        int n = count - first < PLOT_BLOCK ? count - first : PLOT_BLOCK;
        const double* fitted = sourceBlock(source, first, n, buffer);
        for (int i = 0; i < n; i++) {
            if (y[first + i] == 0.0) return y[first + i];
            if (fitted[i] == 0.0) return fitted[i];
        }
    }
    return 0.0;
}

// The bounds computePlotBounds finds, from the ranges of the blocks; FALSE when a block holds a value
// that is no finite number (a NaN met first keeps the bounds NaN, one met later never widens them),
// which is left to the pass point by point. Equal values other than zeros are the same double.
static BOOL boundsFromRanges(const FittedSource* source, const double* y, int count, const PlotBlockRanges* ranges,
                             PlotBounds* bounds)
{
    PlotBounds found = {ranges[0].x.least, ranges[0].x.greatest, ranges[0].y.least, ranges[0].y.greatest};
    for (int k = 0; k < PLOT_BLOCK_COUNT(count); k++) {
        const PlotBlockRanges* block = &ranges[k];
        if (isnan(block->x.least) || isnan(block->y.least) || isnan(block->fitted.least)) return FALSE;
        found.xMin = block->x.least < found.xMin ? block->x.least : found.xMin;
        found.xMax = block->x.greatest > found.xMax ? block->x.greatest : found.xMax;
        found.yMin = block->y.least < found.yMin ? block->y.least : found.yMin;
        found.yMin = block->fitted.least < found.yMin ? block->fitted.least : found.yMin;
        found.yMax = block->y.greatest > found.yMax ? block->y.greatest : found.yMax;
        found.yMax = block->fitted.greatest > found.yMax ? block->fitted.greatest : found.yMax;
    }
    if (found.xMin == 0.0 || found.xMax == 0.0) {
        double zero = firstZeroX(source->x, count);
        if (found.xMin == 0.0) found.xMin = zero;
        if (found.xMax == 0.0) found.xMax = zero;
    }
    if (found.yMin == 0.0 || found.yMax == 0.0) {
        double zero = firstZeroY(source, y, count);
        if (found.yMin == 0.0) found.yMin = zero;
        if (found.yMax == 0.0) found.yMax = zero;
    }
    *bounds = found;
    return TRUE;
}

// The fitted values, their bounds and the ranges of each block in one pass. With found, the values of a
// block are kept only when one of them is no finite number: the bounds are then found point by point,
// which reads them again, and the plot is likely to need them too.
static PlotBounds boundsAndRanges(const FittedSource* source, const double* y, int count, PlotBlockRanges* blockRanges)
{
    const double* x = source->x;
    double buffer[PLOT_BLOCK];
    for (int first = 0; first < count; first += PLOT_BLOCK) {
        int n = count - first < PLOT_BLOCK ? count - first : PLOT_BLOCK;
        BOOL keepAll = source->values != NULL && source->found == NULL;
        double* values = keepAll ? source->values + first : buffer;
        source->row->values(source->a, source->b, source->exponentN, x + first, n, values);
        PlotBlockRanges* ranges = &blockRanges[first / PLOT_BLOCK];
        ranges->x = finiteRange(x + first, n);
        ranges->fitted = finiteRange(values, n);
        ranges->y = finiteRange(y + first, n);
        if (source->found == NULL) continue;
        source->found[first / PLOT_BLOCK] = isnan(ranges->fitted.least);
        if (isnan(ranges->fitted.least)) memcpy(source->values + first, buffer, (size_t)n * sizeof(double));
    }
    PlotBounds bounds;
    if (boundsFromRanges(source, y, count, blockRanges, &bounds)) return bounds;
    return boundsPointByPoint(source, y, count);
}

PlotBounds computeFittedValuesAndBounds(int modelId, double a, double b, double exponentN, const double* x,
                                        const double* y, int count, double* fitted, PlotBlockRanges* blockRanges)
{
    if (blockRanges == NULL || count <= 0) {
        computeFittedValues(modelId, a, b, exponentN, x, count, fitted);
        return computePlotBounds(x, y, fitted, count);
    }
    FittedSource source = {evaluatedRow(modelId), a, b, exponentN, x, fitted, NULL};
    return boundsAndRanges(&source, y, count, blockRanges);
}

PlotBounds computeBoundsOfFittedValues(PlotFittedValues* fitted, const double* x, const double* y, int count,
                                       PlotBlockRanges* blockRanges)
{
    FittedSource source = {evaluatedRow(fitted->modelId), fitted->a, fitted->b, fitted->exponentN, x, fitted->values,
                           fitted->found};
    if (count <= 0) return firstBounds(x, y, count);
    return boundsAndRanges(&source, y, count, blockRanges);
}

const double* blockFittedValues(const PlotContent* content, int first, int count)
{
    PlotFittedValues* lazy = content->fittedValues;
    if (lazy == NULL) return content->fitted + first;
    unsigned char* found = &lazy->found[first / PLOT_BLOCK];
    if (!*found) {
        evaluatedRow(lazy->modelId)->values(lazy->a, lazy->b, lazy->exponentN, content->x + first, count,
                                            lazy->values + first);
        *found = 1;
    }
    return lazy->values + first;
}
