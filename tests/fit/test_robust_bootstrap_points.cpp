// SPDX-License-Identifier: GPL-3.0-or-later
// Robust fits (a gross outlier weighed out: the clean line's fit), the bootstrap (a seed fixes the
// result whatever the threads; its spread against the Student interval of a straight line; exact data
// give no spread) and point lists for --exclude.
#include <gtest/gtest.h>
#include <math.h>
#include <string.h>

#include <string>
#include <vector>

#include "bootstrap.h"
#include "fit.h"
#include "point_list.h"
#include "refine.h"
#include "robust.h"

namespace {

// Y = 1 + 2X with a small ripple, point 6 (index 5) thrown 100 off.
struct Outlier {
    std::vector<double> x, y, cleanX, cleanY;
    Outlier()
    {
        for (int i = 0; i < 12; ++i) {
            x.push_back(i + 1.0);
            y.push_back(1.0 + 2.0 * (i + 1.0) + 0.1 * sin(i * 2.1) + (i == 5 ? 100.0 : 0.0));
            if (i != 5) {
                cleanX.push_back(x.back());
                cleanY.push_back(y.back());
            }
        }
    }
};

struct RobustCase {
    RobustKind kind;
    double outlierWeightAtMost; // bisquare drops it altogether
    double cleanWeightAtLeast;  // of every other point
    double standardErrors;      // how far from the clean line: the monotone weights (Huber, fair) keep
                                // a bounded pull of the outlier, the others none
};

class Robust : public testing::TestWithParam<RobustCase> {};

TEST_P(Robust, GrossOutlierGivesTheCleanLine)
{
    const RobustCase& c = GetParam();
    Outlier d;
    // Within a fraction of a standard error of the line fitted without the outlier: the same line, as
    // far as the data can tell.
    RefineResult clean = refineFit(d.cleanX.data(), d.cleanY.data(), 11, 0, 0.0, REFINE_MAX_ITERATIONS);
    double toleranceA = clean.uncertainty.seA * c.standardErrors, toleranceB = clean.uncertainty.seB * c.standardErrors;
    std::vector<double> weights(12);
    RobustFit line = robustLinearisedFit(d.x.data(), d.y.data(), NULL, 12, 0, 0.0, c.kind, weights.data());
    ASSERT_TRUE(line.ok) << line.reason;
    EXPECT_NEAR(line.a, clean.fit.a, toleranceA);
    EXPECT_NEAR(line.b, clean.fit.b, toleranceB);
    EXPECT_LE(weights[5], c.outlierWeightAtMost);
    RobustFit refined = robustRefinedFit(d.x.data(), d.y.data(), NULL, 12, 0, 0.0, c.kind, line.a, line.b,
                                         ROBUST_MAX_ITERATIONS, weights.data());
    ASSERT_TRUE(refined.ok) << refined.reason;
    EXPECT_NEAR(refined.a, clean.fit.a, toleranceA);
    EXPECT_NEAR(refined.b, clean.fit.b, toleranceB);
    EXPECT_LE(weights[5], c.outlierWeightAtMost);
    for (int i = 0; i < 12; ++i) {
        if (i == 5) continue;
        EXPECT_GE(weights[i], c.cleanWeightAtLeast) << "point " << i + 1;
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, Robust,
                         testing::Values(RobustCase{ROBUST_BISQUARE, 0.0, 0.8, 0.3}, RobustCase{ROBUST_HUBER, 0.02, 1.0, 1.0},
                                         RobustCase{ROBUST_CAUCHY, 0.01, 0.8, 0.3},
                                         RobustCase{ROBUST_FAIR, 0.05, 0.4, 1.0},
                                         RobustCase{ROBUST_WELSCH, 1e-9, 0.8, 0.3}),
                         [](const testing::TestParamInfo<RobustCase>& info) {
                             return std::string(robustKindName(info.param.kind));
                         });

TEST(Robust, ExponentialWithAnOutlierRefinesToTheCleanCurve)
{
    std::vector<double> x, y, cx, cy;
    for (int i = 0; i < 15; ++i) {
        x.push_back(0.5 * i);
        y.push_back(5.0 * exp(-0.4 * x.back()) + 0.02 * cos(i * 1.3) + (i == 9 ? 2.0 : 0.0));
        if (i != 9) {
            cx.push_back(x.back());
            cy.push_back(y.back());
        }
    }
    RefineResult clean = refineFit(cx.data(), cy.data(), 14, 5, 0.0, REFINE_MAX_ITERATIONS);
    std::vector<double> weights(15);
    RobustFit line = robustLinearisedFit(x.data(), y.data(), NULL, 15, 5, 0.0, ROBUST_BISQUARE, weights.data());
    ASSERT_TRUE(line.ok) << line.reason;
    RobustFit fit = robustRefinedFit(x.data(), y.data(), NULL, 15, 5, 0.0, ROBUST_BISQUARE, line.a, line.b,
                                     ROBUST_MAX_ITERATIONS, weights.data());
    ASSERT_TRUE(fit.ok) << fit.reason;
    EXPECT_NEAR(fit.a, clean.fit.a, clean.uncertainty.seA / 3.0);
    EXPECT_NEAR(fit.b, clean.fit.b, clean.uncertainty.seB / 3.0);
    EXPECT_EQ(weights[9], 0.0);
}

TEST(Robust, NamesAndWeightFunctions)
{
    RobustKind kind;
    ASSERT_TRUE(robustKindNamed("welsch", &kind));
    EXPECT_EQ(kind, ROBUST_WELSCH);
    EXPECT_FALSE(robustKindNamed("tukey", &kind));
    EXPECT_DOUBLE_EQ(robustWeight(ROBUST_BISQUARE, 0.5), 0.5625);
    EXPECT_DOUBLE_EQ(robustWeight(ROBUST_HUBER, 4.0), 0.25);
    EXPECT_DOUBLE_EQ(robustWeight(ROBUST_CAUCHY, 1.0), 0.5);
    EXPECT_DOUBLE_EQ(robustWeight(ROBUST_FAIR, -3.0), 0.25);
    EXPECT_DOUBLE_EQ(robustWeight(ROBUST_WELSCH, 1.0), exp(-1.0));
}

// A line with a deterministic ripple for the bootstrap.
struct Ripple {
    std::vector<double> x, y;
    explicit Ripple(int count, double noise)
    {
        for (int i = 0; i < count; ++i) {
            x.push_back(i * 0.1);
            y.push_back(3.0 - 0.5 * x.back() + noise * sin(i * 12.9898) * 1.7);
        }
    }
};

BootstrapResult bootstrapOf(const Ripple& d, int modelId, int resamples, unsigned long seed, int threads,
                            RefineResult* fit)
{
    int count = (int)d.x.size();
    *fit = refineFit(d.x.data(), d.y.data(), count, modelId, 0.0, REFINE_MAX_ITERATIONS);
    RefineRefitContext context = {d.x.data(), RefineWeights{NULL, false}, count, modelId, 0.0, fit->fit.a, fit->fit.b};
    BootstrapProblem p = {d.x.data(), d.y.data(), NULL, count, modelId, 0.0, fit->fit.a, fit->fit.b, refineRefit,
                          &context};
    return bootstrapIntervals(p, resamples, seed, threads);
}

std::string text(const BootstrapResult& r)
{
    char buffer[200];
    snprintf(buffer, sizeof buffer, "%.17g %.17g %.17g %.17g %.17g %.17g %d", r.ciA[0], r.ciA[1], r.ciB[0], r.ciB[1],
             r.seA, r.seB, r.failed);
    return buffer;
}

TEST(Bootstrap, SeedFixesTheResultWhateverTheThreads)
{
    Ripple d(60, 0.2);
    RefineResult fit;
    std::string one = text(bootstrapOf(d, 0, 300, 7, 1, &fit));
    EXPECT_EQ(text(bootstrapOf(d, 0, 300, 7, 2, &fit)), one);
    EXPECT_EQ(text(bootstrapOf(d, 0, 300, 7, 3, &fit)), one);
    EXPECT_NE(text(bootstrapOf(d, 0, 300, 8, 2, &fit)), one);
}

TEST(Bootstrap, SpreadOfALineMatchesItsStandardError)
{
    // Residual resampling of a straight line: the resampled B spread is se * sqrt((n - 2) / n) up to the
    // sampling error of 2000 resamples (about 2%).
    Ripple d(50, 0.3);
    RefineResult fit;
    BootstrapResult r = bootstrapOf(d, 0, 2000, 28, 2, &fit);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.failed, 0);
    double expected = fit.uncertainty.seB * sqrt(48.0 / 50.0);
    EXPECT_NEAR(r.seB, expected, 0.06 * expected);
    EXPECT_NEAR(r.ciB[1] - r.ciB[0], 2.0 * 1.96 * expected, 0.1 * 2.0 * 1.96 * expected);
    EXPECT_LT(r.ciB[0], fit.fit.b);
    EXPECT_GT(r.ciB[1], fit.fit.b);
}

TEST(Bootstrap, ExactDataHaveNoSpread)
{
    Ripple d(20, 0.0);
    RefineResult fit;
    BootstrapResult r = bootstrapOf(d, 5 - 5, 50, 1, 2, &fit);
    ASSERT_TRUE(r.ok);
    EXPECT_NEAR(r.ciB[0], -0.5, 1e-12);
    EXPECT_NEAR(r.ciB[1], -0.5, 1e-12);
    EXPECT_NEAR(r.ciA[0], 3.0, 1e-12);
}

struct ListCase {
    const char* text;
    int count;
    const char* excluded; // the mask as 0/1, or NULL for a refusal
};

const ListCase LIST_CASES[] = {
    {"3,7-9", 10, "0010001110"}, {"1", 3, "100"}, {"2-2,2", 3, "010"}, {"1-3", 3, "111"},
    {"4", 3, NULL},              {"3,", 5, NULL}, {"", 5, NULL},      {"0", 5, NULL},
    {"5-3", 9, NULL},            {"2x", 5, NULL}, {"-2", 5, NULL},    {"1-99999999999999999999", 5, NULL},
    {" 2", 5, NULL},
};

TEST(PointList, ParsesAndRefuses)
{
    for (const ListCase& c : LIST_CASES) {
        std::vector<PointRange> ranges;
        std::vector<bool> mask;
        char message[160] = "";
        bool ok = parsePointList(c.text, &ranges, message, sizeof message) &&
                  excludedPoints(ranges, c.count, &mask, message, sizeof message);
        if (c.excluded == NULL) {
            EXPECT_FALSE(ok) << c.text;
            EXPECT_NE(message[0], '\0') << c.text;
            continue;
        }
        ASSERT_TRUE(ok) << c.text << ": " << message;
        std::string bits;
        for (bool b : mask) bits += b ? '1' : '0';
        EXPECT_EQ(bits, c.excluded) << c.text;
    }
}

TEST(PointList, ExcludedFitIsTheFitWithoutThePoints)
{
    Outlier d;
    std::vector<PointRange> ranges;
    std::vector<bool> mask;
    char message[160], list[64];
    ASSERT_TRUE(parsePointList("6", &ranges, message, sizeof message));
    ASSERT_TRUE(excludedPoints(ranges, 12, &mask, message, sizeof message));
    std::vector<double> x = keptValues(d.x.data(), mask), y = keptValues(d.y.data(), mask);
    EXPECT_EQ(x, d.cleanX);
    EXPECT_EQ(y, d.cleanY);
    std::vector<bool> several = {true, false, true, true, true, false, true};
    pointListText(several, list, sizeof list);
    EXPECT_STREQ(list, "1,3-5,7");
}

} // namespace
