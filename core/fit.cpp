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

// Stores A and B from the line, then the residual sum over the points in their order and S. With a
// line record it also takes the spread of Y, about the first Y so that large offsets keep their digits.
static FitResult finishFit(const double* x, const double* y, int count, int modelId, double exponentN,
                           double a0, double b0, LineFit* line)
{
    FitResult fit;
    backTransformLine(modelId, a0, b0, &fit.a, &fit.b);
    fit.residualSum = 0.0;
    double originY = y[0], sumY = 0.0, sumYY = 0.0;
    for (int i = 0; i < count; ++i) {
        double r = evaluateModelWith(modelId, fit.a, fit.b, exponentN, x[i]) - y[i];
        fit.residualSum = r * r + fit.residualSum;
        if (line != NULL) {
            double dy = y[i] - originY;
            sumY += dy;
            sumYY += dy * dy;
        }
    }
    fit.s = count >= 2 ? sqrt(fit.residualSum / (double)(count - 1)) : 0.0;
    if (line != NULL) {
        line->a0 = a0;
        line->b0 = b0;
        line->meanY = originY + sumY / (double)count;
        line->spreadYY = sumYY - sumY * (sumY / (double)count);
        if (line->spreadYY < 0.0) line->spreadYY = 0.0; // rounding; a NaN Y keeps it NaN
    }
    return fit;
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
    if (line != NULL) *line = LineFit{0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0};
    if (count <= 0) return emptyFit();
    // The first point is the origin of the sums: differences of nearby large values are exact, so the
    // means and spreads are taken of small numbers.
    double originT, originZ;
    lineariseModel(modelId, exponentN, x[0], y[0], &originT, &originZ);
    double meanT = 0.0, meanZ = 0.0, spreadTT = 0.0, spreadTZ = 0.0, spreadZZ = 0.0;
    for (int i = 0; i < count; ++i) {
        double t, z;
        lineariseModel(modelId, exponentN, x[i], y[i], &t, &z);
        t = t - originT;
        z = z - originZ;
        double weight = 1.0 / (double)(i + 1);
        double dt = t - meanT;
        meanT = dt * weight + meanT;
        double dz = z - meanZ;
        meanZ = dz * weight + meanZ;
        spreadTT = dt * (t - meanT) + spreadTT;
        spreadTZ = dt * (z - meanZ) + spreadTZ;
        spreadZZ = dz * (z - meanZ) + spreadZZ;
    }
    double b0 = spreadTZ / spreadTT;
    // The intercept at t = 0 from the first point and the means, in this grouping: z0 - b0*t0 is exact
    // for data on a line through large values, where (z0 + meanZ) would already round.
    double a0 = (originZ - b0 * originT) + (meanZ - b0 * meanT);
    if (line != NULL) {
        line->meanT = originT + meanT;
        line->spreadTT = spreadTT;
        line->spreadTZ = spreadTZ;
        line->spreadZZ = spreadZZ;
    }
    return finishFit(x, y, count, modelId, exponentN, a0, b0, line);
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
    return finishFit(x, y, count, modelId, exponentN, a0, b0, NULL);
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
