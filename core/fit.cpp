// SPDX-License-Identifier: GPL-3.0-or-later
// Linearised least-squares fit. Every model turns into a straight line z = a0 + b0*t under a transform
// of x and y; the line is fitted, a0 and b0 are turned back into A and B, and S is measured on Y.
//
// The line is fitted from sums about the running means (Welford's update) instead of the raw sums
// St, Sz, Stt, Stz: raw sums of t*t lose every digit of the slope when t is large and its spread small
// (time stamps, serial numbers). With equal t values every difference is exactly 0, so the spread is
// exactly 0 and the slope comes out 0/0 = NaN, as the plain formula means it to.
#include "fit.h"

#include <math.h>

#include "models.h"

// Magnitudes within 2^-SAFE_EXPONENT .. 2^SAFE_EXPONENT square, multiply and sum (a million of them)
// without leaving the normal doubles, so ordinary data are summed as they are. Beyond, the values are
// divided by a power of two first, which is exact, and the sums keep that power.
#define SAFE_EXPONENT 400
#define SMALLEST_SCALE_EXPONENT -1000 // 2^1000 is a double: subnormal values are scaled up by at most that
// A line on Y whose first point lies more than this many times its spread from the origin has its
// residuals taken about the means: A + B*t would cancel most of its digits.
#define FAR_FROM_ORIGIN 1048576.0 // 2^20
// A weighted fit multiplies a weight by two values: magnitudes within 2^-WEIGHTED_SAFE_EXPONENT ..
// 2^WEIGHTED_SAFE_EXPONENT keep those products, and sums of a million of them, normal doubles.
#define WEIGHTED_SAFE_EXPONENT 200

double scaledSumTotal(ScaledSum sum)
{
    return ldexp(sum.value, 2 * sum.exponent);
}

double scaledSumRoot(ScaledSum sum, double divisor)
{
    return ldexp(sqrt(sum.value / divisor), sum.exponent);
}

// 0 also for 0, infinity and NaN, which no scale helps.
int sumScaleExponent(double largest)
{
    if (!(largest > 0.0) || isinf(largest)) return 0;
    int exponent = ilogb(largest);
    if (exponent > -SAFE_EXPONENT && exponent < SAFE_EXPONENT) return 0;
    return exponent < SMALLEST_SCALE_EXPONENT ? SMALLEST_SCALE_EXPONENT : exponent;
}

// The power of two a weighted fit divides values of largest magnitude `largest` by: 0 for ordinary
// magnitudes, else its own exponent (made even, so that the root of a weight is scaled exactly).
static int weightedScaleExponent(double largest)
{
    if (!(largest > 0.0) || isinf(largest)) return 0;
    int exponent = ilogb(largest);
    if (exponent > -WEIGHTED_SAFE_EXPONENT && exponent < WEIGHTED_SAFE_EXPONENT) return 0;
    return exponent - (exponent & 1);
}

static inline double largerMagnitude(double value, double largest)
{
    double magnitude = fabs(value);
    return magnitude > largest ? magnitude : largest; // a NaN is passed over
}

// Means and spreads of the points' (t - originT) * tScale and (z - originZ) * zScale, with the largest
// magnitudes of those differences; weighted, also the total of the weights on the line (times wScale)
// and the largest of them.
struct LineSums {
    double meanT, meanZ, spreadTT, spreadTZ, spreadZZ, largestT, largestZ, weightTotal, largestW;
};

// The weight of point i on the straight line: its weight on Y (1 without weights) over (dz/dY)^2,
// divided twice where the square leaves the normal doubles (1/Y of a tiny Y), so the weight stays in them.
static inline double lineWeight(const LineProblem* problem, const ModelRow* row, int i)
{
    double slope = fabs(row->lineSlopeInY(problem->x[i], problem->y[i]));
    double w = weightAt(problem->w, i), square = slope * slope;
    return isnormal(square) ? w / square : w / slope / slope;
}

// The straight line Y = A + B*X, the line itself (t = X, z = Y): its passes over the points make the
// same operations without a call per point.
static inline bool isStraightLine(const ModelRow* row)
{
    return row == modelRow(0);
}

// The point in the line's coordinates: as it is for the straight line, else through the model.
template <bool asIs>
static inline void linearisePoint(const ModelRow* row, double exponentN, double x, double y, double* t, double* z)
{
    if (asIs) {
        *t = x;
        *z = y;
    } else {
        row->linearise(exponentN, x, y, t, z);
    }
}

// Welford's update of the means and spreads; weighted, each point counts with its weight on the line
// (West's form), else with 1, in the plain fit's own operations.
template <bool weighted, bool asIs>
static LineSums sumLine(const LineProblem* problem, const ModelRow* row, double originT, double originZ,
                        double tScale, double zScale, double wScale)
{
    LineSums sums = {0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0};
    const double* x = problem->x;
    const double* y = problem->y;
    double exponentN = problem->exponentN;
    for (int i = 0; i < problem->count; ++i) {
        double t, z;
        linearisePoint<asIs>(row, exponentN, x[i], y[i], &t, &z);
        t = (t - originT) * tScale;
        z = (z - originZ) * zScale;
        sums.largestT = largerMagnitude(t, sums.largestT);
        sums.largestZ = largerMagnitude(z, sums.largestZ);
        double v = 1.0, weight;
        if (weighted) {
            v = lineWeight(problem, row, i) * wScale;
            sums.largestW = largerMagnitude(v, sums.largestW);
            sums.weightTotal += v;
            weight = sums.weightTotal > 0.0 ? v / sums.weightTotal : 0.0;
        } else {
            weight = 1.0 / (double)(i + 1);
        }
        double dt = t - sums.meanT;
        sums.meanT = dt * weight + sums.meanT;
        double dz = z - sums.meanZ;
        sums.meanZ = dz * weight + sums.meanZ;
        if (weighted) {
            dt *= v;
            dz *= v;
        }
        sums.spreadTT = dt * (t - sums.meanT) + sums.spreadTT;
        sums.spreadTZ = dt * (z - sums.meanZ) + sums.spreadTZ;
        sums.spreadZZ = dz * (z - sums.meanZ) + sums.spreadZZ;
    }
    return sums;
}

template <bool weighted>
static LineSums sumLineOf(const LineProblem* problem, const ModelRow* row, double originT, double originZ,
                          double tScale, double zScale, double wScale)
{
    return isStraightLine(row) ? sumLine<weighted, true>(problem, row, originT, originZ, tScale, zScale, wScale)
                               : sumLine<weighted, false>(problem, row, originT, originZ, tScale, zScale, wScale);
}

// A fitted line on Y about its first point: its residual at (t, z) is (z - originZ - meanZ) - b0 *
// (t - originT - meanT), where the sum a0 + b0*t would have cancelled.
struct CentredLine {
    double originT, originZ, meanT, meanZ, b0;
};

struct ResidualSums {
    double residualSum, sumY, sumYY, largestR, largestY;
};

// The residual sum over the points in their order, scaled by rScale; with withY also the spread of Y
// about the first Y (so that large offsets keep their digits), scaled by yScale.
template <bool asIs>
static ResidualSums sumResidualsOf(const double* x, const double* y, int count, const ModelRow* row, double exponentN,
                                   double a, double b, const CentredLine* centred, double rScale, bool withY,
                                   double yScale)
{
    ResidualSums sums = {0.0, 0.0, 0.0, 0.0, 0.0};
    double originY = y[0];
    for (int i = 0; i < count; ++i) {
        double r;
        if (centred != NULL) {
            double t, z;
            linearisePoint<asIs>(row, exponentN, x[i], y[i], &t, &z);
            r = ((z - centred->originZ) - centred->meanZ) - centred->b0 * ((t - centred->originT) - centred->meanT);
        } else {
            r = (asIs ? b * x[i] + a : row->evaluate(a, b, exponentN, x[i])) - y[i];
        }
        r = r * rScale;
        sums.largestR = largerMagnitude(r, sums.largestR);
        sums.residualSum = r * r + sums.residualSum;
        if (!withY) continue;
        double dy = (y[i] - originY) * yScale;
        sums.largestY = largerMagnitude(dy, sums.largestY);
        sums.sumY += dy;
        sums.sumYY += dy * dy;
    }
    return sums;
}

static ResidualSums sumResiduals(const double* x, const double* y, int count, const ModelRow* row, double exponentN,
                                 double a, double b, const CentredLine* centred, double rScale, bool withY,
                                 double yScale)
{
    return isStraightLine(row)
               ? sumResidualsOf<true>(x, y, count, row, exponentN, a, b, centred, rScale, withY, yScale)
               : sumResidualsOf<false>(x, y, count, row, exponentN, a, b, centred, rScale, withY, yScale);
}

// The residual sum over the points in their order and S; with spreadYY also the spread of Y.
static FitResult measureResiduals(const double* x, const double* y, int count, int modelId, double exponentN,
                                  double a, double b, const CentredLine* centred, ScaledSum* residualSum,
                                  ScaledSum* spreadYY, double* meanY)
{
    FitResult fit = {a, b, 0.0, 0.0};
    const ModelRow* row = modelRow(modelId);
    if (row == NULL) row = &NO_MODEL;
    if (count <= 0) {
        if (residualSum != NULL) *residualSum = ScaledSum{0.0, 0};
        if (spreadYY != NULL) *spreadYY = ScaledSum{0.0, 0};
        if (meanY != NULL) *meanY = 0.0;
        return fit;
    }
    bool withY = spreadYY != NULL || meanY != NULL;
    ResidualSums sums = sumResiduals(x, y, count, row, exponentN, a, b, centred, 1.0, withY, 1.0);
    int rExponent = sumScaleExponent(sums.largestR);
    int yExponent = sumScaleExponent(sums.largestY);
    if (rExponent != 0 || yExponent != 0) {
        sums = sumResiduals(x, y, count, row, exponentN, a, b, centred, ldexp(1.0, -rExponent), withY,
                            ldexp(1.0, -yExponent));
    }
    ScaledSum residuals = {sums.residualSum, rExponent};
    fit.residualSum = scaledSumTotal(residuals);
    fit.s = count >= 2 ? scaledSumRoot(residuals, (double)(count - 1)) : 0.0;
    if (residualSum != NULL) *residualSum = residuals;
    if (meanY != NULL) *meanY = y[0] + ldexp(sums.sumY / (double)count, yExponent);
    if (spreadYY != NULL) {
        double spread = sums.sumYY - sums.sumY * (sums.sumY / (double)count);
        if (spread < 0.0) spread = 0.0; // rounding; a NaN Y keeps it NaN
        *spreadYY = ScaledSum{spread, yExponent};
    }
    return fit;
}

FitResult measureFit(const double* x, const double* y, int count, int modelId, double exponentN, double a,
                     double b, ScaledSum* residualSum, ScaledSum* spreadYY, double* meanY)
{
    return measureResiduals(x, y, count, modelId, exponentN, a, b, NULL, residualSum, spreadYY, meanY);
}

// The line's residual sum in its scaled units: Szz - Stz^2 / Stt, never below 0 (rounding below an
// exact fit; a NaN stays NaN).
static double lineResidualSum(const LineFit* line)
{
    double slope = ldexp(line->b0, line->tExponent - line->zExponent);
    double sum = line->spreadZZ - slope * line->spreadTZ;
    return sum < 0.0 ? 0.0 : sum;
}

static FitResult emptyFit()
{
    FitResult fit = {0.0, 0.0, 0.0, 0.0};
    return fit;
}

FitResult fitPoints(const double* x, const double* y, int count, int modelId, double exponentN)
{
    return fitPointsWithLine(x, y, count, modelId, exponentN, NULL);
}

// The fit without weights or a fixed parameter, the one Calculate makes: the line from the running
// means and spreads, S over n - 1.
static FitResult plainLineFit(const double* x, const double* y, int count, int modelId, double exponentN,
                              LineFit* line)
{
    // The first point is the origin of the sums: differences of nearby large values are exact, so the
    // means and spreads are taken of small numbers.
    const ModelRow* row = modelRow(modelId);
    if (row == NULL) row = &NO_MODEL;
    double originT, originZ;
    row->linearise(exponentN, x[0], y[0], &originT, &originZ);
    LineProblem problem = {x, y, NULL, count, modelId, exponentN, {-1, 0.0}};
    LineSums sums = sumLineOf<false>(&problem, row, originT, originZ, 1.0, 1.0, 1.0);
    int tExponent = sumScaleExponent(sums.largestT);
    int zExponent = sumScaleExponent(sums.largestZ);
    if (tExponent != 0 || zExponent != 0) {
        sums = sumLineOf<false>(&problem, row, originT, originZ, ldexp(1.0, -tExponent), ldexp(1.0, -zExponent), 1.0);
    }
    double b0 = ldexp(sums.spreadTZ / sums.spreadTT, zExponent - tExponent);
    double meanT = ldexp(sums.meanT, tExponent);
    double meanZ = ldexp(sums.meanZ, zExponent);
    // The intercept at t = 0 from the first point and the means, in this grouping: z0 - b0*t0 is exact
    // for data on a line through large values, where (z0 + meanZ) would already round.
    double a0 = (originZ - b0 * originT) + (meanZ - b0 * meanT);

    FitResult fit;
    row->fromLine(a0, b0, &fit.a, &fit.b);
    CentredLine centred = {originT, originZ, meanT, meanZ, b0};
    bool farFromOrigin = fabs(originT) > FAR_FROM_ORIGIN * ldexp(sums.largestT, tExponent) ||
                         fabs(originZ) > FAR_FROM_ORIGIN * ldexp(sums.largestZ, zExponent);
    const CentredLine* residualsAbout = row->lineOnY && farFromOrigin ? &centred : NULL;
    if (line == NULL) {
        return measureResiduals(x, y, count, modelId, exponentN, fit.a, fit.b, residualsAbout, NULL, NULL, NULL);
    }
    line->a0 = a0;
    line->b0 = b0;
    line->meanT = originT + meanT;
    line->spreadTT = sums.spreadTT;
    line->spreadTZ = sums.spreadTZ;
    line->spreadZZ = sums.spreadZZ;
    line->tExponent = tExponent;
    line->zExponent = zExponent;
    line->weightTotal = (double)count;
    line->lineResidualSum = lineResidualSum(line);
    FitResult measured = measureResiduals(x, y, count, modelId, exponentN, fit.a, fit.b, residualsAbout,
                                          &line->residualSum, &line->spreadYY, &line->meanY);
    line->chi2 = line->residualSum; // every weight 1
    return measured;
}

// Sums over the points of a weighted fit on Y at A=a, B=b, in its scaled units: the unweighted and the
// weighted residual sums, the weighted sums of Y and Y^2 about the first Y (so that large offsets keep
// their digits, as in the plain fit), the sum of w Y^2, and the largest magnitudes the scales come from.
struct WeightedSums {
    double residualSum, chi2, weightTotal, sumY, sumDYY, sumYY;
    double largestR, largestW, largestDY, largestY;
};

static WeightedSums sumWeighted(const LineProblem* p, const ModelRow* row, double a, double b, double rScale,
                                double wScale, double dyScale, double yScale)
{
    WeightedSums sums = {0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0};
    double originY = p->y[0];
    for (int i = 0; i < p->count; ++i) {
        double r = (row->evaluate(a, b, p->exponentN, p->x[i]) - p->y[i]) * rScale;
        double w = weightAt(p->w, i) * wScale;
        double dy = (p->y[i] - originY) * dyScale, scaledY = p->y[i] * yScale;
        sums.largestR = largerMagnitude(r, sums.largestR);
        sums.largestW = largerMagnitude(w, sums.largestW);
        sums.largestDY = largerMagnitude(dy, sums.largestDY);
        sums.largestY = largerMagnitude(scaledY, sums.largestY);
        sums.residualSum = r * r + sums.residualSum;
        sums.chi2 = w * r * r + sums.chi2;
        sums.sumYY = w * scaledY * scaledY + sums.sumYY;
        sums.weightTotal += w;
        sums.sumY = w * dy + sums.sumY;
        sums.sumDYY = w * dy * dy + sums.sumDYY;
    }
    return sums;
}

// The residuals on Y of a weighted or constrained fit: residualSum, S (n - 1), chi2, the weighted
// spread of Y and the sum of w Y^2 into line, each scaled by powers of two where the squares would leave
// the double range.
static FitResult measureWeighted(const LineProblem* p, const ModelRow* row, double a, double b, LineFit* line)
{
    WeightedSums sums = sumWeighted(p, row, a, b, 1.0, 1.0, 1.0, 1.0);
    int rExponent = weightedScaleExponent(sums.largestR), wExponent = weightedScaleExponent(sums.largestW);
    int dyExponent = weightedScaleExponent(sums.largestDY), yExponent = weightedScaleExponent(sums.largestY);
    if (rExponent != 0 || wExponent != 0 || dyExponent != 0 || yExponent != 0) {
        sums = sumWeighted(p, row, a, b, ldexp(1.0, -rExponent), ldexp(1.0, -wExponent), ldexp(1.0, -dyExponent),
                           ldexp(1.0, -yExponent));
    }
    line->residualSum = ScaledSum{sums.residualSum, rExponent};
    line->chi2 = ScaledSum{sums.chi2, rExponent + wExponent / 2};
    double spread = sums.sumDYY - sums.sumY * (sums.sumY / sums.weightTotal);
    line->spreadYY = ScaledSum{spread < 0.0 ? 0.0 : spread, dyExponent + wExponent / 2}; // below 0 by rounding
    line->sumYY = ScaledSum{sums.sumYY, yExponent + wExponent / 2};
    line->meanY = p->y[0] + ldexp(sums.sumY / sums.weightTotal, dyExponent);
    FitResult fit = {a, b, scaledSumTotal(line->residualSum), 0.0};
    fit.s = p->count >= 2 ? scaledSumRoot(line->residualSum, (double)(p->count - 1)) : 0.0;
    return fit;
}

// The line through the means that holds the condition c[0]*a0 + c[1]*b0 = c[2] (in the scaled units
// about the first point): it moves along one direction only, fitted by weighted least squares.
static void fixedLine(const LineSums& sums, const double c[3], double* a0, double* b0, LineFit* line)
{
    bool onA0 = fabs(c[0]) >= fabs(c[1]);
    double p0 = onA0 ? c[2] / c[0] : 0.0, p1 = onA0 ? 0.0 : c[2] / c[1];
    double d0 = -c[1], d1 = c[0];
    // u = d0 + d1*t and q = z - p0 - p1*t over the points, from the means and the spreads about them.
    double total = sums.weightTotal;
    double e = d0 + d1 * sums.meanT, q = sums.meanZ - p0 - p1 * sums.meanT;
    double suu = total * e * e + d1 * d1 * sums.spreadTT;
    double suq = total * e * q + d1 * (sums.spreadTZ - p1 * sums.spreadTT);
    double sqq = total * q * q + sums.spreadZZ - 2.0 * p1 * sums.spreadTZ + p1 * p1 * sums.spreadTT;
    double step = suq / suu;
    *a0 = p0 + step * d0;
    *b0 = p1 + step * d1;
    double residualSum = sqq - step * suq;
    line->lineResidualSum = residualSum < 0.0 ? 0.0 : residualSum;
    line->fixed = true;
    line->fixedSpread = suu;
    line->directionA0 = d0;
    line->directionB0 = d1;
}

// The weighted line and its spreads in units scaled by the powers of two the first pass asks for.
static LineSums weightedLineSums(const LineProblem* p, const ModelRow* row, double originT, double originZ,
                                 LineFit* line)
{
    LineSums sums = sumLineOf<true>(p, row, originT, originZ, 1.0, 1.0, 1.0);
    line->tExponent = weightedScaleExponent(sums.largestT);
    line->zExponent = weightedScaleExponent(sums.largestZ);
    line->weightExponent = weightedScaleExponent(sums.largestW);
    if (line->tExponent != 0 || line->zExponent != 0 || line->weightExponent != 0) {
        sums = sumLineOf<true>(p, row, originT, originZ, ldexp(1.0, -line->tExponent), ldexp(1.0, -line->zExponent),
                             ldexp(1.0, -line->weightExponent));
    }
    line->spreadTT = sums.spreadTT;
    line->spreadTZ = sums.spreadTZ;
    line->spreadZZ = sums.spreadZZ;
    line->weightTotal = sums.weightTotal;
    line->meanT = originT + ldexp(sums.meanT, line->tExponent);
    return sums;
}

// The linearised fit with weights on Y or a fixed parameter: the weighted line about the first point,
// the fixed parameter as a condition on it, A and B back from it, the residuals measured on Y.
static FitResult weightedLineFit(const LineProblem* p, LineFit* line)
{
    const ModelRow* row = modelRow(p->modelId);
    if (row == NULL) row = &NO_MODEL;
    double originT, originZ;
    row->linearise(p->exponentN, p->x[0], p->y[0], &originT, &originZ);
    LineSums sums = weightedLineSums(p, row, originT, originZ, line);
    int tExponent = line->tExponent, zExponent = line->zExponent;
    double a0, b0, c[3];
    if (p->fixed.parameter < 0) {
        b0 = sums.spreadTZ / sums.spreadTT;
        double residualSum = sums.spreadZZ - b0 * sums.spreadTZ;
        line->lineResidualSum = residualSum < 0.0 ? 0.0 : residualSum;
        b0 = ldexp(b0, zExponent - tExponent);
        a0 = (originZ - b0 * originT) + (ldexp(sums.meanZ, zExponent) - b0 * ldexp(sums.meanT, tExponent));
    } else if (row->fixOnLine(p->fixed.parameter, p->fixed.value, c)) {
        // The condition in the scaled units about the first point: a0 = 2^z a0' + originZ - b0 originT,
        // b0 = 2^(z-t) b0'.
        double scaled[3] = {c[0], ldexp(c[1] - c[0] * originT, -tExponent), ldexp(c[2] - c[0] * originZ, -zExponent)};
        double a0Scaled, b0Scaled;
        fixedLine(sums, scaled, &a0Scaled, &b0Scaled, line);
        b0 = ldexp(b0Scaled, zExponent - tExponent);
        a0 = (originZ - b0 * originT) + ldexp(a0Scaled, zExponent);
        // The intercept at t = 0 moves with the direction as d0 - d1 * originT (scaled).
        line->directionA0 -= line->directionB0 * ldexp(originT, -tExponent);
    } else {
        a0 = b0 = line->lineResidualSum = NAN;
    }
    line->a0 = a0;
    line->b0 = b0;
    double a, b;
    row->fromLine(a0, b0, &a, &b);
    if (p->fixed.parameter == 0) a = p->fixed.value;
    if (p->fixed.parameter == 1) b = p->fixed.value;
    return measureWeighted(p, row, a, b, line);
}

FitResult fitPointsWithLine(const double* x, const double* y, int count, int modelId, double exponentN,
                            LineFit* line)
{
    LineProblem problem = {x, y, NULL, count, modelId, exponentN, {-1, 0.0}};
    return fitLineProblem(&problem, line);
}

FitResult fitLineProblem(const LineProblem* problem, LineFit* line)
{
    if (line != NULL) *line = LineFit{};
    if (problem->count <= 0) return emptyFit();
    if (problem->w == NULL && problem->fixed.parameter < 0) {
        return plainLineFit(problem->x, problem->y, problem->count, problem->modelId, problem->exponentN, line);
    }
    LineFit own;
    return weightedLineFit(problem, line != NULL ? line : &own);
}

void fitModel()
{
    // The count is kept within the table by whoever sets it; clamping here costs nothing and keeps a
    // slip elsewhere from reading past the arrays.
    const PointTable* points = &g_app.points;
    int count = points->pointCount;
    if (count > POINT_CAPACITY) count = POINT_CAPACITY;
    g_app.fit = fitPoints(points->x, points->y, count, g_app.modelId, g_app.exponentN);
}
