// SPDX-License-Identifier: GPL-3.0-or-later
// What the plot's drawing (plot.cpp) and its values (plot_values.cpp) share.
#ifndef KELVORA_PLOT_INTERNAL_H
#define KELVORA_PLOT_INTERNAL_H

#include "plot.h"

// Where the processor has wider vectors, the block loops are also built for them and the wider copy is
// chosen at start-up: each operation is the same IEEE operation on each value, so the results are too.
// (No fused multiply-add: that would round differently.)
#if defined(__x86_64__) && defined(__linux__)
#define WIDER_VECTORS __attribute__((target_clones("avx2", "default")))
#else
#define WIDER_VECTORS
#endif

// The fitted values of the block of points first .. first + count - 1 of content: those handed in, or
// those of its fittedValues, evaluated now when the block has none yet.
const double* blockFittedValues(const PlotContent* content, int first, int count);

#endif
