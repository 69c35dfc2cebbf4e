// SPDX-License-Identifier: GPL-3.0-or-later
// Refinement by least squares on Y against SciPy's curve_fit (MINPACK Levenberg-Marquardt; the data and
// values were printed by reference_values.py), points outside the line's domain, exact data, and the
// refusals: no start, no convergence.
#include <gtest/gtest.h>
#include <math.h>
#include <string.h>

#include <vector>

#include "fit.h"
#include "models.h"
#include "refine.h"

namespace {

struct RefineCase {
    const char* name;
    int modelId;
    std::vector<double> x, y;
    double a, b, seA, seB, s;
    int leftOutOfStart;
    double startR2Line; // of the points the line can take (NumPy)
};

const RefineCase REFINE_CASES[] = {
    {"NoisyDecay", 5, {0, 0.5, 1, 1.5, 2, 2.5, 3, 3.5, 4, 4.5, 5, 5.5, 6},
     {5.02365, 3.85993, 3.04478, 2.2768, 1.87705, 1.35579, 1.11591, 0.862858, 0.636327, 0.670587, 0.380534,
      0.343262, 0.303733},
     4.99114271631048, -0.501130385154762, 0.0499568590019637, 0.00820512040060264, 0.0596027313840915, 0, 0.99150444705474},
    {"DecayWithTailBelowZero", 5, {0, 0.5, 1, 1.5, 2, 2.5, 3, 3.5, 4, 4.5, 5, 5.5, 6, 6.5, 7, 7.5, 8},
     {5.08453, 2.72076, 1.50761, 0.84687, 0.414144, 0.249039, 0.136574, -0.0127583, 0.0920316, 0.0526078,
      -0.0188777, -0.00177557, 0.0289979, -0.0110191, -0.0110131, -0.072045, 0.0280677},
     5.07542823800587, -1.22374237389123, 0.0368275418497757, 0.016603521930977, 0.0373084039472246, 6, 0.882676071230465},
    {"Power", 8, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10},
     {2.53659, 5.78781, 10.4213, 15.441, 22.2775, 29.2874, 37.0157, 45.0667, 53.9869, 63.1024},
     1.97777255640153, 1.50410207168543, 0.0421285829215219, 0.0100770370472125, 0.258506604914707, 0, 0.997563122137223},
    {"Saturation", 12, {0.5, 1, 1.5, 2, 2.5, 3, 3.5, 4, 4.5, 5, 5.5, 6, 6.5, 7, 7.5, 8, 8.5, 9, 9.5, 10},
     {0.617649, 0.986765, 1.38295, 1.48992, 1.67105, 1.8633, 1.87272, 1.97633, 2.08443, 2.12966, 2.15229, 2.2418,
      2.27976, 2.35747, 2.30183, 2.37199, 2.47463, 2.52884, 2.41781, 2.52579},
     2.96950248583108, 1.92567121392094, 0.0372812342813632, 0.0853335610387166, 0.0429696375206888, 0, 0.997317261892253},
    {"Hyperbola", 11, {0, 0.5, 1, 1.5, 2, 2.5, 3, 3.5, 4, 4.5, 5, 5.5, 6},
     {2.66669, 1.99421, 1.57768, 1.33308, 1.13529, 0.990377, 0.858542, 0.790183, 0.722459, 0.653708, 0.628102,
      0.606231, 0.539267},
     3.9662597013153, 1.489917786059, 0.0378669192071663, 0.0193967356255753, 0.0155733641394031, 0, 0.995592585612878},
};

class Refine : public testing::TestWithParam<RefineCase> {};

TEST_P(Refine, AgreesWithAnIndependentLeastSquaresSolver)
{
    const RefineCase& c = GetParam();
    int n = (int)c.x.size();
    RefineResult r = refineFit(c.x.data(), c.y.data(), n, c.modelId, 2.0, REFINE_MAX_ITERATIONS);
    ASSERT_EQ(r.status, REFINE_CONVERGED) << r.reason;
    EXPECT_NEAR(r.fit.a, c.a, 1e-8 * fabs(c.a));
    EXPECT_NEAR(r.fit.b, c.b, 1e-8 * fabs(c.b));
    EXPECT_NEAR(r.uncertainty.seA, c.seA, 1e-6 * c.seA);
    EXPECT_NEAR(r.uncertainty.seB, c.seB, 1e-6 * c.seB);
    EXPECT_NEAR(r.fit.s, c.s, 1e-9 * c.s);
    EXPECT_EQ(r.pointsUsed, n);
    EXPECT_EQ(r.leftOutOfStart, c.leftOutOfStart);
    EXPECT_EQ(r.leftOut, 0);
    EXPECT_GT(r.iterations, 0);
    EXPECT_NEAR(r.uncertainty.r2Line, c.startR2Line, 1e-12);
    // Least squares on Y never does worse on Y than the line it started from (same points).
    if (c.leftOutOfStart == 0) {
        FitResult start = fitPoints(c.x.data(), c.y.data(), n, c.modelId, 2.0);
        EXPECT_EQ(r.startA, start.a);
        EXPECT_LE(r.fit.residualSum, start.residualSum);
    }
}

// The streaming solver (sums point by point) and the dense one (QR of the whole Jacobian) take the
// same steps: the same A, B, S and standard errors to 1e-9.
void expectSolversAgree(const double* x, const double* y, const double* w, int n, int modelId)
{
    RefineWeights weights = {w, false};
    RefineResult streaming = refineFitWith(x, y, weights, n, modelId, 2.0, REFINE_MAX_ITERATIONS, REFINE_STREAMING);
    RefineResult dense = refineFitWith(x, y, weights, n, modelId, 2.0, REFINE_MAX_ITERATIONS, REFINE_DENSE);
    ASSERT_EQ(streaming.status, dense.status) << streaming.reason;
    EXPECT_NEAR(streaming.fit.a, dense.fit.a, 1e-9 * fabs(dense.fit.a));
    EXPECT_NEAR(streaming.fit.b, dense.fit.b, 1e-9 * fabs(dense.fit.b));
    EXPECT_NEAR(streaming.fit.s, dense.fit.s, 1e-9 * dense.fit.s);
    EXPECT_NEAR(streaming.uncertainty.seA, dense.uncertainty.seA, 1e-9 * dense.uncertainty.seA);
    EXPECT_NEAR(streaming.uncertainty.seB, dense.uncertainty.seB, 1e-9 * dense.uncertainty.seB);
    EXPECT_EQ(streaming.pointsUsed, dense.pointsUsed);
}

TEST_P(Refine, StreamingAndDenseSolversAgree)
{
    const RefineCase& c = GetParam();
    expectSolversAgree(c.x.data(), c.y.data(), NULL, (int)c.x.size(), c.modelId);
}

// kelvora-fit hands the line it has already fitted to the refinement: where that line took every point
// the refinement is the one it finds from its own line, its S (taken from the solver's last pass) that
// of the residuals at its A and B.
TEST_P(Refine, StartingFromTheCallersLineGivesTheSameRefinement)
{
    const RefineCase& c = GetParam();
    int n = (int)c.x.size();
    LineFit line;
    FitResult fit = fitPointsWithLine(c.x.data(), c.y.data(), n, c.modelId, 2.0, &line);
    RefineStart start;
    bool taken = lineFitAsStart(c.x.data(), c.y.data(), n, c.modelId, fit, line, c.startR2Line, &start);
    EXPECT_EQ(taken, c.leftOutOfStart == 0) << "a line over points it could not take is no start";
    RefineResult own = refineFit(c.x.data(), c.y.data(), n, c.modelId, 2.0, REFINE_MAX_ITERATIONS);
    RefineResult given = refineFitFrom(c.x.data(), c.y.data(), RefineWeights{NULL, false}, n, c.modelId, 2.0,
                                       REFINE_MAX_ITERATIONS, REFINE_STREAMING, taken ? &start : NULL);
    ASSERT_EQ(given.status, own.status) << given.reason;
    EXPECT_EQ(given.fit.a, own.fit.a);
    EXPECT_EQ(given.fit.b, own.fit.b);
    EXPECT_EQ(given.startA, own.startA);
    EXPECT_EQ(given.leftOutOfStart, own.leftOutOfStart);
    EXPECT_NEAR(given.fit.s, own.fit.s, 1e-14 * own.fit.s);
    EXPECT_NEAR(given.uncertainty.r2, own.uncertainty.r2, 1e-14);
    FitResult measured = measureFit(c.x.data(), c.y.data(), n, c.modelId, 2.0, given.fit.a, given.fit.b, NULL, NULL, NULL);
    if (given.leftOut == 0) {
        EXPECT_NEAR(given.fit.residualSum, measured.residualSum, 1e-12 * measured.residualSum);
    }
}

// A line fitted over all the points is refused as a start where one of them lay outside its domain or
// had a transform that is no number, and for fewer than two points.
TEST(RefineEdges, ALineOverPointsItCouldNotTakeIsNoStart)
{
    struct Case {
        const char* name;
        int modelId;
        std::vector<double> x, y;
    } cases[] = {
        {"YBelowZeroUnderALog", 5, {0, 1, 2}, {3, -1, 1}},
        {"YZeroUnderALog", 5, {0, 1, 2}, {3, 0, 1}},
        {"YInfinite", 5, {0, 1, 2}, {3, INFINITY, 1}},
        {"XZeroUnderALogOfX", 10, {0, 1, 2}, {1, 2, 3}},
        {"OnePoint", 5, {1}, {2}},
    };
    for (const Case& c : cases) {
        int n = (int)c.x.size();
        LineFit line;
        FitResult fit = fitPointsWithLine(c.x.data(), c.y.data(), n, c.modelId, 2.0, &line);
        RefineStart start = {1.0, 1.0, 1.0};
        EXPECT_FALSE(lineFitAsStart(c.x.data(), c.y.data(), n, c.modelId, fit, line, 1.0, &start)) << c.name;
    }
}

// Weights 1/sigma^2 with sigma = 0.02 + 0.05 Y: SciPy's curve_fit(sigma=sigma) gives A, B and (sigma
// relative, errors scaled by the weighted residual sum) their standard errors.
TEST(WeightedRefine, AgreesWithAnIndependentWeightedFit)
{
    const RefineCase& c = REFINE_CASES[0];
    int n = (int)c.x.size();
    std::vector<double> w;
    for (double y : c.y) w.push_back(1.0 / ((0.02 + 0.05 * y) * (0.02 + 0.05 * y)));
    RefineResult r = refineWeightedFit(c.x.data(), c.y.data(), RefineWeights{w.data(), false}, n, c.modelId, 2.0,
                                       REFINE_MAX_ITERATIONS);
    ASSERT_EQ(r.status, REFINE_CONVERGED) << r.reason;
    EXPECT_NEAR(r.fit.a, 4.883417435839002, 1e-8 * 4.88);
    EXPECT_NEAR(r.fit.b, -0.4884697956384553, 1e-8 * 0.488);
    EXPECT_NEAR(r.uncertainty.seA, 0.1604341640021094, 1e-6 * 0.16);
    EXPECT_NEAR(r.uncertainty.seB, 0.012012961029887394, 1e-6 * 0.012);
    expectSolversAgree(c.x.data(), c.y.data(), w.data(), n, c.modelId);

    // Weights all 2 move nothing but the minimised sum; a weight that is no number >= 0 leaves its point out.
    std::vector<double> twos(n, 2.0);
    RefineResult doubled = refineWeightedFit(c.x.data(), c.y.data(), RefineWeights{twos.data(), false}, n,
                                             c.modelId, 2.0, REFINE_MAX_ITERATIONS);
    RefineResult plain = refineFit(c.x.data(), c.y.data(), n, c.modelId, 2.0, REFINE_MAX_ITERATIONS);
    EXPECT_NEAR(doubled.fit.a, plain.fit.a, 1e-12 * fabs(plain.fit.a));
    EXPECT_NEAR(doubled.uncertainty.seB, plain.uncertainty.seB, 1e-9 * plain.uncertainty.seB);
    EXPECT_NEAR(doubled.chi2, 2.0 * plain.fit.residualSum, 1e-12 * plain.fit.residualSum);
    EXPECT_TRUE(isnan(plain.chi2));
    // Weights of absolute sigma: the covariance is not scaled by chi2 / (n - 2).
    RefineResult absolute = refineWeightedFit(c.x.data(), c.y.data(), RefineWeights{w.data(), true}, n, c.modelId,
                                              2.0, REFINE_MAX_ITERATIONS);
    double chi2Nu = absolute.chi2 / (double)(n - 2);
    EXPECT_NEAR(absolute.uncertainty.seA * sqrt(chi2Nu), r.uncertainty.seA, 1e-10 * r.uncertainty.seA);
    EXPECT_NEAR(absolute.uncertainty.covAB * chi2Nu, r.uncertainty.covAB, 1e-9 * fabs(r.uncertainty.covAB));
    for (double bad : {-1.0, (double)NAN, (double)INFINITY}) {
        std::vector<double> some = twos;
        some[4] = bad;
        RefineResult r2 = refineWeightedFit(c.x.data(), c.y.data(), RefineWeights{some.data(), false}, n,
                                            c.modelId, 2.0, REFINE_MAX_ITERATIONS);
        EXPECT_EQ(r2.status, REFINE_CONVERGED) << bad;
        EXPECT_EQ(r2.leftOut, 1) << bad;
        EXPECT_EQ(r2.pointsUsed, n - 1) << bad;
    }
}

INSTANTIATE_TEST_SUITE_P(Refine, Refine, testing::ValuesIn(REFINE_CASES),
                         [](const testing::TestParamInfo<RefineCase>& info) { return info.param.name; });

TEST(RefineEdges, ExactDataStaysWhereTheLineFoundIt)
{
    std::vector<double> x, y;
    for (int i = 0; i < 10; ++i) {
        x.push_back(i * 0.5);
        y.push_back(2.0 * exp(0.3 * i * 0.5));
    }
    RefineResult r = refineFit(x.data(), y.data(), 10, 5, 2.0, REFINE_MAX_ITERATIONS);
    ASSERT_EQ(r.status, REFINE_CONVERGED) << r.reason;
    EXPECT_NEAR(r.fit.a, 2.0, 1e-12);
    EXPECT_NEAR(r.fit.b, 0.3, 1e-12);
    EXPECT_LT(r.uncertainty.seA, 1e-12);
    EXPECT_LE(r.iterations, 2);
}

TEST(RefineEdges, NoPointInsideTheLineDomainGivesNoStart)
{
    double x[] = {1, 2, 3}, y[] = {-1, 0, -2};
    RefineResult r = refineFit(x, y, 3, 5, 2.0, REFINE_MAX_ITERATIONS);
    EXPECT_EQ(r.status, REFINE_NO_START);
    EXPECT_EQ(r.leftOutOfStart, 3);
    double one[] = {2}, oneY[] = {3};
    EXPECT_EQ(refineFit(one, oneY, 1, 0, 2.0, REFINE_MAX_ITERATIONS).status, REFINE_NO_START);
    EXPECT_EQ(refineFit(one, oneY, 0, 0, 2.0, REFINE_MAX_ITERATIONS).status, REFINE_NO_START);
}

TEST(RefineEdges, AnXWhereTheModelHasNoValueIsLeftOut)
{
    // Y = A + B*LOG(X) has no value at X = 0: that point cannot be compared with its Y.
    double x[] = {0, 1, 2, 3, 4, 5}, y[] = {7, 1.02, 2.37, 3.21, 3.75, 4.24};
    RefineResult r = refineFit(x, y, 6, 10, 2.0, REFINE_MAX_ITERATIONS);
    ASSERT_EQ(r.status, REFINE_CONVERGED) << r.reason;
    EXPECT_EQ(r.leftOut, 1);
    EXPECT_EQ(r.leftOutOfStart, 0) << "the point is left out once, not also out of the start";
    EXPECT_EQ(r.pointsUsed, 5);
    // A and B of a model linear in them: the refinement lands on the straight-line fit of the rest.
    FitResult line = fitPoints(x + 1, y + 1, 5, 10, 2.0);
    EXPECT_NEAR(r.fit.a, line.a, 1e-10);
    EXPECT_NEAR(r.fit.b, line.b, 1e-10);
}

TEST(RefineEdges, StoppingAtTheIterationLimitIsReportedAsNotConverged)
{
    const RefineCase& c = REFINE_CASES[3];
    RefineResult r = refineFit(c.x.data(), c.y.data(), (int)c.x.size(), c.modelId, 2.0, 1);
    EXPECT_EQ(r.status, REFINE_NOT_CONVERGED);
    EXPECT_STRNE(r.reason, "");
    EXPECT_EQ(r.iterations, 1);
}

// Y = A*X^B at X = 0: the model's value is 0 and its derivative in B tends to 0, so the point counts in
// the refinement and its standard errors; a NaN derivative there used to stop the solver at once and
// leave NaN standard errors behind a fit reported as converged.
TEST(RefineEdges, APowerLawThroughXZeroKeepsThatPoint)
{
    double dA, dB;
    modelGradient(8, 1.5, 0.7, 2.0, 0.0, &dA, &dB);
    EXPECT_EQ(dA, 0.0);
    EXPECT_EQ(dB, 0.0);

    double x[] = {0, 1, 2, 3, 4}, y[] = {0.1, 2.1, 5.5, 10.6, 15.8};
    RefineResult r = refineFit(x, y, 5, 8, 2.0, REFINE_MAX_ITERATIONS);
    ASSERT_EQ(r.status, REFINE_CONVERGED) << r.reason;
    EXPECT_EQ(r.pointsUsed, 5);
    EXPECT_EQ(r.leftOutOfStart, 1);
    EXPECT_GT(r.iterations, 0);
    EXPECT_TRUE(isfinite(r.uncertainty.seA) && isfinite(r.uncertainty.seB));
}

// The written-out derivatives against central differences of the model itself, for every model.
TEST(RefineEdges, ModelGradientsMatchDifferencesOfTheModel)
{
    const double a = 1.7, b = 0.6, n = 2.5;
    const double xs[] = {0.4, 1.3, 2.9};
    for (int k = 0; k < MODEL_COUNT; ++k) {
        for (double x : xs) {
            double dA, dB;
            modelGradient(k, a, b, n, x, &dA, &dB);
            double h = 1e-6;
            double numA = (evaluateModelWith(k, a + h, b, n, x) - evaluateModelWith(k, a - h, b, n, x)) / (2 * h);
            double numB = (evaluateModelWith(k, a, b + h, n, x) - evaluateModelWith(k, a, b - h, n, x)) / (2 * h);
            EXPECT_NEAR(dA, numA, 1e-6 * (1 + fabs(numA))) << "model " << k << " x " << x;
            EXPECT_NEAR(dB, numB, 1e-6 * (1 + fabs(numB))) << "model " << k << " x " << x;
        }
    }
}

// A refinement whose solution has a pole inside the data, or whose A and B the data cannot tell apart,
// is no fit. Where the line's start leads there, starts on the other side of the pole reach the finite
// minimum. References: the least-squares minimum with the pole outside the data, found with mpmath
// (40 digits) by scanning the pole position with the factor solved exactly, then Newton on the profile.
struct BehindPoleCase {
    const char* name;
    int modelId;
    std::vector<double> x, y;
    double a, b, s;
};

const BehindPoleCase BEHIND_POLE_CASES[] = {
    // Before: "converged" to A=-6.95 B=7.85, whose pole X=0.885 lies among the points.
    {"XOverLineOfAReciprocalDecay", 3, {0.5, 1, 1.5, 2, 2.5, 3, 3.5, 4, 4.5, 5},
     {1.549462, 0.987, 0.749741, 0.576235, 0.497805, 0.408667, 0.375636, 0.311581, 0.298855, 0.253158},
     -0.87591505217776562, 2.3844205702672789, 0.16613982113237698},
    // Before: 146 iterations to A=4.8e10 B=-9.7e9, a pole on the point X=5 (the example power_law.dat).
    {"ReciprocalLineOfAPowerLaw", 1, {0.5, 1, 1.5, 2, 3, 4, 5, 6.5, 8, 10},
     {0.0713, 0.1978, 0.3685, 0.5736, 1.033, 1.5968, 2.2562, 3.2713, 4.5481, 6.2993}, 0.92748010982432133,
     -0.07764016475881076, 0.83243311675282755},
};

class BehindPole : public testing::TestWithParam<BehindPoleCase> {};

TEST_P(BehindPole, ConvergesToTheMinimumWithThePoleOutsideTheData)
{
    const BehindPoleCase& c = GetParam();
    RefineResult r = refineFit(c.x.data(), c.y.data(), (int)c.x.size(), c.modelId, 2.0, REFINE_MAX_ITERATIONS);
    ASSERT_EQ(r.status, REFINE_CONVERGED) << r.reason;
    EXPECT_TRUE(r.scannedStart);
    // To 1e-9 since the last Gauss-Newton steps: the LM iteration alone stopped up to 2e-9 away, where
    // rounding hid any further decrease of the residual sum (the dense solver still does).
    EXPECT_NEAR(r.fit.a, c.a, 1e-9 * fabs(c.a));
    EXPECT_NEAR(r.fit.b, c.b, 1e-9 * fabs(c.b));
    EXPECT_NEAR(r.fit.s, c.s, 1e-10 * c.s);
    double pole;
    ASSERT_TRUE(modelRow(c.modelId)->pole(r.fit.a, r.fit.b, &pole));
    EXPECT_TRUE(pole < c.x.front() || pole > c.x.back()) << pole;
}

INSTANTIATE_TEST_SUITE_P(Refine, BehindPole, testing::ValuesIn(BEHIND_POLE_CASES),
                         [](const testing::TestParamInfo<BehindPoleCase>& info) { return info.param.name; });

TEST(RefineEdges, ASolutionWithAPoleAmongThePointsIsRefused)
{
    // Scattered points: every start ends with 1/(A + B*X) jumping through its pole between the points
    // (before: "converged" after 179 iterations, exit 0). Where such a chaotic path stops depends on the
    // rounding of each step; the iteration limit stops this one with the pole among the points.
    double x[] = {-2.9, -2.1, -1.6, -0.7, -0.6, 1.7, 2.2, 2.6}, y[] = {-1.4, 1.8, -1.8, 1.1, 1.3, -0.9, 0.4, 1.7};
    RefineResult r = refineFit(x, y, 8, 1, 2.0, REFINE_MAX_ITERATIONS);
    ASSERT_EQ(r.status, REFINE_POLE_IN_DATA) << r.reason;
    EXPECT_GT(r.poleX, -2.9);
    EXPECT_LT(r.poleX, 2.6);
    EXPECT_NE(strstr(r.reason, "pole X=-1.84"), nullptr) << r.reason;
    EXPECT_NE(strstr(r.reason, "inside the data (X from -2.9 to 2.6)"), nullptr) << r.reason;
}

TEST(RefineEdges, ParametersTheDataCannotTellApartAreRefused)
{
    // A line far from X = 0: the intercept and the slope move together (correlation -0.99999995).
    std::vector<double> x, y;
    for (int i = 0; i < 20; ++i) {
        x.push_back(1e4 + i);
        y.push_back(3.0 + 0.5 * i + (i % 3 == 0 ? 0.1 : -0.05));
    }
    RefineResult r = refineFit(x.data(), y.data(), 20, 0, 2.0, REFINE_MAX_ITERATIONS);
    EXPECT_EQ(r.status, REFINE_DEGENERATE) << r.reason;
    EXPECT_LT(r.correlation, -0.9999);
    EXPECT_NE(strstr(r.reason, "not determined apart"), nullptr) << r.reason;
}

} // namespace
