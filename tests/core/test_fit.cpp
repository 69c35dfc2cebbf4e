// SPDX-License-Identifier: GPL-3.0-or-later
// The linearised fit: worked cases, exact data for every model, certified reference data, data far from
// the origin, agreement with the raw-sum formula, and the special cases of degenerate input.
#include <gtest/gtest.h>
#include <math.h>
#include <vector>

#include "app_state.h"
#include "fit.h"
#include "models.h"
#include "points_file.h"
#include "test_support.h"

namespace {

FitResult fitOf(const std::vector<double>& x, const std::vector<double>& y, int modelId, double exponentN = 2.0)
{
    return fitPoints(x.data(), y.data(), (int)x.size(), modelId, exponentN);
}

// Agreement in significant digits, as the certified-data literature counts it.
double agreeingDigits(double value, double reference)
{
    if (value == reference) return 17.0;
    return -log10(fabs(value - reference) / fabs(reference));
}

struct WorkedCase {
    const char* name;
    int modelId;
    double exponentN;
    std::vector<double> x, y;
    double a, b, residualSum, s;
};

const WorkedCase WORKED_CASES[] = {
    {"LineThroughThreePoints", 0, 2, {1, 2, 3}, {3, 5, 7}, 1, 2, 0, 0},
    {"PowersOfTwo", 4, 2, {1, 2, 3}, {2, 4, 8}, 1, 2, 0, 0},
    {"ReciprocalShift", 11, 2, {1, 2}, {1, 1.0 / 3.0}, 0.5, -0.5, 0, 0},
    {"SquareWithOffset", 15, 2, {1, 2, 3}, {3, 9, 19}, 1, 2, 0, 0},
    {"NoInt1ExactLine", 0, 2, {60, 61, 62, 63, 64, 65, 66, 67, 68, 69, 70},
     {130, 131, 132, 133, 134, 135, 136, 137, 138, 139, 140}, 70, 1, 0, 0},
    {"NoInt2ThreePoints", 0, 2, {4, 5, 6}, {3, 4, 4}, 7.0 / 6.0, 0.5, 1.0 / 6.0, sqrt(1.0 / 12.0)},
};

class WorkedCases : public testing::TestWithParam<WorkedCase> {};

TEST_P(WorkedCases, GiveTheKnownParametersAndResiduals)
{
    const WorkedCase& c = GetParam();
    FitResult fit = fitOf(c.x, c.y, c.modelId, c.exponentN);
    EXPECT_NEAR(fit.a, c.a, 1e-12 * fabs(c.a));
    EXPECT_NEAR(fit.b, c.b, 1e-12 * fabs(c.b));
    EXPECT_NEAR(fit.residualSum, c.residualSum, 1e-24 + 1e-12 * c.residualSum);
    EXPECT_NEAR(fit.s, c.s, 1e-12 + 1e-12 * c.s);
}

INSTANTIATE_TEST_SUITE_P(Fit, WorkedCases, testing::ValuesIn(WORKED_CASES),
                         [](const testing::TestParamInfo<WorkedCase>& info) { return info.param.name; });

TEST(Fit, NoPointsGivesZeros)
{
    FitResult fit = fitPoints(nullptr, nullptr, 0, 0, 2.0);
    EXPECT_EQ(fit.a, 0.0);
    EXPECT_EQ(fit.b, 0.0);
    EXPECT_EQ(fit.residualSum, 0.0);
    EXPECT_EQ(fit.s, 0.0);
}

// One point, or all t equal, leave the slope 0/0: NaN parameters, as the plain formula gives them.
TEST(Fit, UndeterminedSlopeGivesNaN)
{
    struct { const char* name; int modelId; std::vector<double> x, y; } cases[] = {
        {"one point", 0, {2}, {5}},
        {"one point, exponential", 5, {2}, {5}},
        {"equal x", 0, {0.1, 0.1, 0.1}, {1, 2, 4}},
        {"equal large x", 0, {1e9 + 0.1, 1e9 + 0.1}, {1, 2}},
        {"equal 1/x", 12, {3, 3, 3, 3}, {1, 2, 3, 4}},
    };
    for (const auto& c : cases) {
        FitResult fit = fitOf(c.x, c.y, c.modelId);
        EXPECT_TRUE(isnan(fit.a)) << c.name;
        EXPECT_TRUE(isnan(fit.b)) << c.name;
        EXPECT_TRUE(isnan(fit.residualSum)) << c.name;
        if (c.x.size() == 1) {
            EXPECT_EQ(fit.s, 0.0) << c.name;
        } else {
            EXPECT_TRUE(isnan(fit.s)) << c.name;
        }
    }
}

TEST(Fit, ZeroYUnderAReciprocalModelGivesNonFiniteParameters)
{
    for (int modelId : {1, 3, 7, 11, 12}) {
        FitResult fit = fitOf({1, 2, 3}, {0.5, 0.0, 0.25}, modelId);
        EXPECT_FALSE(isfinite(fit.a) && isfinite(fit.b)) << "model " << modelId;
    }
}

TEST(Fit, TwoPointsDivideTheResidualSumByOne)
{
    FitResult fit = fitOf({1, 2}, {2.7, 7.4}, 8);
    EXPECT_EQ(fit.s, sqrt(fit.residualSum));
}

// Exact data of every model, generated from chosen parameters by formulas written out here.
struct ExactCase {
    int modelId;
    double a, b, exponentN;
    double (*model)(double x, double a, double b, double n);
};

const ExactCase EXACT_CASES[] = {
    {0, 1.5, -0.75, 2, [](double x, double a, double b, double) { return a + b * x; }},
    {1, 0.5, 0.25, 2, [](double x, double a, double b, double) { return 1 / (a + b * x); }},
    {2, 3.0, 2.0, 2, [](double x, double a, double b, double) { return a + b / x; }},
    {3, 0.4, 1.3, 2, [](double x, double a, double b, double) { return x / (a + b * x); }},
    {4, 2.5, 1.2, 2, [](double x, double a, double b, double) { return a * pow(b, x); }},
    {5, 0.8, -0.6, 2, [](double x, double a, double b, double) { return a * exp(b * x); }},
    {6, 4.0, 0.15, 2, [](double x, double a, double b, double) { return a * pow(10, b * x); }},
    {7, 0.2, 3.0, 2, [](double x, double a, double b, double) { return 1 / (a + b * exp(-x)); }},
    {8, 1.7, 2.4, 2, [](double x, double a, double b, double) { return a * pow(x, b); }},
    {9, -2.0, 5.0, 2, [](double x, double a, double b, double) { return a + b * log10(x); }},
    {10, 3.0, -1.5, 2, [](double x, double a, double b, double) { return a + b * log(x); }},
    {11, 6.0, 0.5, 2, [](double x, double a, double b, double) { return a / (b + x); }},
    {12, 9.5, 2.2, 2, [](double x, double a, double b, double) { return a * x / (b + x); }},
    {13, 2.0, 0.7, 2, [](double x, double a, double b, double) { return a * exp(b / x); }},
    {14, 1.1, -0.3, 2, [](double x, double a, double b, double) { return a * pow(10, b / x); }},
    {15, -1.0, 0.5, 1.5, [](double x, double a, double b, double n) { return a + b * pow(x, n); }},
};

class ExactData : public testing::TestWithParam<ExactCase> {};

TEST_P(ExactData, ParametersComeBack)
{
    const ExactCase& c = GetParam();
    std::vector<double> x, y;
    for (int i = 1; i <= 12; ++i) {
        x.push_back(0.5 * i);
        y.push_back(c.model(0.5 * i, c.a, c.b, c.exponentN));
    }
    FitResult fit = fitOf(x, y, c.modelId, c.exponentN);
    EXPECT_NEAR(fit.a, c.a, 1e-9 * fabs(c.a));
    EXPECT_NEAR(fit.b, c.b, 1e-9 * fabs(c.b));
    EXPECT_LT(fit.s, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(EveryModel, ExactData, testing::ValuesIn(EXACT_CASES),
                         [](const testing::TestParamInfo<ExactCase>& info) {
                             return "Model" + std::to_string(info.param.modelId);
                         });

TEST(Fit, NorrisCertifiedValues)
{
    resetAppState();
    ASSERT_EQ(loadPointsFile(widen(referenceDataPath("norris.dat")).c_str(), &g_app.points, nullptr),
              POINTS_FILE_OK);
    ASSERT_EQ(g_app.points.pointCount, 36);
    fitModel();
    EXPECT_GE(agreeingDigits(g_app.fit.a, -0.262323073774029), 12);
    EXPECT_GE(agreeingDigits(g_app.fit.b, 1.00211681802045), 12);
    EXPECT_GE(agreeingDigits(g_app.fit.residualSum, 26.6173985294224), 10);
    EXPECT_GE(agreeingDigits(g_app.fit.s, 0.872064848988101), 10);
}

// Time stamps and serial numbers: raw sums of x*x near 1e18 keep no digit of the spread.
TEST(Fit, DataFarFromTheOriginKeepsSlopeAndIntercept)
{
    struct { double a, b, offset; } cases[] = {{5, 2, 1e9}, {1e9 + 3, -1, 1e9}, {-7, 0.5, 3e12}};
    for (const auto& c : cases) {
        std::vector<double> x, y;
        for (int i = 0; i < 1000; ++i) {
            x.push_back(c.offset + i);
            y.push_back(c.a + c.b * (c.offset + i));
        }
        FitResult fit = fitOf(x, y, 0);
        EXPECT_NEAR(fit.a, c.a, 1e-9 * fabs(c.a)) << "offset " << c.offset;
        EXPECT_NEAR(fit.b, c.b, 1e-9 * fabs(c.b)) << "offset " << c.offset;
        EXPECT_LT(fit.s, 1e-6 * fabs(c.b)) << "offset " << c.offset;
    }
}

TEST(Fit, FitModelUsesTheStateAndWritesOnlyTheResult)
{
    resetAppState();
    const double x[] = {1, 2, 3}, y[] = {3, 9, 19};
    for (int i = 0; i < 3; ++i) {
        g_app.points.x[i] = x[i];
        g_app.points.y[i] = y[i];
    }
    g_app.points.x[3] = 99; // beyond the count: ignored
    g_app.points.pointCount = 3;
    g_app.points.currentIndex = 2;
    g_app.modelId = MODEL_POWER_N;
    g_app.exponentN = 2.0;
    fitModel();
    EXPECT_NEAR(g_app.fit.a, 1.0, 1e-12);
    EXPECT_NEAR(g_app.fit.b, 2.0, 1e-12);
    EXPECT_EQ(g_app.points.pointCount, 3);
    EXPECT_EQ(g_app.points.currentIndex, 2);
    EXPECT_EQ(g_app.points.x[3], 99.0);
    EXPECT_EQ(g_app.modelId, MODEL_POWER_N);
    EXPECT_EQ(g_app.exponentN, 2.0);
}

} // namespace
