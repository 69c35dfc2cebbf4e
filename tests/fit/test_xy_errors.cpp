// SPDX-License-Identifier: GPL-3.0-or-later
// Fits with errors in X and Y: York's line on Pearson's data with York's weights (the published
// solution), orthogonal distance regression against SciPy's odr (ODRPACK, the values printed by
// reference_odr.py), York's line beside the regression of the same line, and the refusals.
#include <gtest/gtest.h>
#include <math.h>

#include <vector>

#include "refine.h"
#include "xy_errors.h"

namespace {

const std::vector<double> PEARSON_X = {0.0, 0.9, 1.8, 2.6, 3.3, 4.4, 5.2, 6.1, 6.5, 7.4};
const std::vector<double> PEARSON_Y = {5.9, 5.4, 4.4, 4.6, 3.5, 3.7, 2.8, 2.8, 2.4, 1.5};

std::vector<double> sigmasOfWeights(const std::vector<double>& w)
{
    std::vector<double> s;
    for (double v : w) s.push_back(1.0 / sqrt(v));
    return s;
}

const std::vector<double> PEARSON_SX = sigmasOfWeights({1000, 1000, 500, 800, 200, 80, 60, 20, 1.8, 1});
const std::vector<double> PEARSON_SY = sigmasOfWeights({1, 1.8, 4, 8, 20, 20, 70, 70, 100, 500});

XYPoints pointsOf(const std::vector<double>& x, const std::vector<double>& y, const std::vector<double>& sx,
                  const std::vector<double>& sy)
{
    return XYPoints{x.data(), y.data(), sx.data(), sy.data(), (int)x.size()};
}

TEST(York, PearsonsDataWithYorksWeightsGiveThePublishedLine)
{
    XYFit fit = yorkLine(pointsOf(PEARSON_X, PEARSON_Y, PEARSON_SX, PEARSON_SY));
    ASSERT_TRUE(fit.ok) << fit.reason;
    EXPECT_NEAR(fit.a, 5.47991022, 5e-9);
    EXPECT_NEAR(fit.b, -0.480533407, 5e-10);
    EXPECT_NEAR(fit.seA, 0.29497, 5e-6);
    EXPECT_NEAR(fit.seB, 0.057985, 5e-7);
    EXPECT_NEAR(fit.mswd, 1.48329, 5e-6);
    EXPECT_EQ(fit.dof, 8);
    EXPECT_NEAR(fit.seAScaled, 0.29497 * sqrt(1.48329), 1e-5);
}

TEST(York, PointsOnALineGiveItExactly)
{
    std::vector<double> x = {1, 2, 3, 4, 5}, y, sx = {0.1, 0.2, 0.1, 0.3, 0.1}, sy = {1, 0.5, 2, 1, 1};
    for (double v : x) y.push_back(1000.0 - 2.5 * v);
    XYFit fit = yorkLine(pointsOf(x, y, sx, sy));
    ASSERT_TRUE(fit.ok) << fit.reason;
    EXPECT_NEAR(fit.a, 1000.0, 1e-10);
    EXPECT_NEAR(fit.b, -2.5, 1e-12);
    EXPECT_NEAR(fit.chi2, 0.0, 1e-20);
}

TEST(York, RefusesWhatHasNoLine)
{
    std::vector<double> x = {2, 2, 2}, y = {1, 2, 3}, s = {1, 1, 1}, zero = {1, 0, 1};
    EXPECT_FALSE(yorkLine(pointsOf(x, y, s, s)).ok);                     // all X equal
    EXPECT_FALSE(yorkLine(pointsOf({1, 2, 3}, y, zero, s)).ok);          // a sigma of 0
    EXPECT_FALSE(yorkLine(pointsOf({1}, {1}, {1}, {1})).ok);             // one point
    std::vector<double> nan = {1, NAN, 1};
    int bad = -1;
    EXPECT_FALSE(xyErrorsUsable(pointsOf(x, y, s, nan), &bad));
    EXPECT_EQ(bad, 1);
}

struct OdrCase {
    const char* name;
    int modelId;
    double exponentN;
    std::vector<double> x, y, sx, sy;
    double a, b, seA, seB, chi2, mswd;
};

const OdrCase ODR_CASES[] = {
    {"Decay", 5, 0.0,
     {0.439658, 1.00788, 1.48383, 1.95806, 2.52622, 3.09284, 3.49882, 3.85831, 4.55323, 4.93553, 5.64941, 5.94624},
     {8.62118, 7.36168, 6.47897, 5.47202, 4.70069, 4.08689, 3.54619, 3.00932, 2.60536, 2.18647, 1.95716, 1.63443},
     {0.05, 0.06, 0.07, 0.08, 0.09, 0.1, 0.11, 0.12, 0.13, 0.14, 0.15, 0.16},
     {0.02, 0.04, 0.06, 0.02, 0.04, 0.06, 0.02, 0.04, 0.06, 0.02, 0.04, 0.06},
     9.8999862072533, -0.296901361018386, 0.125334044933037, 0.00514640428225637, 6.59265703997569,
     0.659265703997569},
    {"Power", 8, 0.0,
     {1.06869, 2.17398, 2.83376, 3.96629, 5.12162, 6.14013, 7.0375, 7.90106, 8.91882, 9.92508},
     {2.1092, 5.90349, 10.4808, 16.0761, 22.5398, 28.9992, 37.0556, 44.2504, 53.5781, 63.6252},
     std::vector<double>(10, 0.1), std::vector<double>(10, 0.5),
     1.89307582487204, 1.52687966444792, 0.122076837877796, 0.0312418877890244, 6.1030042358354, 0.762875529479426},
    {"Saturation", 12, 0.0,
     {0.021463, 0.0451266, 0.0520066, 0.115785, 0.206331, 0.311552, 0.499196, 0.767871, 1.07892, 1.37031},
     {45.2133, 87.762, 104.89, 133.438, 160.428, 170.628, 186.216, 204.315, 200.204, 204.266},
     {0.003, 0.004, 0.005, 0.0075, 0.013, 0.017, 0.03, 0.042, 0.057, 0.077}, std::vector<double>(10, 4.0),
     214.099375371855, 0.066929838957495, 2.76210021083019, 0.00469043100354154, 9.94244272585359,
     1.2428053407317},
    {"ParabolaWithExponentTwo", 15, 2.0,
     {-3.02039, -1.99481, -0.970953, -0.515746, 0.00938133, 0.496301, 0.994193, 1.97098, 3.03089},
     {5.50919, 3.19697, 1.57644, 0.952959, 1.08103, 1.20108, 1.73248, 3.05655, 5.59927},
     std::vector<double>(9, 0.05), std::vector<double>(9, 0.2),
     1.08020167594752, 0.495670161904334, 0.0929253536826864, 0.0223691555643539, 2.91969896402236,
     0.417099852003194},
    {"PearsonLine", 0, 0.0, PEARSON_X, PEARSON_Y, PEARSON_SX, PEARSON_SY,
     5.47991022473299, -0.480533407585683, 0.294970735516725, 0.0579850090077961, 11.8663531940614,
     1.48329414925768},
};

// The Y-only fit with weights 1/sigmaY^2, the regression's start.
RefineResult yOnlyFit(const OdrCase& c)
{
    std::vector<double> w;
    for (double s : c.sy) w.push_back(1.0 / (s * s));
    return refineWeightedFit(c.x.data(), c.y.data(), RefineWeights{w.data(), true}, (int)c.x.size(), c.modelId,
                             c.exponentN, REFINE_MAX_ITERATIONS);
}

class Odr : public testing::TestWithParam<OdrCase> {};

TEST_P(Odr, AgreesWithOdrpack)
{
    const OdrCase& c = GetParam();
    RefineResult start = yOnlyFit(c);
    ASSERT_EQ(start.status, REFINE_CONVERGED);
    std::vector<double> delta(c.x.size());
    XYFit fit = odrFit(pointsOf(c.x, c.y, c.sx, c.sy), c.modelId, c.exponentN, start.fit.a, start.fit.b,
                       ODR_MAX_ITERATIONS, delta.data());
    ASSERT_TRUE(fit.ok) << fit.reason;
    EXPECT_NEAR(fit.a, c.a, 1e-9 * fabs(c.a));
    EXPECT_NEAR(fit.b, c.b, 1e-9 * fabs(c.b));
    EXPECT_NEAR(fit.seA, c.seA, 1e-7 * c.seA);
    EXPECT_NEAR(fit.seB, c.seB, 1e-7 * c.seB);
    EXPECT_NEAR(fit.chi2, c.chi2, 1e-10 * c.chi2);
    EXPECT_NEAR(fit.mswd, c.mswd, 1e-10 * c.mswd);
    // Each move is the one that minimises its own point's term at the solution.
    double sumOfMoves = 0.0;
    for (size_t i = 0; i < delta.size(); ++i) sumOfMoves += delta[i] * delta[i] / (c.sx[i] * c.sx[i]);
    EXPECT_LT(sumOfMoves, fit.chi2);
}

INSTANTIATE_TEST_SUITE_P(ScipyOdr, Odr, testing::ValuesIn(ODR_CASES),
                         [](const testing::TestParamInfo<OdrCase>& info) { return std::string(info.param.name); });

TEST(Odr, StraightLineIsYorksLine)
{
    std::vector<double> x, y, sx, sy;
    for (int i = 0; i < 40; ++i) {
        x.push_back(100.0 + i + 0.3 * sin(i * 1.7));
        y.push_back(3.0 - 0.7 * i + 0.5 * cos(i * 2.3));
        sx.push_back(0.1 + 0.05 * (i % 4));
        sy.push_back(0.2 + 0.1 * (i % 3));
    }
    XYPoints p = pointsOf(x, y, sx, sy);
    XYFit york = yorkLine(p);
    XYFit odr = odrFit(p, 0, 0.0, 0.0, 0.0, ODR_MAX_ITERATIONS, NULL);
    ASSERT_TRUE(york.ok && odr.ok);
    EXPECT_NEAR(odr.a, york.a, 1e-9 * fabs(york.a));
    EXPECT_NEAR(odr.b, york.b, 1e-11);
    EXPECT_NEAR(odr.seA, york.seA, 1e-8 * york.seA);
    EXPECT_NEAR(odr.seB, york.seB, 1e-8 * york.seB);
    EXPECT_NEAR(odr.covAB, york.covAB, 1e-8 * fabs(york.covAB));
    EXPECT_NEAR(odr.chi2, york.chi2, 1e-10 * york.chi2);
}

TEST(Odr, TinyErrorsInXGiveTheWeightedFitOnY)
{
    const OdrCase& c = ODR_CASES[0];
    RefineResult onY = yOnlyFit(c);
    std::vector<double> tiny(c.x.size(), 1e-9);
    XYFit fit = odrFit(pointsOf(c.x, c.y, tiny, c.sy), c.modelId, 0.0, 9.0, -0.25, ODR_MAX_ITERATIONS, NULL);
    ASSERT_TRUE(fit.ok) << fit.reason;
    EXPECT_NEAR(fit.a, onY.fit.a, 1e-7 * fabs(onY.fit.a));
    EXPECT_NEAR(fit.b, onY.fit.b, 1e-7 * fabs(onY.fit.b));
    EXPECT_NEAR(fit.seA, onY.uncertainty.seA, 1e-6 * onY.uncertainty.seA);
}

TEST(ErrorsInBoth, LineIsYorksAndOtherModelsTheRegressionFromTheFitOnY)
{
    XYFit line = fitWithErrorsInBoth(pointsOf(PEARSON_X, PEARSON_Y, PEARSON_SX, PEARSON_SY), 0, 0.0);
    ASSERT_TRUE(line.ok);
    EXPECT_STREQ(line.method, "york");
    EXPECT_NEAR(line.b, -0.480533407, 5e-10);
    const OdrCase& c = ODR_CASES[2];
    XYFit curve = fitWithErrorsInBoth(pointsOf(c.x, c.y, c.sx, c.sy), c.modelId, 0.0);
    ASSERT_TRUE(curve.ok) << curve.reason;
    EXPECT_STREQ(curve.method, "odr");
    EXPECT_NEAR(curve.a, c.a, 1e-9 * c.a);
}

TEST(Odr, RefusesAStartWhereTheModelHasNoValue)
{
    std::vector<double> x = {-1, 0, 1, 2}, y = {1, 2, 3, 4}, s = {0.1, 0.1, 0.1, 0.1};
    // A*X^B at X = -1 with B = 0.5 has no real value.
    XYFit fit = odrFit(pointsOf(x, y, s, s), 8, 0.0, 1.0, 0.5, ODR_MAX_ITERATIONS, NULL);
    EXPECT_FALSE(fit.ok);
    EXPECT_TRUE(isnan(fit.a));
    EXPECT_FALSE(odrFit(pointsOf(x, y, s, s), 99, 0.0, 1.0, 1.0, ODR_MAX_ITERATIONS, NULL).ok);
}

} // namespace
