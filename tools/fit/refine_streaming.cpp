// SPDX-License-Identifier: GPL-3.0-or-later
// The streaming solver of the refinement (gsl_multilarge_nlinear): it sums J'J, J'r and r'r point by
// point in blocks (the model's values and derivatives of a block in one call), so a million points
// cost one pass an iteration and no memory beyond the points and a block. A fixed parameter leaves
// one free parameter, whose sums alone the solver sees.
#include <float.h>
#include <gsl/gsl_blas.h>
#include <gsl/gsl_matrix.h>

#include "models.h"
#include "refine_solvers.h"

namespace refine_solvers {

// The streaming solver leaves the last digits to the Gauss-Newton steps of polish(): near the minimum the LM
// steps are mostly rejected on rounding, each rejection a pass over the points.
#define STREAMING_XTOL 1e-9

// Points are taken in blocks: the model's values and derivatives of a block in one call, then summed.
#define BLOCK_POINTS 512

struct Block {
    double value[BLOCK_POINTS], dA[BLOCK_POINTS], dB[BLOCK_POINTS];
};

// The block of points from first (at most BLOCK_POINTS): its values and derivatives at (a, b); returns its size.
int blockAt(const Problem* problem, double a, double b, int first, Block* block)
{
    int size = problem->count - first < BLOCK_POINTS ? problem->count - first : BLOCK_POINTS;
    modelValuesAndGradients(problem->modelId, a, b, problem->exponentN, problem->x + first, size, block->value,
                            block->dA, block->dB);
    return size;
}

// True when every point has finite derivatives at (a, b) along the free parameters.
bool derivativesFiniteAt(const Problem* problem, double a, double b)
{
    int fixed = problem->fixed.parameter;
    Block block;
    for (int first = 0; first < problem->count; first += BLOCK_POINTS) {
        int size = blockAt(problem, a, b, first, &block);
        for (int i = 0; i < size; ++i) {
            if ((fixed != 0 && !isfinite(block.dA[i])) || (fixed != 1 && !isfinite(block.dB[i]))) return false;
        }
    }
    return true;
}

// Adds a block's w r^2, J'Wr and J'WJ to sums. Unweighted, the products by a weight of 1 (exact) are
// left out: the sums are the same to the last bit, in fewer operations.
template <bool weighted>
void addBlock(const Block& block, const double* y, const double* w, int size, double residualScale, double columnA,
              double columnB, PassSums* sums)
{
    PassSums t = *sums;
    for (int i = 0; i < size; ++i) {
        double r = (block.value[i] - y[i]) * residualScale;
        double jA = block.dA[i] * columnA, jB = block.dB[i] * columnB;
        if (weighted) {
            double wi = w[i];
            t.residualSum += wi * r * r;
            t.g0 += wi * jA * r;
            t.g1 += wi * jB * r;
            t.s00 += wi * jA * jA;
            t.s01 += wi * jA * jB;
            t.s11 += wi * jB * jB;
        } else {
            t.residualSum += r * r;
            t.g0 += jA * r;
            t.g1 += jB * r;
            t.s00 += jA * jA;
            t.s01 += jA * jB;
            t.s11 += jB * jB;
        }
    }
    *sums = t;
}

const PassSums& sumsAt(Streaming* s, double u0, double u1)
{
    if (s->lastValid && s->last.u0 == u0 && s->last.u1 == u1) return s->last;
    const Problem* problem = s->problem;
    double a = u0 * s->scaleA, b = u1 * s->scaleB;
    double columnA = s->scaleA * s->residualScale, columnB = s->scaleB * s->residualScale;
    PassSums sums = {u0, u1, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, true};
    Block block;
    for (int first = 0; first < problem->count; first += BLOCK_POINTS) {
        int size = blockAt(problem, a, b, first, &block);
        if (problem->w != NULL) {
            addBlock<true>(block, problem->y + first, problem->w + first, size, s->residualScale, columnA, columnB,
                           &sums);
        } else {
            addBlock<false>(block, problem->y + first, NULL, size, s->residualScale, columnA, columnB, &sums);
        }
    }
    // A derivative without a value would make every later step, and the standard errors, NaN while
    // the solver still reported a minimum: the point refuses the parameters instead (NaN sums tell).
    // With a parameter fixed only the free one's derivatives count.
    int fixed = problem->fixed.parameter;
    bool alongA = isfinite(sums.g0) && isfinite(sums.s00), alongB = isfinite(sums.g1) && isfinite(sums.s11);
    sums.derivativesFinite = (fixed == 0 || alongA) && (fixed == 1 || alongB) && (fixed >= 0 || isfinite(sums.s01));
    if (!sums.derivativesFinite) sums.derivativesFinite = derivativesFiniteAt(problem, a, b);
    s->last = sums;
    s->lastValid = true;
    return s->last;
}

// GSL asks for a residual vector of n entries and uses only its norm (the LM step solves
// (J'J + mu D'D) dx = -J'f and measures its reduction by |f|). The streaming solver so hands it a
// vector of two, (sqrt(sum of w r^2), 0), with the sums J'J and J'r formed from the points themselves:
// the same iteration as on all n residuals, without holding them.
#define STREAMED_RESIDUALS 2

// The scaled A and B at the solver's position p: both free, or the free one beside the fixed one.
void unitsAt(const Streaming* s, const gsl_vector* p, double* u0, double* u1)
{
    const FixedParameter& fixed = s->problem->fixed;
    *u0 = fixed.parameter == 0 ? fixed.value / s->scaleA : gsl_vector_get(p, 0);
    *u1 = fixed.parameter == 1 ? fixed.value / s->scaleB : gsl_vector_get(p, fixed.parameter == 0 ? 0 : 1);
}

const PassSums& sumsAtPosition(Streaming* s, const gsl_vector* p)
{
    double u0, u1;
    unitsAt(s, p, &u0, &u1);
    return sumsAt(s, u0, u1);
}

int streamedResidualNorm(const gsl_vector* p, void* data, gsl_vector* f)
{
    const PassSums& sums = sumsAtPosition(static_cast<Streaming*>(data), p);
    gsl_vector_set(f, 0, sqrt(sums.residualSum));
    gsl_vector_set(f, 1, 0.0);
    return GSL_SUCCESS;
}

// J'r (the gradient GSL asks for as J' times the residual vector) and J'J, summed over the points.
int streamedNormalEquations(CBLAS_TRANSPOSE_t transJ, const gsl_vector* p, const gsl_vector*, void* data,
                            gsl_vector* v, gsl_matrix* jtj)
{
    // The LM step never asks for J times a vector, which needs the n residuals this solver avoids.
    if (transJ != CblasTrans) return GSL_EUNIMPL;
    Streaming* s = static_cast<Streaming*>(data);
    const PassSums& sums = sumsAtPosition(s, p);
    if (!sums.derivativesFinite) return GSL_EDOM; // as in the dense solver's Jacobian
    int fixed = s->problem->fixed.parameter;
    if (fixed >= 0) {
        // One free parameter: its entries alone.
        gsl_vector_set(v, 0, fixed == 0 ? sums.g1 : sums.g0);
        if (jtj != NULL) gsl_matrix_set(jtj, 0, 0, fixed == 0 ? sums.s11 : sums.s00);
        return GSL_SUCCESS;
    }
    gsl_vector_set(v, 0, sums.g0);
    gsl_vector_set(v, 1, sums.g1);
    if (jtj != NULL) {
        gsl_matrix_set(jtj, 0, 0, sums.s00);
        gsl_matrix_set(jtj, 1, 0, sums.s01);
        gsl_matrix_set(jtj, 0, 1, sums.s01);
        gsl_matrix_set(jtj, 1, 1, sums.s11);
    }
    return GSL_SUCCESS;
}

#define LARGEST_SCALE_EXPONENT 1000 // 2^+-1000 and its products with values near 1 stay normal

int clampedExponent(double largest)
{
    if (!(largest > 0.0) || isinf(largest)) return 0;
    int exponent = ilogb(largest);
    return exponent < -LARGEST_SCALE_EXPONENT ? -LARGEST_SCALE_EXPONENT
                                               : exponent > LARGEST_SCALE_EXPONENT ? LARGEST_SCALE_EXPONENT : exponent;
}

// The largest magnitudes of sqrt(w) Y and of sqrt(w) times each derivative over a block, and the count
// of its points with a value and a weight that is a number >= 0. Comparisons that a NaN fails leave the
// largest as it is, as fmax would; unweighted, the products by sqrt(1) (exact) are left out.
template <bool weighted>
void blockExtent(const Block& block, const double* y, const double* w, int size, double largest[3], int* finiteValues)
{
    for (int i = 0; i < size; ++i) {
        double root = weighted ? sqrt(w[i]) : 1.0;
        bool weightUsable = weighted ? isfinite(w[i]) && w[i] >= 0.0 : true;
        *finiteValues += isfinite(block.value[i]) && weightUsable ? 1 : 0;
        double magnitudeY = weighted ? fabs(y[i]) * root : fabs(y[i]);
        double magnitudeA = weighted ? fabs(block.dA[i]) * root : fabs(block.dA[i]);
        double magnitudeB = weighted ? fabs(block.dB[i]) * root : fabs(block.dB[i]);
        if (isfinite(y[i]) && magnitudeY > largest[0]) largest[0] = magnitudeY;
        if (isfinite(block.dA[i]) && magnitudeA > largest[1]) largest[1] = magnitudeA;
        if (isfinite(block.dB[i]) && magnitudeB > largest[2]) largest[2] = magnitudeB;
    }
}

#define PLAIN_SUMS_EXPONENT 400 // magnitudes within 2^-400 .. 2^400 are summed unscaled without harm

bool ordinaryMagnitude(double largest)
{
    return largest > 0.0 && ilogb(largest) > -PLAIN_SUMS_EXPONENT && ilogb(largest) < PLAIN_SUMS_EXPONENT;
}

// The scales of a start (a, b): Y's largest magnitude for the residuals, the columns' for A and B. The
// same pass counts in *usable the points with a value at (a, b) and a weight that is a number >= 0: when
// that is all of them the scales are those of the points the solver uses. It also sums the pass at the
// start unscaled: for ordinary magnitudes those sums times the powers of two of the scales are the
// scaled pass's (the scaling is exact), and the solver's first pass is not taken again.
Streaming streamingScales(const Problem* problem, double a, double b, int* usable)
{
    double largest[3] = {0.0, 0.0, 0.0};
    int finiteValues = 0;
    PassSums plain = {0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, true};
    Block block;
    for (int first = 0; first < problem->count; first += BLOCK_POINTS) {
        int size = blockAt(problem, a, b, first, &block);
        const double* y = problem->y + first;
        if (problem->w != NULL) {
            blockExtent<true>(block, y, problem->w + first, size, largest, &finiteValues);
            addBlock<true>(block, y, problem->w + first, size, 1.0, 1.0, 1.0, &plain);
        } else {
            blockExtent<false>(block, y, NULL, size, largest, &finiteValues);
            addBlock<false>(block, y, NULL, size, 1.0, 1.0, 1.0, &plain);
        }
    }
    if (usable != NULL) *usable = finiteValues;
    Streaming s = {};
    s.problem = problem;
    s.residualExponent = clampedExponent(largest[0]);
    s.exponentA = s.residualExponent - clampedExponent(largest[1]);
    s.exponentB = s.residualExponent - clampedExponent(largest[2]);
    if (s.exponentA > LARGEST_SCALE_EXPONENT || s.exponentA < -LARGEST_SCALE_EXPONENT) s.exponentA = 0;
    if (s.exponentB > LARGEST_SCALE_EXPONENT || s.exponentB < -LARGEST_SCALE_EXPONENT) s.exponentB = 0;
    s.residualScale = ldexp(1.0, -s.residualExponent);
    s.scaleA = ldexp(1.0, s.exponentA);
    s.scaleB = ldexp(1.0, s.exponentB);
    bool sumsFinite = isfinite(plain.residualSum) && isfinite(plain.g0) && isfinite(plain.g1) && isfinite(plain.s00) &&
                      isfinite(plain.s01) && isfinite(plain.s11);
    if (finiteValues == problem->count && sumsFinite && ordinaryMagnitude(largest[0]) &&
        ordinaryMagnitude(largest[1]) && ordinaryMagnitude(largest[2])) {
        int r = s.residualExponent, eA = s.exponentA, eB = s.exponentB;
        s.last = PassSums{a / s.scaleA,
                          b / s.scaleB,
                          ldexp(plain.residualSum, -2 * r),
                          ldexp(plain.g0, eA - 2 * r),
                          ldexp(plain.g1, eB - 2 * r),
                          ldexp(plain.s00, 2 * (eA - r)),
                          ldexp(plain.s01, eA + eB - 2 * r),
                          ldexp(plain.s11, 2 * (eB - r)),
                          true};
        s.lastValid = true;
    }
    return s;
}

ColumnCovariance covarianceOf(const Streaming& s, const PassSums& sums)
{
    int fixed = s.problem->fixed.parameter;
    if (fixed >= 0) {
        return ColumnCovariance{fixed == 1 ? 1.0 / sums.s00 : 0.0, 0.0, fixed == 0 ? 1.0 / sums.s11 : 0.0,
                                s.residualExponent - s.exponentA, s.residualExponent - s.exponentB};
    }
    double determinant = sums.s00 * sums.s11 - sums.s01 * sums.s01;
    return ColumnCovariance{sums.s11 / determinant, -sums.s01 / determinant, sums.s00 / determinant,
                            s.residualExponent - s.exponentA, s.residualExponent - s.exponentB};
}

// (J'W J)^-1 at the solution, from the last pass (at most a last-digit step away from it) in the scaled
// units of s, or where those leave it unusable (A and B moved far from the start the scales were
// taken at) from a pass in units taken at (a, b).
ColumnCovariance streamedCovariance(Streaming* s, bool lastAtSolution, double a, double b)
{
    ColumnCovariance c = covarianceOf(*s, lastAtSolution ? s->last : sumsAt(s, a / s->scaleA, b / s->scaleB));
    if (usableCovariance(c, s->problem->fixed.parameter)) return c;
    Streaming here = streamingScales(s->problem, a, b, NULL);
    return covarianceOf(here, sumsAt(&here, a / here.scaleA, b / here.scaleB));
}

#define POLISH_STEPS 8
#define POLISH_LAST_DIGITS 1e-11 // a step this small changes J'J no more than rounding does

// Near the minimum the residual sum changes below its rounding long before A and B stop changing in
// their ninth digit, so the LM iteration stops wherever rounding hid the last decrease. Gauss-Newton
// steps (J'WJ) dx = -J'Wr, which need no decrease of the sum, then go on while each step is smaller than
// the one before: the gradient, summed from accurate residuals, places the minimum to rounding.
// True when the last pass was at the final position or a last-digit step from it.
bool polish(Streaming* s, gsl_vector* position)
{
    double previous = INFINITY;
    int fixed = s->problem->fixed.parameter;
    for (int step = 0; step < POLISH_STEPS; ++step) {
        double u0, u1;
        unitsAt(s, position, &u0, &u1);
        const PassSums& sums = sumsAt(s, u0, u1);
        if (!sums.derivativesFinite) return true;
        double d0, d1;
        if (fixed >= 0) {
            d0 = fixed == 0 ? 0.0 : -sums.g0 / sums.s00;
            d1 = fixed == 1 ? 0.0 : -sums.g1 / sums.s11;
        } else {
            double determinant = sums.s00 * sums.s11 - sums.s01 * sums.s01;
            d0 = -(sums.s11 * sums.g0 - sums.s01 * sums.g1) / determinant;
            d1 = -(sums.s00 * sums.g1 - sums.s01 * sums.g0) / determinant;
        }
        double size = fmax(fabs(d0) / fmax(fabs(u0), DBL_MIN), fabs(d1) / fmax(fabs(u1), DBL_MIN));
        if (!(size < previous) || !(size < 1e-6)) return true; // not shrinking, or more than a last-digit correction
        if (fixed < 0) {
            gsl_vector_set(position, 0, u0 + d0);
            gsl_vector_set(position, 1, u1 + d1);
        } else {
            gsl_vector_set(position, 0, fixed == 0 ? u1 + d1 : u0 + d0);
        }
        if (size < POLISH_LAST_DIGITS) return true;
        previous = size;
    }
    return false;
}

// scales: those of the start over the problem's points, NULL to take them here.
bool solveStreaming(const Problem* problem, const Streaming* scales, double startA, double startB, int maxIterations,
                    RefineResult* result, Solution* solution)
{
    Streaming s = scales != NULL ? *scales : streamingScales(problem, startA, startB, NULL);
    s.problem = problem;
    gsl_multilarge_nlinear_fdf fdf = {};
    fdf.f = streamedResidualNorm;
    fdf.df = streamedNormalEquations;
    fdf.fvv = NULL;
    size_t free = freeParameters(problem);
    fdf.n = STREAMED_RESIDUALS;
    fdf.p = free;
    fdf.params = &s;
    gsl_multilarge_nlinear_parameters parameters = gsl_multilarge_nlinear_default_parameters();
    parameters.trs = gsl_multilarge_nlinear_trs_lm; // the step that needs only J'J and J'r
    gsl_multilarge_nlinear_workspace* work =
        gsl_multilarge_nlinear_alloc(gsl_multilarge_nlinear_trust, &parameters, fdf.n, free);
    double start[2] = {startA / s.scaleA, startB / s.scaleB};
    if (problem->fixed.parameter == 0) start[0] = start[1];
    gsl_vector_view startView = gsl_vector_view_array(start, free);
    bool converged = false;
    if (gsl_multilarge_nlinear_init(&startView.vector, &fdf, work) == GSL_SUCCESS) {
        converged = iterate(work, STREAMING_XTOL, maxIterations, result);
    } else {
        setReason(result, NO_DERIVATIVE);
    }
    gsl_vector* p = gsl_multilarge_nlinear_position(work);
    double u0, u1;
    unitsAt(&s, p, &u0, &u1);
    bool lastAtPosition = s.lastValid && s.last.u0 == u0 && s.last.u1 == u1;
    bool lastAtSolution = converged ? polish(&s, p) : lastAtPosition;
    unitsAt(&s, p, &u0, &u1);
    solution->a = problem->fixed.parameter == 0 ? problem->fixed.value : u0 * s.scaleA;
    solution->b = problem->fixed.parameter == 1 ? problem->fixed.value : u1 * s.scaleB;
    solution->covariance = streamedCovariance(&s, lastAtSolution, solution->a, solution->b);
    // The last pass's sum of r^2 is the residual sum at the solution (or a last-digit step from it,
    // which changes it below its rounding): no pass of its own.
    bool lastHere = lastAtSolution || (s.lastValid && s.last.u0 == u0 && s.last.u1 == u1);
    solution->sumsAtSolution = lastHere && s.lastValid && problem->w == NULL && s.last.derivativesFinite &&
                               isfinite(s.last.residualSum);
    solution->residualSum = ScaledSum{s.last.residualSum, s.residualExponent};
    gsl_multilarge_nlinear_free(work);
    return converged;
}

} // namespace refine_solvers
