// SPDX-License-Identifier: GPL-3.0-or-later
// The one pipeline of kelvora-fit on problems with a known answer: lines through the origin against
// NIST's certified NoInt1 and NoInt2 results, weighted and constrained fits anywhere in the double
// range against the same fit of ordinary numbers (a power-of-two scaling changes no digit of the
// answer), and the refinement of one free parameter against its closed form.
#include <gtest/gtest.h>
#include <math.h>

#include <vector>

#include "fit_problem.h"
#include "fit_record.h"
#include "fit_statistics.h"

namespace {

int agreeingDigits(double value, double reference)
{
    if (value == reference) return 17;
    return (int)floor(-log10(fabs(value - reference) / fabs(reference)));
}

FitProblem problemOf(const std::vector<double>& x, const std::vector<double>& y, const std::vector<double>* w,
                     int modelId, FixedParameter fixed, bool absolute)
{
    return FitProblem{x.data(), y.data(), w != nullptr ? w->data() : nullptr, nullptr, (int)x.size(), modelId, 2.0,
                      fixed, w != nullptr ? WEIGHTING_INV_Y2 : WEIGHTING_NONE, absolute, nullptr, nullptr};
}

// NIST StRD NoInt1 (X 60..70, Y 130..140) and NoInt2 (X 4, 5, 6; Y 3, 4, 4): Y = B1*X, certified B1, its
// standard deviation, the residual standard deviation and R2 (about 0, as for any model without an
// intercept).
struct NoInterceptCase {
    const char* name;
    std::vector<double> x, y;
    double b, seB, residualSd, r2;
};

std::vector<double> from(double first, int count)
{
    std::vector<double> values;
    for (int i = 0; i < count; ++i) values.push_back(first + i);
    return values;
}

TEST(FitProblem, LinesThroughTheOriginMatchTheCertifiedNoInterceptResults)
{
    const NoInterceptCase cases[] = {
        {"NoInt1", from(60, 11), from(130, 11), 2.07438016528926, 0.165289256198347e-1, 3.56753034006338,
         0.999365492298663},
        {"NoInt2", {4, 5, 6}, {3, 4, 4}, 0.727272727272727, 0.420827318078432e-1, 0.369274472937998,
         0.993348115299335},
    };
    for (const NoInterceptCase& c : cases) {
        for (bool refine : {false, true}) {
            FitRecord r = fitProblem(problemOf(c.x, c.y, nullptr, 0, FixedParameter{0, 0.0}, false), refine);
            EXPECT_EQ(r.fit.a, 0.0) << c.name;
            EXPECT_GE(agreeingDigits(r.fit.b, c.b), 13) << c.name << " refine " << refine;
            EXPECT_GE(agreeingDigits(r.uncertainty.seB, c.seB), 12) << c.name << " refine " << refine;
            EXPECT_GE(agreeingDigits(r.uncertainty.sN2, c.residualSd), 12) << c.name << " refine " << refine;
            EXPECT_GE(agreeingDigits(r.uncertainty.r2, c.r2), 13) << c.name << " refine " << refine;
            EXPECT_TRUE(r.r2Uncentred) << c.name;
            EXPECT_EQ(r.dof, (int)c.x.size() - 1) << c.name;
            EXPECT_EQ(r.uncertainty.seA, 0.0) << c.name;
        }
    }
    // A held at another value, or another parameter held, keeps R2 about the mean.
    const std::vector<double> x = from(60, 11), y = from(130, 11);
    EXPECT_FALSE(fitProblem(problemOf(x, y, nullptr, 0, FixedParameter{0, 1.0}, false), false).r2Uncentred);
    EXPECT_FALSE(fitProblem(problemOf(x, y, nullptr, 0, FixedParameter{1, 1.0}, false), false).r2Uncentred);
    EXPECT_FALSE(fitProblem(problemOf(x, y, nullptr, 5, FixedParameter{0, 0.0}, false), false).r2Uncentred);
}

// Weighted (1/Y^2 relative, and sigma absolute) and constrained fits of points scaled to X ~ 2^500,
// Y ~ 2^-500 give the ordinary fit's A, B and errors times their powers of two.
struct RangeScale {
    int modelId;
    FixedParameter fixed;
    int xExponent, yExponent;
};

TEST(FitProblem, WeightedAndConstrainedFitsHaveTheWholeDoubleRange)
{
    std::vector<double> x, y;
    for (int k = 1; k <= 9; ++k) {
        x.push_back(k);
        y.push_back(2.0 + 0.3 * k + 0.05 * (k % 3 - 1));
    }
    const RangeScale cases[] = {
        {0, {-1, 0.0}, 500, -500}, {0, {-1, 0.0}, -600, 300}, {0, {0, 0.0}, 500, -500},
        {5, {-1, 0.0}, 0, -450},   {8, {-1, 0.0}, 0, 450},    {0, {1, 0.3}, 400, -400},
    };
    for (const RangeScale& c : cases) {
        for (bool absolute : {false, true}) {
            std::vector<double> sx, sy, w, sw;
            for (size_t i = 0; i < x.size(); ++i) {
                sx.push_back(ldexp(x[i], c.xExponent));
                sy.push_back(ldexp(y[i], c.yExponent));
                w.push_back(1.0 / (0.01 * y[i]) / (0.01 * y[i]));
                sw.push_back(1.0 / (0.01 * sy[i]) / (0.01 * sy[i]));
            }
            FixedParameter fixed = c.fixed;
            FitRecord plain = fitProblem(problemOf(x, y, &w, c.modelId, fixed, absolute), false);
            // Y = A + B*X scales A as Y and B as Y/X; A*exp(B X) with X unscaled: A as Y; A*X^B: A as Y.
            double aScale = ldexp(1.0, c.yExponent);
            double bScale = c.modelId == 0 ? ldexp(1.0, c.yExponent - c.xExponent) : 1.0;
            if (fixed.parameter == 1) fixed.value *= bScale;
            FitRecord scaled = fitProblem(problemOf(sx, sy, &sw, c.modelId, fixed, absolute), false);
            ASSERT_TRUE(isfinite(plain.fit.a) && isfinite(scaled.fit.a))
                << "model " << c.modelId << " at 2^" << c.xExponent << ", 2^" << c.yExponent;
            EXPECT_GE(agreeingDigits(scaled.fit.b / bScale, plain.fit.b), 12) << "model " << c.modelId;
            if (plain.fit.a != 0.0) {
                EXPECT_GE(agreeingDigits(scaled.fit.a / aScale, plain.fit.a), 12) << "model " << c.modelId;
            }
            if (fixed.parameter != 1) {
                EXPECT_GE(agreeingDigits(scaled.uncertainty.seB / bScale, plain.uncertainty.seB), 11) << "model " << c.modelId;
            }
            if (fixed.parameter != 0) {
                EXPECT_GE(agreeingDigits(scaled.uncertainty.seA / aScale, plain.uncertainty.seA), 11) << "model " << c.modelId;
            }
            EXPECT_GE(agreeingDigits(scaled.uncertainty.r2, plain.uncertainty.r2), 11) << "model " << c.modelId;
        }
    }
}

// One free parameter refined on Y: with B held, A of A*exp(B X) has the closed form
// sum Y e^(BX) / sum e^(2BX), its variance s^2 / sum e^(2BX) with n - 1 degrees of freedom.
TEST(FitProblem, OneFreeParameterIsRefinedToItsClosedForm)
{
    std::vector<double> x, y;
    for (int k = 0; k < 12; ++k) {
        x.push_back(0.5 * k);
        y.push_back(5.0 * exp(-0.5 * 0.5 * k) * (1.0 + 0.02 * ((k * 7) % 5 - 2)));
    }
    const double b = -0.5;
    double sumYE = 0.0, sumEE = 0.0;
    for (size_t i = 0; i < x.size(); ++i) {
        sumYE += y[i] * exp(b * x[i]);
        sumEE += exp(2.0 * b * x[i]);
    }
    double a = sumYE / sumEE, rss = 0.0;
    for (size_t i = 0; i < x.size(); ++i) rss += (y[i] - a * exp(b * x[i])) * (y[i] - a * exp(b * x[i]));
    FitRecord r = fitProblem(problemOf(x, y, nullptr, 5, FixedParameter{1, b}, false), true);
    ASSERT_TRUE(recordRefined(r));
    EXPECT_EQ(r.fit.b, b);
    EXPECT_GE(agreeingDigits(r.fit.a, a), 12);
    EXPECT_GE(agreeingDigits(r.uncertainty.seA, sqrt(rss / 11.0 / sumEE)), 10);
    EXPECT_EQ(r.dof, 11);
    EXPECT_EQ(r.uncertainty.covAB, 0.0);
}

} // namespace
