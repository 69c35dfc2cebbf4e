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

static inline double largerMagnitude(double value, double largest)
{
    double magnitude = fabs(value);
    return magnitude > largest ? magnitude : largest; // a NaN is passed over
}

// Means and spreads of the points' (t - originT) * tScale and (z - originZ) * zScale, with the largest
// magnitudes of those differences.
struct LineSums {
    double meanT, meanZ, spreadTT, spreadTZ, spreadZZ, largestT, largestZ;
};

static LineSums sumLine(const double* x, const double* y, int count, const ModelRow* row, double exponentN,
                        double originT, double originZ, double tScale, double zScale)
{
    LineSums sums = {0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0};
    for (int i = 0; i < count; ++i) {
        double t, z;
        row->linearise(exponentN, x[i], y[i], &t, &z);
        t = (t - originT) * tScale;
        z = (z - originZ) * zScale;
        sums.largestT = largerMagnitude(t, sums.largestT);
        sums.largestZ = largerMagnitude(z, sums.largestZ);
        double weight = 1.0 / (double)(i + 1);
        double dt = t - sums.meanT;
        sums.meanT = dt * weight + sums.meanT;
        double dz = z - sums.meanZ;
        sums.meanZ = dz * weight + sums.meanZ;
        sums.spreadTT = dt * (t - sums.meanT) + sums.spreadTT;
        sums.spreadTZ = dt * (z - sums.meanZ) + sums.spreadTZ;
        sums.spreadZZ = dz * (z - sums.meanZ) + sums.spreadZZ;
    }
    return sums;
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
static ResidualSums sumResiduals(const double* x, const double* y, int count, const ModelRow* row, double exponentN,
                                 double a, double b, const CentredLine* centred, double rScale, bool withY,
                                 double yScale)
{
    ResidualSums sums = {0.0, 0.0, 0.0, 0.0, 0.0};
    double originY = y[0];
    for (int i = 0; i < count; ++i) {
        double r;
        if (centred != NULL) {
            double t, z;
            row->linearise(exponentN, x[i], y[i], &t, &z);
            r = ((z - centred->originZ) - centred->meanZ) - centred->b0 * ((t - centred->originT) - centred->meanT);
        } else {
            r = row->evaluate(a, b, exponentN, x[i]) - y[i];
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

static FitResult emptyFit()
{
    FitResult fit = {0.0, 0.0, 0.0, 0.0};
    return fit;
}

FitResult fitPoints(const double* x, const double* y, int count, int modelId, double exponentN)
{
    return fitPointsWithLine(x, y, count, modelId, exponentN, NULL);
}

FitResult fitPointsWithLine(const double* x, const double* y, int count, int modelId, double exponentN,
                            LineFit* line)
{
    if (line != NULL) *line = LineFit{0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0, 0, 0.0, {0.0, 0}, {0.0, 0}};
    if (count <= 0) return emptyFit();
    // The first point is the origin of the sums: differences of nearby large values are exact, so the
    // means and spreads are taken of small numbers.
    const ModelRow* row = modelRow(modelId);
    if (row == NULL) row = &NO_MODEL;
    double originT, originZ;
    row->linearise(exponentN, x[0], y[0], &originT, &originZ);
    LineSums sums = sumLine(x, y, count, row, exponentN, originT, originZ, 1.0, 1.0);
    int tExponent = sumScaleExponent(sums.largestT);
    int zExponent = sumScaleExponent(sums.largestZ);
    if (tExponent != 0 || zExponent != 0) {
        sums = sumLine(x, y, count, row, exponentN, originT, originZ, ldexp(1.0, -tExponent),
                       ldexp(1.0, -zExponent));
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
    return measureResiduals(x, y, count, modelId, exponentN, fit.a, fit.b, residualsAbout, &line->residualSum,
                            &line->spreadYY, &line->meanY);
}

FitResult fitPointsRawSums(const double* x, const double* y, int count, int modelId, double exponentN)
{
    double st = 0.0, sz = 0.0, stt = 0.0, stz = 0.0;
    for (int i = 0; i < count; ++i) {
        double t, z;
        lineariseModel(modelId, exponentN, x[i], y[i], &t, &z);
        st = t + st;
        sz = z + sz;
        stt = t * t + stt;
        stz = z * t + stz;
    }
    if (count <= 0) return emptyFit();
    double nd = (double)count;
    double b0 = (sz * st - nd * stz) / (st * st - nd * stt);
    double a0 = (sz - b0 * st) / nd;
    double a, b;
    backTransformLine(modelId, a0, b0, &a, &b);
    return measureFit(x, y, count, modelId, exponentN, a, b, NULL, NULL, NULL);
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
