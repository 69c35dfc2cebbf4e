// SPDX-License-Identifier: GPL-3.0-or-later
// Uncertainty of the linearised fit: the certified Norris line, Student's t, and the delta method on
// curved models against NumPy (line covariance from the normal equations, numerical Jacobian of the
// back-transformation; see reference_values.py, which printed the data and the values below).
#include <gtest/gtest.h>
#include <math.h>
#include <stdio.h>

#include <vector>

#include "app_state.h"
#include "fit.h"
#include "fit_uncertainty.h"
#include "points_file.h"
#include "test_support.h"

namespace {

void expectRelative(double value, double reference, double tolerance, const char* what)
{
    EXPECT_NEAR(value, reference, tolerance * fabs(reference)) << what;
}

TEST(Uncertainty, StraightLineMatchesTheCertifiedNorrisValues)
{
    static PointTable table;
    FILE* file = fopen(referenceDataPath("norris.dat").c_str(), "rb");
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(readPointsStream(file, &table, NULL), POINTS_FILE_OK);
    fclose(file);
    ASSERT_EQ(table.pointCount, 36);

    LineFit line;
    FitResult fit = fitPointsWithLine(table.x, table.y, 36, 0, 2.0, &line);
    FitUncertainty u = linearisedUncertainty(0, 36, &fit, &line);
    expectRelative(u.seA, 0.232818234301152, 1e-10, "standard error of the intercept");
    expectRelative(u.seB, 0.429796848199937e-03, 1e-10, "standard error of the slope");
    expectRelative(u.r2, 0.999993745883712, 1e-13, "R2");
    expectRelative(u.r2Line, 0.999993745883712, 1e-13, "R2 of the line is R2 for a straight line");
    expectRelative(u.sN2, 0.884796396144373, 1e-12, "residual standard deviation with n - 2");
    expectRelative(fit.s, 0.872064848988101, 1e-12, "S with n - 1 unchanged");
    // 95% intervals with t(0.975, 34) = 2.03224450931772 (SciPy); the half-widths to nine digits.
    const double halfA = 2.03224450931772 * 0.232818234301152, halfB = 2.03224450931772 * 0.429796848199937e-03;
    EXPECT_NEAR(u.ciA[0], -0.262323073774029 - halfA, 1e-9 * halfA);
    EXPECT_NEAR(u.ciA[1], -0.262323073774029 + halfA, 1e-9 * halfA);
    EXPECT_NEAR(u.ciB[0], 1.00211681802045 - halfB, 1e-9 * halfB);
    EXPECT_NEAR(u.ciB[1], 1.00211681802045 + halfB, 1e-9 * halfB);
}

TEST(Uncertainty, StudentQuantilesMatchTheReference)
{
    const struct {
        int dof;
        double t;
    } cases[] = {{1, 12.7062047364321}, {2, 4.30265272991127}, {5, 2.57058183661474},
                 {34, 2.03224450931772}, {1000, 1.96233908082641}};
    for (const auto& c : cases) expectRelative(studentT975(c.dof), c.t, 1e-9, "t quantile");
    EXPECT_TRUE(isnan(studentT975(0)));
    EXPECT_TRUE(isnan(studentT975(-3)));
}

TEST(Uncertainty, ExactLineHasNoScatterAndTwoPointsHaveNoEstimate)
{
    // NoInt1: y = x + 70 exactly.
    std::vector<double> x, y;
    for (int i = 60; i <= 70; ++i) {
        x.push_back(i);
        y.push_back(i + 70);
    }
    LineFit line;
    FitResult fit = fitPointsWithLine(x.data(), y.data(), (int)x.size(), 0, 2.0, &line);
    FitUncertainty u = linearisedUncertainty(0, (int)x.size(), &fit, &line);
    EXPECT_EQ(u.seA, 0.0);
    EXPECT_EQ(u.seB, 0.0);
    EXPECT_EQ(u.r2, 1.0);
    EXPECT_EQ(u.ciA[0], 70.0);
    EXPECT_EQ(u.ciB[1], 1.0);

    double x2[] = {1, 2}, y2[] = {3, 5};
    fit = fitPointsWithLine(x2, y2, 2, 0, 2.0, &line);
    u = linearisedUncertainty(0, 2, &fit, &line);
    EXPECT_TRUE(isnan(u.seA) && isnan(u.seB) && isnan(u.ciA[0]) && isnan(u.sN2));
    EXPECT_EQ(u.r2, 1.0);
}

TEST(Uncertainty, PointsOutsideTheLineDomainLeaveEveryMeasureUndefined)
{
    // Y = A*X^B takes logarithms of X: negative X give NaN everywhere, R2 of the line included.
    double x[] = {-1, -2, -3}, y[] = {1, 2, 3};
    LineFit line;
    FitResult fit = fitPointsWithLine(x, y, 3, 8, 2.0, &line);
    FitUncertainty u = linearisedUncertainty(8, 3, &fit, &line);
    EXPECT_TRUE(isnan(u.seA) && isnan(u.seB) && isnan(u.r2) && isnan(u.r2Line) && isnan(u.sN2));
    // A NaN Y under the straight line: no R2 on Y either.
    double yNan[] = {1, NAN, 3};
    fit = fitPointsWithLine(y, yNan, 3, 0, 2.0, &line);
    u = linearisedUncertainty(0, 3, &fit, &line);
    EXPECT_TRUE(isnan(u.r2) && isnan(u.r2Line));
}

TEST(Uncertainty, AFarFromTheOriginKeepsItsDigits)
{
    // Time stamps around 1.7e9 with a spread of seconds: the plain sums would lose the slope entirely.
    std::vector<double> x, y;
    const double z[] = {0.1, -0.2, 0.05, 0.3, -0.25, 0.0, 0.15, -0.1};
    for (int i = 0; i < 8; ++i) {
        x.push_back(1.7e9 + i);
        y.push_back(3.0 + 0.5 * i + z[i]);
    }
    std::vector<double> xs(8);
    for (int i = 0; i < 8; ++i) xs[i] = i;
    LineFit far, near;
    FitResult farFit = fitPointsWithLine(x.data(), y.data(), 8, 0, 2.0, &far);
    FitResult nearFit = fitPointsWithLine(xs.data(), y.data(), 8, 0, 2.0, &near);
    FitUncertainty uFar = linearisedUncertainty(0, 8, &farFit, &far);
    FitUncertainty uNear = linearisedUncertainty(0, 8, &nearFit, &near);
    expectRelative(uFar.seB, uNear.seB, 1e-9, "slope error does not depend on the origin of X");
    expectRelative(uFar.r2Line, uNear.r2Line, 1e-12, "R2 of the line does not depend on the origin of X");
    // On Y the model's own evaluation (B*X + A with A near -8.5e8) rounds each fitted value to 1e-7.
    expectRelative(uFar.r2, uNear.r2, 1e-8, "R2 on Y");
}

struct DeltaCase {
    const char* name;
    int modelId;
    std::vector<double> x, y;
    double a, b, seA, seB, r2Line;
};

const DeltaCase DELTA_CASES[] = {
    {"Exponential", 5, {0, 0.5, 1, 1.5, 2, 2.5, 3, 3.5, 4, 4.5, 5, 5.5, 6},
     {5.02365, 3.85993, 3.04478, 2.2768, 1.87705, 1.35579, 1.11591, 0.862858, 0.636327, 0.670587, 0.380534,
      0.343262, 0.303733},
     4.79425820324025, -0.478407244755452, 0.226321766387909, 0.0133521098712024, 0.99150444705474},
    {"Power", 8, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10},
     {2.53659, 5.78781, 10.4213, 15.441, 22.2775, 29.2874, 37.0157, 45.0667, 53.9869, 63.1024},
     2.30085828516436, 1.42132976088642, 0.0950245666064338, 0.0248368517245934, 0.997563122137223},
    {"Saturation", 12, {0.5, 1, 1.5, 2, 2.5, 3, 3.5, 4, 4.5, 5, 5.5, 6, 6.5, 7, 7.5, 8, 8.5, 9, 9.5, 10},
     {0.617649, 0.986765, 1.38295, 1.48992, 1.67105, 1.8633, 1.87272, 1.97633, 2.08443, 2.12966, 2.15229, 2.2418,
      2.27976, 2.35747, 2.30183, 2.37199, 2.47463, 2.52884, 2.41781, 2.52579},
     2.95779701665481, 1.9023652861391, 0.0388644161990748, 0.0436573077787882, 0.997317261892253},
    {"Hyperbola", 11, {0, 0.5, 1, 1.5, 2, 2.5, 3, 3.5, 4, 4.5, 5, 5.5, 6},
     {2.66669, 1.99421, 1.57768, 1.33308, 1.13529, 0.990377, 0.858542, 0.790183, 0.722459, 0.653708, 0.628102,
      0.606231, 0.539267},
     4.12681015740771, 1.63192431421769, 0.0827883570293026, 0.100214634903786, 0.995592585612878},
};

class DeltaMethod : public testing::TestWithParam<DeltaCase> {};

TEST_P(DeltaMethod, CarriesTheLineCovarianceToAAndB)
{
    const DeltaCase& c = GetParam();
    int n = (int)c.x.size();
    LineFit line;
    FitResult fit = fitPointsWithLine(c.x.data(), c.y.data(), n, c.modelId, 2.0, &line);
    FitUncertainty u = linearisedUncertainty(c.modelId, n, &fit, &line);
    expectRelative(fit.a, c.a, 1e-12, "A");
    expectRelative(fit.b, c.b, 1e-12, "B");
    // The reference Jacobian is a central difference: agreement to about seven digits.
    expectRelative(u.seA, c.seA, 1e-6, "standard error of A");
    expectRelative(u.seB, c.seB, 1e-6, "standard error of B");
    expectRelative(u.r2Line, c.r2Line, 1e-12, "R2 of the line");
    EXPECT_LT(u.r2, 1.0);
}

INSTANTIATE_TEST_SUITE_P(Uncertainty, DeltaMethod, testing::ValuesIn(DELTA_CASES),
                         [](const testing::TestParamInfo<DeltaCase>& info) { return info.param.name; });

} // namespace
