// SPDX-License-Identifier: GPL-3.0-or-later
// Model catalogue texts, evaluation of the selected model, and the state record's initial values.
#include <gtest/gtest.h>
#include <math.h>
#include <float.h>
#include <wchar.h>

#include <algorithm>
#include <iterator>

#include "app_state.h"
#include "fit.h"
#include "models.h"

namespace {

struct EvaluationCase {
    const char* name;
    int modelId;
    double a, b, exponentN, x;
    double expected;
};

const EvaluationCase EVALUATION_CASES[] = {
    {"LineAtThree", 0, 1, 2, 2, 3, 7},
    {"SaturationAtOne", 12, 2, 1, 2, 1, 1},
    {"PowerSquare", 15, 0, 1, 2, 3, 9},
    {"PowerCube", 15, 0, 1, 3, 3, 27},
    {"ReciprocalExponential", 7, 1, 1, 2, 0, 0.5},
    {"CommonLogarithm", 9, 1, 2, 2, 100, 5},
    {"NaturalLogarithm", 10, 1, 2, 2, M_E, 3},
    {"BaseToTheX", 4, 3, 2, 2, 10, 3072},
    {"TenToTheBOverX", 14, 2, 2, 2, 1, 200},
};

class Evaluation : public testing::TestWithParam<EvaluationCase> {};

TEST_P(Evaluation, GivesTheFormulaValueWithTheStoredParameters)
{
    const EvaluationCase& c = GetParam();
    resetAppState();
    g_app.modelId = c.modelId;
    g_app.fit.a = c.a;
    g_app.fit.b = c.b;
    g_app.exponentN = c.exponentN;
    EXPECT_NEAR(evaluateModel(c.x), c.expected, 1e-12 * fabs(c.expected));
}

INSTANTIATE_TEST_SUITE_P(Models, Evaluation, testing::ValuesIn(EVALUATION_CASES),
                         [](const testing::TestParamInfo<EvaluationCase>& info) { return info.param.name; });

TEST(Evaluation, PowerModelFollowsTheExponentWithoutANewFit)
{
    resetAppState();
    g_app.modelId = MODEL_POWER_N;
    g_app.fit.b = 1.0;
    EXPECT_EQ(evaluateModel(3.0), 9.0);
    g_app.exponentN = 3.0;
    EXPECT_EQ(evaluateModel(3.0), 27.0);
}

// Division by zero at x = 0 is no error: the IEEE value flows on into the plot.
TEST(Evaluation, PoleAtZeroGivesIeeeValues)
{
    struct { int modelId; double b; bool finite; double value; } cases[] = {
        {2, 1.0, false, 0}, {13, 1.0, false, 0}, {14, 0.5, false, 0}, {13, 0.0, false, 0},
        {13, -1.0, true, 0.0}, {14, -2.0, true, 0.0},
    };
    for (const auto& c : cases) {
        double y = evaluateModelWith(c.modelId, 2.0, c.b, 2.0, 0.0);
        EXPECT_EQ((bool)isfinite(y), c.finite) << "model " << c.modelId << " B=" << c.b;
        if (c.finite) {
            EXPECT_EQ(y, c.value);
        }
    }
}

TEST(Catalogue, TextsOfModelsAxesAndInvalidIds)
{
    EXPECT_STREQ(modelText(0), L"Y=A+B*X");
    EXPECT_STREQ(modelText(7), L"Y=1/(A+B*EXP(-X))");
    EXPECT_STREQ(modelText(MODEL_POWER_N), L"Y=A+B*X^N");
    EXPECT_STREQ(modelText(AXIS_Y_INDEX), L"Axis Y");
    EXPECT_STREQ(AXIS_X_TEXT, L"Axis X");
    for (int id : {-1, AXIS_Y_INDEX + 1, -2147483647 - 1, 2147483647}) EXPECT_STREQ(modelText(id), L"") << id;
    for (int id = 0; id < MODEL_COUNT; ++id) {
        EXPECT_EQ(wcsncmp(modelText(id), L"Y=", 2), 0) << id;
        for (int other = 0; other < id; ++other) EXPECT_STRNE(modelText(id), modelText(other));
    }
    EXPECT_TRUE(isnan(evaluateModelWith(MODEL_COUNT, 1, 1, 1, 1)));
}

TEST(AppState, StartsAndResetsToTheInitialValues)
{
    resetAppState();
    g_app.points.pointCount = 4;
    g_app.points.x[3] = 8;
    g_app.modelId = 5;
    resetAppState();
    EXPECT_EQ(g_app.points.pointCount, 0);
    EXPECT_EQ(g_app.points.x[3], 0.0);
    EXPECT_EQ(g_app.modelId, 0);
    EXPECT_EQ(g_app.exponentN, 2.0);
    EXPECT_STREQ(g_app.countText, L"0");
    EXPECT_STREQ(g_app.exponentText, L"0");
    EXPECT_STREQ(g_app.fileName, L"Kelvora1");
    EXPECT_STREQ(g_app.initialDir, L"");
}

TEST(AppState, ClearPointsEmptiesTheTableAndAFitThenGivesZeros)
{
    resetAppState();
    g_app.points.pointCount = 3;
    g_app.points.currentIndex = 2;
    for (int i = 0; i < 3; ++i) {
        g_app.points.x[i] = i + 1;
        g_app.points.y[i] = 2 * i + 3;
    }
    g_app.modelId = 4;
    clearPoints();
    EXPECT_EQ(g_app.points.pointCount, 0);
    EXPECT_EQ(g_app.points.currentIndex, 0);
    EXPECT_EQ(g_app.points.x[2], 0.0);
    fitModel();
    EXPECT_EQ(g_app.fit.a, 0.0);
    EXPECT_EQ(g_app.fit.b, 0.0);
    EXPECT_EQ(g_app.fit.residualSum, 0.0);
    EXPECT_EQ(g_app.fit.s, 0.0);
}

// Every row of the table is whole: a model added with a missing part fails here, not in a fit.
TEST(ModelTable, EveryRowIsComplete)
{
    for (int id = 0; id < MODEL_COUNT; ++id) {
        const ModelRow* row = modelRow(id);
        ASSERT_NE(row, nullptr) << id;
        EXPECT_TRUE(row->formula && row->evaluate && row->linearise && row->fromLine && row->fromLineJacobian &&
                    row->gradient && row->valuesAndGradients) << id;
    }
    EXPECT_EQ(modelRow(-1), nullptr);
    EXPECT_EQ(modelRow(MODEL_COUNT), nullptr);
    EXPECT_TRUE(modelUsesExponent(MODEL_POWER_N));
    EXPECT_FALSE(modelUsesExponent(0));
    EXPECT_FALSE(modelUsesExponent(MODEL_COUNT));
}

// The values and derivatives of many points at once are those of one point at a time, for every model
// and outside the table, on points that reach each branch: X = 0, X < 0, values that underflow or
// overflow, a pole, NaN. An exp of many numbers at once may differ from exp in the last bit; all else
// is the same to the bit.
static bool alike(double u, double v)
{
    if (isnan(u) || isnan(v)) return isnan(u) && isnan(v);
    return u == v || fabs(u - v) <= 4.0 * DBL_EPSILON * fabs(v) + 4.0 * DBL_TRUE_MIN;
}

TEST(ModelTable, ValuesAndGradientsOfManyPointsAreThoseOfEach)
{
    const double x[] = {0.0, -0.0, 1.0, -2.5, 0.5, 3.0, 1e-300, -1e-300, 1e300, 700.0, -745.5, NAN, INFINITY};
    const int count = (int)std::size(x);
    const double parameters[][2] = {{2.0, -0.5}, {-3.0, 1.5}, {1e-300, 2.0}, {1.0, 0.0}, {0.0, -1.0}, {3.0, -3.0}};
    for (int id = -1; id <= MODEL_COUNT; ++id) {
        for (const auto& p : parameters) {
            double y[count], dA[count], dB[count];
            modelValuesAndGradients(id, p[0], p[1], 2.5, x, count, y, dA, dB);
            for (int i = 0; i < count; ++i) {
                double oneDA, oneDB;
                modelGradient(id, p[0], p[1], 2.5, x[i], &oneDA, &oneDB);
                EXPECT_TRUE(alike(y[i], evaluateModelWith(id, p[0], p[1], 2.5, x[i])))
                    << id << " a=" << p[0] << " b=" << p[1] << " x=" << x[i];
                EXPECT_TRUE(alike(dA[i], oneDA) && alike(dB[i], oneDB))
                    << id << " a=" << p[0] << " b=" << p[1] << " x=" << x[i];
            }
        }
    }
}

// The derivative of the way back from the line against central differences of that way back.
TEST(ModelTable, BackTransformJacobiansMatchDifferences)
{
    const double lines[][2] = {{0.7, -0.3}, {-1.2, 2.5}};
    for (int id = 0; id < MODEL_COUNT; ++id) {
        for (const auto& line : lines) {
            double j[2][2];
            backTransformJacobian(id, line[0], line[1], j);
            const double h = 1e-6;
            for (int column = 0; column < 2; ++column) {
                double up[2] = {line[0], line[1]}, down[2] = {line[0], line[1]};
                up[column] += h;
                down[column] -= h;
                double aUp, bUp, aDown, bDown;
                backTransformLine(id, up[0], up[1], &aUp, &bUp);
                backTransformLine(id, down[0], down[1], &aDown, &bDown);
                double dA = (aUp - aDown) / (2 * h), dB = (bUp - bDown) / (2 * h);
                EXPECT_NEAR(j[0][column], dA, 1e-6 * (1 + fabs(dA))) << "model " << id << " column " << column;
                EXPECT_NEAR(j[1][column], dB, 1e-6 * (1 + fabs(dB))) << "model " << id << " column " << column;
            }
        }
    }
}

// The line's domain refuses exactly the points whose transform has no finite value (for ordinary X and
// Y): a flag missing lets a logarithm of 0 into the fit, a flag too many drops good points.
TEST(ModelTable, LineDomainsAgreeWithTheTransforms)
{
    const double values[] = {-2.5, -1.0, 0.0, 0.5, 1.0, 3.0};
    for (int id = 0; id < MODEL_COUNT; ++id) {
        if (modelUsesExponent(id)) continue; // X^N: its domain depends on N, the finite test decides
        for (double x : values) {
            for (double y : values) {
                double t, z;
                lineariseModel(id, 2.0, x, y, &t, &z);
                EXPECT_EQ(lineTakesPoint(id, 2.0, x, y), isfinite(t) && isfinite(z))
                    << "model " << id << " at (" << x << ", " << y << ")";
            }
        }
        EXPECT_FALSE(lineTakesPoint(id, 2.0, NAN, 1.0)) << id;
    }
}

// A pole is where the model's value grows without bound: just beside it the value is huge, with
// opposite signs on the two sides. Models without one have none.
TEST(ModelTable, PolesAreWhereTheValueBlowsUp)
{
    const int withPole[] = {1, 3, 7, 11, 12};
    const double a = -2.0, b = 0.8;
    for (int id = 0; id < MODEL_COUNT; ++id) {
        const ModelRow* row = modelRow(id);
        bool expected = std::find(std::begin(withPole), std::end(withPole), id) != std::end(withPole);
        ASSERT_EQ(row->pole != nullptr, expected) << id;
        if (!expected) continue;
        double pole = NAN;
        ASSERT_TRUE(row->pole(a, b, &pole)) << id;
        double left = row->evaluate(a, b, 2.0, pole - 1e-9), right = row->evaluate(a, b, 2.0, pole + 1e-9);
        EXPECT_GT(fabs(left), 1e6) << id;
        EXPECT_GT(fabs(right), 1e6) << id;
        EXPECT_LT(left * right, 0.0) << id;
    }
    double pole;
    EXPECT_FALSE(modelRow(1)->pole(2.0, 0.0, &pole)); // Y = 1/2: a constant
    EXPECT_FALSE(modelRow(7)->pole(2.0, 1.0, &pole)); // exp(-X) = -2 nowhere
}

} // namespace
