// SPDX-License-Identifier: GPL-3.0-or-later
// exp of many numbers at once: the refinement's passes take the exp of every point's B*X.
#ifndef KELVORA_EXP_MANY_H
#define KELVORA_EXP_MANY_H

// e[i] = exp(u[i]) for i < count (e may be u), by the C library's vector exp where the processor has one
// (within an ulp or two of exp), else one exp at a time.
void expOfMany(const double* u, int count, double* e);

#endif
