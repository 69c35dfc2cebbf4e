// SPDX-License-Identifier: GPL-3.0-or-later
// Shared parameters and profile intervals on the Puromycin data (Bates and Watts, treated and untreated
// cells), Y = A*X/(B+X), against the published figures: the fit sharing K = B, its residual sum and the
// F test against separate curves; R's profile intervals of the treated curve. Sharing both parameters
// is one curve through all points: the refinement of the joined data.
#include <gtest/gtest.h>
#include <math.h>

#include <vector>

#include "fit_uncertainty.h"
#include "profile.h"
#include "refine.h"
#include "shared_fit.h"

namespace {

#define SATURATION 12

const std::vector<double> TREATED_X = {0.02, 0.02, 0.06, 0.06, 0.11, 0.11, 0.22, 0.22, 0.56, 0.56, 1.10, 1.10};
const std::vector<double> TREATED_Y = {76, 47, 97, 107, 123, 139, 159, 152, 191, 201, 207, 200};
const std::vector<double> UNTREATED_X = {0.02, 0.02, 0.06, 0.06, 0.11, 0.11, 0.22, 0.22, 0.56, 0.56, 1.10};
const std::vector<double> UNTREATED_Y = {67, 51, 84, 86, 98, 115, 131, 124, 144, 158, 160};

RefineResult refined(const std::vector<double>& x, const std::vector<double>& y)
{
    return refineFit(x.data(), y.data(), (int)x.size(), SATURATION, 0.0, REFINE_MAX_ITERATIONS);
}

SeparateFit separateOf(const RefineResult& r)
{
    return SeparateFit{r.fit.a, r.fit.b, r.fit.residualSum};
}

SharedFit puromycinShared(int share)
{
    FitDataSet sets[2] = {{TREATED_X.data(), TREATED_Y.data(), NULL, (int)TREATED_X.size()},
                          {UNTREATED_X.data(), UNTREATED_Y.data(), NULL, (int)UNTREATED_X.size()}};
    SeparateFit separate[2] = {separateOf(refined(TREATED_X, TREATED_Y)), separateOf(refined(UNTREATED_X, UNTREATED_Y))};
    return sharedFit(sets, separate, 2, SATURATION, 0.0, share, false, REFINE_MAX_ITERATIONS);
}

TEST(SharedFit, PuromycinWithOneHalfSaturationConstant)
{
    SharedFit fit = puromycinShared(SHARE_B);
    ASSERT_TRUE(fit.ok) << fit.reason;
    EXPECT_NEAR(fit.b, 0.057972, 5e-7);
    EXPECT_NEAR(fit.sum, 2240.891, 5e-4);
    EXPECT_EQ(fit.dof, 20);
    EXPECT_EQ(fit.dofSeparate, 19);
    EXPECT_EQ(fit.fTest.df1, 1);
    EXPECT_EQ(fit.fTest.df2, 19);
    EXPECT_NEAR(fit.fTest.f, 1.7182, 5e-5);
    EXPECT_NEAR(fit.fTest.p, 0.2056, 5e-5);
    ASSERT_EQ(fit.sets.size(), 2u);
    EXPECT_EQ(fit.sets[0].count, 12);
    EXPECT_NEAR(fit.sets[0].sum + fit.sets[1].sum, fit.sum, 1e-9 * fit.sum);
    EXPECT_GT(fit.sets[0].a, fit.sets[1].a); // treated cells react faster
    EXPECT_GT(fit.sets[0].seA, 0.0);
    EXPECT_EQ(fit.sets[0].seB, 0.0);
    // A shared fit has one parameter fewer, so it may win on AICc though its sum is larger.
    EXPECT_GT(fit.sum, fit.sumSeparate);
    EXPECT_TRUE(isfinite(fit.aicc) && isfinite(fit.aiccSeparate));
}

TEST(SharedFit, SharingBothIsTheFitOfTheJoinedData)
{
    std::vector<double> x = TREATED_X, y = TREATED_Y;
    x.insert(x.end(), UNTREATED_X.begin(), UNTREATED_X.end());
    y.insert(y.end(), UNTREATED_Y.begin(), UNTREATED_Y.end());
    RefineResult joined = refined(x, y);
    SharedFit fit = puromycinShared(SHARE_BOTH);
    ASSERT_TRUE(fit.ok) << fit.reason;
    EXPECT_NEAR(fit.a, joined.fit.a, 1e-8 * joined.fit.a);
    EXPECT_NEAR(fit.b, joined.fit.b, 1e-8 * joined.fit.b);
    EXPECT_NEAR(fit.seA, joined.uncertainty.seA, 1e-6 * joined.uncertainty.seA);
    EXPECT_NEAR(fit.seB, joined.uncertainty.seB, 1e-6 * joined.uncertainty.seB);
    EXPECT_NEAR(fit.sum, joined.fit.residualSum, 1e-9 * fit.sum);
    EXPECT_EQ(fit.fTest.df1, 2);
}

TEST(SharedFit, RefusesOneSetAndAnEmptyShare)
{
    FitDataSet set = {TREATED_X.data(), TREATED_Y.data(), NULL, (int)TREATED_X.size()};
    SeparateFit start = {200, 0.06, 1000};
    EXPECT_FALSE(sharedFit(&set, &start, 1, SATURATION, 0.0, SHARE_B, false, 100).ok);
    FitDataSet two[2] = {set, set};
    SeparateFit starts[2] = {start, start};
    EXPECT_FALSE(sharedFit(two, starts, 2, SATURATION, 0.0, 0, false, 100).ok);
}

TEST(FTest, ExtraSumOfSquaresAgainstTheFDistribution)
{
    // F = ((12 - 10) / 2) / (10 / 20) = 2 on (2, 20): upper tail 0.16150 (F distribution tables).
    FTest t = extraSumOfSquaresTest(12.0, 22, 10.0, 20);
    EXPECT_NEAR(t.f, 2.0, 1e-15);
    EXPECT_NEAR(t.p, 0.161506, 5e-6);
    EXPECT_EQ(extraSumOfSquaresTest(10.0 - 1e-12, 21, 10.0, 20).f, 0.0); // rounding below the fuller fit
    EXPECT_TRUE(isnan(extraSumOfSquaresTest(12.0, 20, 10.0, 20).f));      // no parameter constrained
}

TEST(Profile, PuromycinTreatedMatchesRsIntervals)
{
    RefineResult r = refined(TREATED_X, TREATED_Y);
    ASSERT_EQ(r.status, REFINE_CONVERGED);
    double sum = r.fit.residualSum;
    ProfileProblem p = {TREATED_X.data(), TREATED_Y.data(), NULL, 12, SATURATION, 0.0, r.fit.a, r.fit.b,
                        r.uncertainty.seA, r.uncertainty.seB, sum};
    double s = sqrt(sum / 10.0), t = studentT975(10);
    ProfileInterval a = profileInterval(p, 0, s, t), b = profileInterval(p, 1, s, t);
    ASSERT_TRUE(a.ok && b.ok);
    EXPECT_NEAR(a.low, 197.30, 0.005);
    EXPECT_NEAR(a.high, 229.29, 0.005);
    EXPECT_NEAR(b.low, 0.046920, 5e-7);
    EXPECT_NEAR(b.high, 0.086157, 5e-7);
    // Curved: the interval of B reaches further above the estimate than below it.
    EXPECT_GT(b.high - r.fit.b, r.fit.b - b.low);
}

TEST(Profile, StraightLineProfileIsTheWaldInterval)
{
    // For a model linear in A and B, S is quadratic: the profile bound is estimate -+ t * se exactly.
    std::vector<double> x = {1, 2, 3, 4, 5, 6, 7}, y = {2.1, 3.9, 6.2, 7.8, 10.1, 12.2, 13.8};
    RefineResult r = refineFit(x.data(), y.data(), 7, 0, 0.0, REFINE_MAX_ITERATIONS);
    double sum = r.fit.residualSum;
    ProfileProblem p = {x.data(), y.data(), NULL, 7, 0, 0.0, r.fit.a, r.fit.b, r.uncertainty.seA, r.uncertainty.seB, sum};
    double t = studentT975(5);
    ProfileInterval b = profileInterval(p, 1, sqrt(sum / 5.0), t);
    ASSERT_TRUE(b.ok);
    EXPECT_NEAR(b.low, r.uncertainty.ciB[0], 1e-9);
    EXPECT_NEAR(b.high, r.uncertainty.ciB[1], 1e-9);
}

} // namespace
