// SPDX-License-Identifier: GPL-3.0-or-later
// The weight carried to each model's straight line and the condition a fixed parameter puts on it.
#include <gtest/gtest.h>
#include <math.h>

#include "fit_statistics.h"
#include "models.h"

namespace {

// dz/dY against a central difference of the line's own z, for every model at a point inside its domain.
TEST(LineWeights, SlopeInYMatchesTheLinesTransform)
{
    const double x = 1.7, y = 2.3, h = 1e-6;
    for (int k = 0; k < MODEL_COUNT; ++k) {
        double t, zUp, zDown;
        lineariseModel(k, 2.0, x, y + h, &t, &zUp);
        lineariseModel(k, 2.0, x, y - h, &t, &zDown);
        EXPECT_NEAR(lineSlopeInY(k, x, y), (zUp - zDown) / (2.0 * h), 1e-8) << "model " << k;
    }
    EXPECT_TRUE(isnan(lineSlopeInY(MODEL_COUNT, x, y)));
}

// Every line on the condition for A=V (or B=V) transforms back to that A (or B).
TEST(FixedParameter, ConditionOnTheLineGivesTheValueBack)
{
    const double values[] = {0.5, 3.0, -2.0};
    for (int k = 0; k < MODEL_COUNT; ++k) {
        for (int parameter = 0; parameter < 2; ++parameter) {
            for (double v : values) {
                double c[3];
                if (!fixedParameterOnLine(k, parameter, v, c)) {
                    EXPECT_LE(v, 0.0) << "model " << k << " refuses a positive value";
                    continue;
                }
                // Two points on the condition's line.
                for (double free : {0.25, 1.75}) {
                    double a0 = fabs(c[0]) >= fabs(c[1]) ? (c[2] - c[1] * free) / c[0] : free;
                    double b0 = fabs(c[0]) >= fabs(c[1]) ? free : (c[2] - c[0] * free) / c[1];
                    double a, b;
                    backTransformLine(k, a0, b0, &a, &b);
                    EXPECT_NEAR(parameter == 0 ? a : b, v, 1e-12) << "model " << k << " parameter " << parameter;
                }
            }
        }
    }
    double c[3];
    EXPECT_FALSE(fixedParameterOnLine(11, 0, 0.0, c)); // A = 1/b0 is never 0
    EXPECT_FALSE(fixedParameterOnLine(0, 2, 1.0, c));
}

// Weights: the kinds, and the point that has none.
TEST(Weights, KindsAndTheFirstPointWithoutAWeight)
{
    const double x[] = {2.0, -4.0, 0.5}, y[] = {-2.0, 4.0, 8.0}, sigma[] = {0.5, 2.0, 1.0};
    double w[3];
    int bad = -1;
    ASSERT_TRUE(pointWeights(WEIGHTING_INV_Y, x, y, nullptr, 3, w, &bad));
    EXPECT_EQ(w[0], 0.5);
    ASSERT_TRUE(pointWeights(WEIGHTING_INV_X2, x, y, nullptr, 3, w, &bad));
    EXPECT_EQ(w[1], 1.0 / 16.0);
    ASSERT_TRUE(pointWeights(WEIGHTING_SIGMA, x, y, sigma, 3, w, &bad));
    EXPECT_EQ(w[0], 4.0);
    const double negativeSigma[] = {1.0, 1.0, -1.0};
    EXPECT_FALSE(pointWeights(WEIGHTING_SIGMA, x, y, negativeSigma, 3, w, &bad));
    EXPECT_EQ(bad, 2);
    const double zeroX[] = {1.0, 0.0, 1.0};
    EXPECT_FALSE(pointWeights(WEIGHTING_INV_X, zeroX, y, nullptr, 3, w, &bad));
    EXPECT_EQ(bad, 1);
}

} // namespace

namespace {

// The sigma of a new measurement is that of the point nearest in X, ties to the lower X.
TEST(Weights, NearestSigmaInX)
{
    const SigmaByX sorted[] = {{1.0, 0.01}, {2.0, 0.04}, {4.0, 0.16}};
    const struct {
        double x, expected;
    } cases[] = {{-5.0, 0.01}, {1.0, 0.01}, {1.4, 0.01}, {1.5, 0.01}, {1.6, 0.04}, {3.5, 0.16}, {9.0, 0.16}};
    for (const auto& c : cases) EXPECT_EQ(nearestSigmaSquared(sorted, 3, c.x), c.expected) << c.x;
    EXPECT_EQ(nearestSigmaSquared(sorted, 1, 7.0), 0.01);
    EXPECT_TRUE(isnan(nearestSigmaSquared(sorted, 0, 1.0)));
}

} // namespace
