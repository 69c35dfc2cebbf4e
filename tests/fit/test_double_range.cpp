// SPDX-License-Identifier: GPL-3.0-or-later
// Fits of data anywhere in the double range: X or Y near 1e300 or 1e-300, and X far from the origin
// beside a small spread. The reference values were computed once with mpmath at 60 digits from the same
// data (straight line: the exact least-squares line; the other models: the exact straight line of
// their transform, its A and B, S on Y, and the delta-method errors).
#include <gtest/gtest.h>
#include <math.h>

#include <vector>

#include "app_state.h"
#include "fit.h"
#include "fit_uncertainty.h"
#include "refine.h"

namespace {

struct RangeCase {
    const char* name;
    int modelId;
    std::vector<double> x, y;
    double a, b, s, seA, seB;
    bool refinedAlike = false; // a straight line: least squares on Y gives the same A, B, S and errors
};

// X = shift + k*scale at k = 1..count; Y = 2 + 0.3k -+ 0.1 at k = 1..10, scaled.
std::vector<double> ks(double scale, double shift, int count = 10)
{
    std::vector<double> values;
    for (int k = 1; k <= count; ++k) values.push_back(shift + k * scale);
    return values;
}

std::vector<double> zigzag(double scale)
{
    std::vector<double> values;
    for (int k = 1; k <= 10; ++k) values.push_back((2 + 0.3 * k + 0.1 * (k % 2 == 0 ? 1.0 : -1.0)) * scale);
    return values;
}

const RangeCase RANGE_CASES[] = {
    // Before: B=0, S=0.93 (the squares of X overflowed).
    {"XNear1e300", 0, ks(1e299, 0), zigzag(1), 1.9666666666666667, 3.0606060606060601e-300, 0.10379985922153656,
     0.075210143309035611, 1.2121212121212139e-301, true},
    // Before: S=0 and standard errors 0 (the squares of Y vanished).
    {"YNear1eMinus300", 0, ks(1, 0), zigzag(1e-300), 1.9666666666666667e-300, 3.0606060606060605e-301,
     1.0379985922153654e-301, 7.5210143309035599e-302, 1.2121212121212138e-302, true},
    // Before: S=0.122 (A + B*X cancelled most digits of the residuals).
    {"XAt1e15PlusK", 0, ks(1, 1e15), zigzag(1), -306060606060604.06, 0.30606060606060603, 0.10379985922153656,
     12121212121212.207, 0.01212121212121214},
    // Before: S=inf.
    {"YNear1e300", 0, ks(1, 0), zigzag(1e300), 1.9666666666666669e+300, 3.0606060606060603e+299,
     1.0379985922153662e+299, 7.5210143309035655e+298, 1.2121212121212147e+298, true},
    // Before: A=-inf, B=inf (the spread of X vanished).
    {"XNear1eMinus300", 0, ks(1e-300, 0), zigzag(1), 1.9666666666666667, 3.0606060606060603e+299,
     0.10379985922153655, 0.07521014330903561, 1.212121212121214e+298, true},
    // Before: se_A=0 (A^2 times the line's variance vanished).
    {"ExponentialOfTinyY", 5, {1, 2, 3, 4, 5, 6, 7, 8},
     {3.5430836568980166e-300, 5.842044937292729e-300, 7.885277691499301e-300, 1.3001710114037176e-299,
      1.7549008234960293e-299, 2.8935837999184215e-299, 3.90560360813555e-299, 6.439789176741205e-299},
     2.4438941038981129e-300, 0.40476587897890396, 1.4021537055609975e-300, 1.0738283276174981e-301,
     0.0087012647436179118},
    // Before: S 33 times too large (X^B of X = 1e-300 underflowed inside A*X^B).
    {"PowerOfTinyX", 8, ks(1e-300, 0, 8),
     {1e-300, 2.8849956672411144e-300, 5.0402678500254326e-300, 8.320000000000001e-300, 1.1068536488623959e-299,
      1.484390784126606e-299, 1.777944881035405e-299, 2.330623950790861e-299},
     4.10512887318298e+149, 1.4987054925886019, 4.0838233094682031e-301, 4.6277499820856824e+150,
     0.016350842998134334},
    // Before: S 36 times too large (A*X underflowed inside A*X/(B+X)). Its errors are not checked: the
    // derivative of A = 1/a0 is -A^2 = -9e-600, beyond the doubles.
    {"SaturationOfTinyXAndY", 12, ks(1e-300, 0, 8),
     {1.5e-300, 2.04e-300, 2.1825e-300, 2.4960000000000003e-300, 2.475e-300, 2.597142857142857e-300,
      2.5200000000000002e-300, 2.746666666666667e-300},
     3.0032641137084342e-300, 9.9661840634078492e-301, 6.9537583068880912e-302, NAN, NAN},
};

class DoubleRange : public testing::TestWithParam<RangeCase> {};

TEST_P(DoubleRange, ParametersSAndErrorsAgreeWithTheExactFit)
{
    const RangeCase& c = GetParam();
    LineFit line;
    int n = (int)c.x.size();
    FitResult fit = fitPointsWithLine(c.x.data(), c.y.data(), n, c.modelId, 2.0, &line);
    // A = 10^a0 of an intercept a0 extrapolated from log10 X near -300 keeps ten digits.
    EXPECT_NEAR(fit.a, c.a, 1e-10 * fabs(c.a));
    EXPECT_NEAR(fit.b, c.b, 1e-11 * fabs(c.b));
    EXPECT_NEAR(fit.s, c.s, 1e-11 * c.s);
    FitUncertainty u = linearisedUncertainty(c.modelId, n, &fit, &line);
    EXPECT_GT(u.r2, 0.9);
    EXPECT_LE(u.r2, 1.0);
    if (!isnan(c.seA)) {
        EXPECT_NEAR(u.seA, c.seA, 1e-10 * c.seA);
        EXPECT_NEAR(u.seB, c.seB, 1e-10 * c.seB);
        EXPECT_GT(u.ciA[1], u.ciA[0]);
    }

    // Calculate in the program fits through the same core.
    resetAppState();
    g_app.points.pointCount = n;
    for (int i = 0; i < n; ++i) {
        g_app.points.x[i] = c.x[i];
        g_app.points.y[i] = c.y[i];
    }
    g_app.modelId = c.modelId;
    fitModel();
    EXPECT_EQ(g_app.fit.a, fit.a);
    EXPECT_EQ(g_app.fit.b, fit.b);
    EXPECT_EQ(g_app.fit.s, fit.s);
}

// The refinement of a straight line, whose covariance comes from the Jacobian (1, X): with X near 1e300
// or 1e-300 its products leave the doubles (before: "singular", or se_B infinite).
TEST(DoubleRange, RefinedStraightLinesKeepTheirErrors)
{
    for (const RangeCase& c : RANGE_CASES) {
        if (!c.refinedAlike) continue;
        RefineResult r = refineFit(c.x.data(), c.y.data(), (int)c.x.size(), c.modelId, 2.0, REFINE_MAX_ITERATIONS);
        ASSERT_EQ(r.status, REFINE_CONVERGED) << c.name << ": " << r.reason;
        EXPECT_NEAR(r.fit.a, c.a, 1e-12 * fabs(c.a)) << c.name;
        EXPECT_NEAR(r.fit.b, c.b, 1e-12 * fabs(c.b)) << c.name;
        EXPECT_NEAR(r.fit.s, c.s, 1e-12 * c.s) << c.name;
        EXPECT_NEAR(r.uncertainty.seA, c.seA, 1e-10 * c.seA) << c.name;
        EXPECT_NEAR(r.uncertainty.seB, c.seB, 1e-10 * c.seB) << c.name;
        RefineResult dense = refineFitWith(c.x.data(), c.y.data(), RefineWeights{NULL, false}, (int)c.x.size(),
                                           c.modelId, 2.0, REFINE_MAX_ITERATIONS, REFINE_DENSE);
        EXPECT_NEAR(dense.fit.a, c.a, 1e-12 * fabs(c.a)) << c.name;
        EXPECT_NEAR(dense.uncertainty.seB, c.seB, 1e-10 * c.seB) << c.name;
    }
}

INSTANTIATE_TEST_SUITE_P(Fit, DoubleRange, testing::ValuesIn(RANGE_CASES),
                         [](const testing::TestParamInfo<RangeCase>& info) { return info.param.name; });

// Scaling by a power of two is exact: the same data scaled by 2^600 give the same digits, scaled.
TEST(DoubleRange, ScalingByAPowerOfTwoChangesNoDigit)
{
    std::vector<double> x = ks(1, 0), y = zigzag(1), bigY;
    for (double v : y) bigY.push_back(ldexp(v, 600));
    FitResult plain = fitPoints(x.data(), y.data(), 10, 0, 2.0);
    FitResult scaled = fitPoints(x.data(), bigY.data(), 10, 0, 2.0);
    EXPECT_EQ(ldexp(plain.a, 600), scaled.a);
    EXPECT_EQ(ldexp(plain.b, 600), scaled.b);
    EXPECT_EQ(ldexp(plain.s, 600), scaled.s);
}

} // namespace
