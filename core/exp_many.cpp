// SPDX-License-Identifier: GPL-3.0-or-later
// The C library's vector exp (libmvec) takes four numbers in one call on a processor with AVX2 and FMA,
// two on any other x86-64: several times the speed of exp one number at a time.
#include "exp_many.h"

#include <math.h>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>

extern "C" __m128d _ZGVbN2v_exp(__m128d u);
extern "C" __m256d _ZGVdN4v_exp(__m256d u);

__attribute__((target("avx2,fma"))) static int expByFours(const double* u, int count, double* e)
{
    int i = 0;
    for (; i + 4 <= count; i += 4) _mm256_storeu_pd(e + i, _ZGVdN4v_exp(_mm256_loadu_pd(u + i)));
    return i;
}

static int expByTwos(const double* u, int count, double* e)
{
    int i = 0;
    for (; i + 2 <= count; i += 2) _mm_storeu_pd(e + i, _ZGVbN2v_exp(_mm_loadu_pd(u + i)));
    return i;
}

void expOfMany(const double* u, int count, double* e)
{
    int done = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma") ? expByFours(u, count, e)
                                                                               : expByTwos(u, count, e);
    for (int i = done; i < count; ++i) e[i] = exp(u[i]);
}
#else
void expOfMany(const double* u, int count, double* e)
{
    for (int i = 0; i < count; ++i) e[i] = exp(u[i]);
}
#endif
