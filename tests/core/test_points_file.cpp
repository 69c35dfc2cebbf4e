// SPDX-License-Identifier: GPL-3.0-or-later
// The points file: text written, round trips, the scanf-like reading rules, malformed and short files,
// and saves that fail without harming the old file.
#include <gtest/gtest.h>
#include <errno.h>
#include <float.h>
#include <math.h>
#include <signal.h>
#include <string.h>
#include <unistd.h>
#include <filesystem>

#include "app_state.h"
#include "points_file.h"
#include "test_support.h"

namespace {

const double SENTINEL = -777.25;

class PointsFile : public testing::Test {
protected:
    void SetUp() override
    {
        folder = makeTempFolder();
        ASSERT_FALSE(folder.empty());
        resetAppState();
        // A table already holding points shows what a load replaces and what it keeps.
        g_app.points.pointCount = 7;
        g_app.points.currentIndex = 5;
        for (int i = 0; i < 10; ++i) {
            g_app.points.x[i] = SENTINEL;
            g_app.points.y[i] = SENTINEL;
        }
    }
    void TearDown() override { removeFolder(folder); }

    std::string pathOf(const char* name) const { return folder + "/" + name; }

    PointsFileStatus loadText(const std::string& text, PointsFileReport* report = nullptr)
    {
        writeWholeFile(pathOf("in.dat"), text);
        return loadPointsFile(widen(pathOf("in.dat")).c_str(), &g_app.points, report);
    }

    PointsFileStatus saveTable(const std::string& path)
    {
        return savePointsFile(widen(path).c_str(), &g_app.points);
    }

    void setPoints(std::initializer_list<double> values)
    {
        int i = 0;
        for (auto it = values.begin(); it != values.end(); it += 2, ++i) {
            g_app.points.x[i] = it[0];
            g_app.points.y[i] = it[1];
        }
        g_app.points.pointCount = i;
    }

    std::string folder;
};

bool sameDouble(double a, double b)
{
    return memcmp(&a, &b, sizeof a) == 0 || (isnan(a) && isnan(b));
}

TEST_F(PointsFile, SavedTextOfSmallTables)
{
    setPoints({});
    ASSERT_EQ(saveTable(pathOf("empty.dat")), POINTS_FILE_OK);
    EXPECT_EQ(readWholeFile(pathOf("empty.dat")), "0\n");

    // 3.14159265 keeps its digits: six would read back as another number.
    setPoints({1, 2.5, 0.125, 3.14159265});
    ASSERT_EQ(saveTable(pathOf("two.dat")), POINTS_FILE_OK);
    EXPECT_EQ(readWholeFile(pathOf("two.dat")), "2\n1 2.5\n0.125 3.14159265\n");
}

TEST_F(PointsFile, AwkwardValuesRoundTripExactly)
{
    const double values[] = {1.0 / 3.0, 1e-300, -0.0, 1e21, 123456789, DBL_MAX, -DBL_MIN,
                             4.9406564584124654e-324, 0.1, INFINITY, -INFINITY, NAN, 6.02214076e23, -1e-7};
    const int count = (int)(sizeof(values) / sizeof(values[0]));
    for (int i = 0; i < count; ++i) {
        g_app.points.x[i] = values[i];
        g_app.points.y[i] = -values[count - 1 - i];
    }
    g_app.points.pointCount = count;
    ASSERT_EQ(saveTable(pathOf("awkward.dat")), POINTS_FILE_OK);
    resetAppState();
    ASSERT_EQ(loadPointsFile(widen(pathOf("awkward.dat")).c_str(), &g_app.points, nullptr), POINTS_FILE_OK);
    ASSERT_EQ(g_app.points.pointCount, count);
    for (int i = 0; i < count; ++i) {
        EXPECT_TRUE(sameDouble(g_app.points.x[i], values[i])) << i;
        EXPECT_TRUE(sameDouble(g_app.points.y[i], -values[count - 1 - i])) << i;
    }
}

// Enough points to cross the read and write buffers many times.
TEST_F(PointsFile, LargeTableRoundTrips)
{
    const int count = 200000;
    for (int i = 0; i < count; ++i) {
        g_app.points.x[i] = i * 0.001 - 3.7;
        g_app.points.y[i] = sin(i) * pow(10.0, i % 40 - 20);
    }
    g_app.points.pointCount = count;
    ASSERT_EQ(saveTable(pathOf("large.dat")), POINTS_FILE_OK);
    static PointTable loaded; // 16 MB: too large for the stack
    ASSERT_EQ(loadPointsFile(widen(pathOf("large.dat")).c_str(), &loaded, nullptr), POINTS_FILE_OK);
    ASSERT_EQ(loaded.pointCount, count);
    EXPECT_EQ(memcmp(loaded.x, g_app.points.x, count * sizeof(double)), 0);
    EXPECT_EQ(memcmp(loaded.y, g_app.points.y, count * sizeof(double)), 0);
}

struct ReadCase {
    const char* name;
    const char* text;
    PointsFileStatus status;
    int count;                        // pointCount afterwards
    std::vector<double> points;       // x, y of the points read
};

const ReadCase READ_CASES[] = {
    {"AllOnOneLine", "3 1 2 3 4 5 6", POINTS_FILE_OK, 3, {1, 2, 3, 4, 5, 6}},
    {"WindowsLineEnds", "2\r\n1.5 -2\r\n3e2 4\r\n", POINTS_FILE_OK, 2, {1.5, -2, 300, 4}},
    {"TabsAndBlankLines", "\n\t2\n\n1\t2\n\n  3 \t 4\n", POINTS_FILE_OK, 2, {1, 2, 3, 4}},
    {"TextAfterTheLastPoint", "2\n1 2\n3 4\nmeasured on Monday\n", POINTS_FILE_OK, 2, {1, 2, 3, 4}},
    {"CommentLineAtTheEnd", "2\n1 2\n3 4\n# from the bench log, 2 runs\n", POINTS_FILE_OK, 2, {1, 2, 3, 4}},
    {"NumberAfterTrailingText", "1\n1 2\nend 5\n", POINTS_FILE_OK, 1, {1, 2}},
    // Numbers left after the counted points are not loaded, but told.
    {"MorePointsThanTheCount", "1\n1 2\n3 4\n", POINTS_FILE_EXTRA_NUMBERS, 1, {1, 2}},
    {"OneExtraNumber", "2\n1 2\n3 4\n5\n", POINTS_FILE_EXTRA_NUMBERS, 2, {1, 2, 3, 4}},
    {"TwoColumnsWithoutTheCountLine", "1 2\n3 4\n5 6\n", POINTS_FILE_EXTRA_NUMBERS, 1, {2, 3}},
    {"ZeroCountWithNumbers", "0\n1 2\n", POINTS_FILE_EXTRA_NUMBERS, 0, {}},
    {"NumberRunningIntoTextAfterTheLast", "1\n1 2\n3abc\n", POINTS_FILE_EXTRA_NUMBERS, 1, {1, 2}},
    {"ZeroCount", "0\n", POINTS_FILE_OK, 0, {}},
    {"SignedCount", "+1 5 6", POINTS_FILE_OK, 1, {5, 6}},
    {"NoNewlineAtTheEnd", "1\n7 8", POINTS_FILE_OK, 1, {7, 8}},
    {"EveryFormOfLg", "5 +1.5 -2e3 0x1p4 -0X1.8p1 inf -INFINITY .5 5. 1e400 1e-400", POINTS_FILE_OK, 5,
     {1.5, -2000, 16, -3, INFINITY, -INFINITY, 0.5, 5, INFINITY, 0}},
    {"FewerPointsThanTheCount", "3\n1 2\n3 4\n", POINTS_FILE_SHORT, 2, {1, 2, 3, 4}},
    {"HalfAPoint", "2\n1 2\n3\n", POINTS_FILE_SHORT, 1, {1, 2}},
    // A token among the counted points that is not one whole number stops the reading there.
    {"TextInPlaceOfANumber", "3\n1 2\nabc 4\n5 6\n", POINTS_FILE_NOT_A_NUMBER, 1, {1, 2}},
    {"NumberRunningIntoText", "2\n1.5abc 2\n3 4\n", POINTS_FILE_NOT_A_NUMBER, 0, {}},
    {"NumberRunningIntoTextAsY", "2\n1 2\n3 4x\n5 6\n", POINTS_FILE_NOT_A_NUMBER, 1, {1, 2}},
    {"CommentAmongThePoints", "3\n1 2\n# second run\n3 4\n5 6\n", POINTS_FILE_NOT_A_NUMBER, 1, {1, 2}},
    {"DecimalComma", "2\n1,5 2\n3 4\n", POINTS_FILE_NOT_A_NUMBER, 0, {}},
    {"DoubleSign", "1\n+-1 2\n", POINTS_FILE_NOT_A_NUMBER, 0, {}},
    {"LoneSign", "1\n- 2\n", POINTS_FILE_NOT_A_NUMBER, 0, {}},
    {"NumberEndsTheFileAfterACount", "2", POINTS_FILE_SHORT, 0, {}},
};

class ReadingRules : public PointsFile, public testing::WithParamInterface<ReadCase> {};

TEST_P(ReadingRules, LoadTheCompletePoints)
{
    const ReadCase& c = GetParam();
    EXPECT_EQ(loadText(c.text), c.status);
    EXPECT_EQ(g_app.points.pointCount, c.count);
    EXPECT_EQ(g_app.points.currentIndex, 5); // left for the caller
    for (int i = 0; i < c.count; ++i) {
        EXPECT_TRUE(sameDouble(g_app.points.x[i], c.points[2 * i])) << "x" << i << " " << g_app.points.x[i];
        EXPECT_TRUE(sameDouble(g_app.points.y[i], c.points[2 * i + 1])) << "y" << i << " " << g_app.points.y[i];
    }
    EXPECT_EQ(g_app.points.x[c.count], SENTINEL); // the entry after the last point read keeps its value
    EXPECT_EQ(g_app.points.y[c.count], SENTINEL);
}

INSTANTIATE_TEST_SUITE_P(PointsFile, ReadingRules, testing::ValuesIn(READ_CASES),
                         [](const testing::TestParamInfo<ReadCase>& info) { return info.param.name; });

struct RefusedCase {
    const char* name;
    const char* text;
    PointsFileStatus status;
};

const RefusedCase REFUSED_CASES[] = {
    {"EmptyFile", "", POINTS_FILE_NO_COUNT},
    {"OnlyWhiteSpace", " \r\n\t\n", POINTS_FILE_NO_COUNT},
    {"TextFirst", "points: 3\n1 2\n", POINTS_FILE_NO_COUNT},
    {"SignWithoutDigits", "-\n1 2\n", POINTS_FILE_NO_COUNT},
    {"NegativeCount", "-1\n1 2\n", POINTS_FILE_NEGATIVE_COUNT},
    // A count that is not a whole number would shift every pair after it.
    {"FractionalCount", "4.5\n0 2\n1 5\n2 8\n3 11\n", POINTS_FILE_BAD_COUNT},
    {"CountWithExponent", "1e1\n1 2\n", POINTS_FILE_BAD_COUNT},
    {"CountRunningIntoText", "5abc\n1 2\n", POINTS_FILE_BAD_COUNT},
    {"TwoColumnsStartingWithAFraction", "0.5 2\n1.5 4\n", POINTS_FILE_BAD_COUNT},
    {"CountWithDecimalComma", "2,0\n1 2\n3 4\n", POINTS_FILE_BAD_COUNT},
    {"HugeNegativeCount", "-99999999999999999999999\n", POINTS_FILE_NEGATIVE_COUNT},
    {"CountAboveCapacity", "1000001\n1 2\n", POINTS_FILE_COUNT_TOO_LARGE},
    {"CountBeyondInt", "4294967298\n1 2\n", POINTS_FILE_COUNT_TOO_LARGE},
};

class RefusedFiles : public PointsFile, public testing::WithParamInterface<RefusedCase> {};

TEST_P(RefusedFiles, ChangeNothing)
{
    EXPECT_EQ(loadText(GetParam().text), GetParam().status);
    EXPECT_EQ(g_app.points.pointCount, 7);
    EXPECT_EQ(g_app.points.currentIndex, 5);
    EXPECT_EQ(g_app.points.x[0], SENTINEL);
    EXPECT_EQ(g_app.points.y[0], SENTINEL);
}

INSTANTIATE_TEST_SUITE_P(PointsFile, RefusedFiles, testing::ValuesIn(REFUSED_CASES),
                         [](const testing::TestParamInfo<RefusedCase>& info) { return info.param.name; });

// Generated files of numbers in every form "%lg" takes, white space of every kind and stray words,
// read both by the loader and by fscanf itself: the same points must come out.
TEST_F(PointsFile, ReadsWhatFscanfReads)
{
    const char* const pieces[] = {"0", "7", "-3", "+12", "1.5", "-.25", "6.", "1e3", "-2.5E-7", "+4e+02",
                                  "0x1.8p1", "-0X10", "inf", "-Infinity", "nan", "1e999", "123456789012345678901",
                                  "3.14159265358979323846", "qz", "--1", "+-2", ".", "-"};
    const char* const spaces[] = {" ", "\n", "\r\n", "\t", "  \n\n "};
    const int pieceCount = (int)(sizeof(pieces) / sizeof(pieces[0]));
    unsigned state = 12345;
    auto next = [&state](int range) {
        state = state * 1103515245u + 12345u;
        return (int)((state >> 8) % (unsigned)range);
    };
    for (int round = 0; round < 300; ++round) {
        std::string text = std::to_string(next(12)) + spaces[next(5)];
        int length = next(30);
        for (int i = 0; i < length; ++i) {
            // Mostly well-formed numbers, now and then one of the stray pieces at the end of the list.
            int piece = next(10) == 0 ? pieceCount - 1 - next(5) : next(pieceCount - 5);
            text += std::string(pieces[piece]) + spaces[next(5)];
        }
        resetAppState();
        EXPECT_TRUE(pointsFileLoaded(loadText(text))) << text;

        FILE* file = fopen(pathOf("in.dat").c_str(), "r");
        int count = 0, read = 0;
        ASSERT_EQ(fscanf(file, "%d", &count), 1);
        double x, y;
        while (read < count && fscanf(file, "%lg%lg", &x, &y) == 2) {
            EXPECT_TRUE(sameDouble(g_app.points.x[read], x)) << text << " x" << read;
            EXPECT_TRUE(sameDouble(g_app.points.y[read], y)) << text << " y" << read;
            ++read;
        }
        fclose(file);
        EXPECT_EQ(g_app.points.pointCount, read) << text;
    }
}

// A missing file cannot be opened; a folder opens but cannot be read.
TEST_F(PointsFile, UnreadableFilesChangeNothing)
{
    std::filesystem::create_directory(pathOf("folder.dat"));
    for (const char* name : {"absent.dat", "folder.dat"}) {
        EXPECT_EQ(loadPointsFile(widen(pathOf(name)).c_str(), &g_app.points, nullptr), POINTS_FILE_CANNOT_OPEN);
        EXPECT_EQ(g_app.points.pointCount, 7);
        EXPECT_EQ(g_app.points.x[0], SENTINEL);
    }
}

TEST_F(PointsFile, ShortFileReportsItsDeclaredCount)
{
    PointsFileReport report;
    EXPECT_EQ(loadText("5\n1 2\n3 4\n", &report), POINTS_FILE_SHORT);
    EXPECT_EQ(report.declaredCount, 5);
    EXPECT_EQ(g_app.points.pointCount, 2);
}

// The line and text of the token that stopped a read, wherever the blocks are cut, however long it is.
TEST_F(PointsFile, ReportsTheLineAndTextOfTheTokenThatStopped)
{
    const std::string longWord(70000, 'w');
    struct {
        std::string text;
        PointsFileStatus status;
        int line;
        std::string token;
    } cases[] = {
        {"4.5\n0 2\n", POINTS_FILE_BAD_COUNT, 1, "4.5"},
        {"\n\n  5abc 1 2\n", POINTS_FILE_BAD_COUNT, 3, "5abc"},
        {"3\n1 2\n\n3 4x\n5 6\n", POINTS_FILE_NOT_A_NUMBER, 4, "4x"},
        {"2\r\n1 2\r\n# run 2\r\n", POINTS_FILE_NOT_A_NUMBER, 3, "#"},
        {"1\n1 \x01\xff\n", POINTS_FILE_NOT_A_NUMBER, 2, "??"},
        {"1\n" + std::string(100000, '\n') + "1 " + longWord + "\n", POINTS_FILE_NOT_A_NUMBER, 100002,
         std::string(TOKEN_TEXT_CAPACITY - 4, 'w') + "..."},
        {"1\n1 2" + std::string(70000, '0') + "x\n", POINTS_FILE_NOT_A_NUMBER, 2,
         "2" + std::string(TOKEN_TEXT_CAPACITY - 5, '0') + "..."},
    };
    for (const auto& c : cases) {
        PointsFileReport report;
        EXPECT_EQ(loadText(c.text, &report), c.status) << c.token;
        EXPECT_EQ(report.line, c.line) << c.token;
        EXPECT_EQ(std::string(report.token), c.token);
    }
}

// Decimal-only reading (kelvora-fit) refuses what only strtod reads, naming its line; the program
// keeps reading it.
TEST_F(PointsFile, DecimalOnlyReadingRefusesWhatOnlyStrtodReads)
{
    const char* const refused[] = {"0x10", "-0X1p4", "nan", "-inf", "Infinity", "1e400", "-1e309", "nan(1)"};
    for (const char* number : refused) {
        std::string text = std::string("2\n1 2\n") + number + " 4\n";
        FILE* file = fmemopen(const_cast<char*>(text.data()), text.size(), "rb");
        NumberReader reader;
        startNumberReader(&reader, file);
        PointsFileReport report;
        EXPECT_EQ(readPoints(&reader, &g_app.points, &report, true), POINTS_FILE_NOT_DECIMAL) << number;
        fclose(file);
        EXPECT_EQ(report.line, 3) << number;
        EXPECT_STREQ(report.token, number);
        EXPECT_EQ(g_app.points.pointCount, 1) << number;
        EXPECT_EQ(loadText(text), POINTS_FILE_OK) << number;
    }
    // Decimals of every form, and values below the smallest double (they round to it or to 0).
    std::string text = "4\n+1.5 -2e3\n.5 5.\n1e-400 4.9e-324\n1E+2 -0\n";
    FILE* file = fmemopen(const_cast<char*>(text.data()), text.size(), "rb");
    NumberReader reader;
    startNumberReader(&reader, file);
    EXPECT_EQ(readPoints(&reader, &g_app.points, nullptr, true), POINTS_FILE_OK);
    fclose(file);
    EXPECT_EQ(g_app.points.y[2], 4.9406564584124654e-324);
}

// White space and numbers longer than the reader's buffer window.
TEST_F(PointsFile, LongRunsOfWhiteSpaceAndDigits)
{
    std::string text = "2" + std::string(300000, ' ') + "1\n\n" + std::string(100000, '\n') + "2 ";
    text += "0." + std::string(2000, '0') + "1e2000 4\n";
    EXPECT_EQ(loadText(text), POINTS_FILE_OK);
    EXPECT_EQ(g_app.points.x[0], 1.0);
    EXPECT_EQ(g_app.points.y[0], 2.0);
    EXPECT_DOUBLE_EQ(g_app.points.x[1], 0.1);
    EXPECT_EQ(g_app.points.y[1], 4.0);
}

PointsFileStatus readFromMemory(const std::string& text, PointTable* table)
{
    FILE* file = fmemopen(const_cast<char*>(text.data()), text.size(), "rb");
    PointsFileStatus status = readPointsStream(file, table, nullptr);
    fclose(file);
    return status;
}

TEST_F(PointsFile, CountsReadWithAnyNumberOfLeadingZeros)
{
    const std::string zeros(70000, '0');
    struct {
        std::string text;
        PointsFileStatus status;
        int count;
    } cases[] = {
        {zeros + "2\n1 2\n3 4\n", POINTS_FILE_OK, 2},
        {"+" + zeros + "1 5 6", POINTS_FILE_OK, 1},
        {zeros + "\n", POINTS_FILE_OK, 0},
        {"-" + zeros + "1\n1 2\n", POINTS_FILE_NEGATIVE_COUNT, 7},
        {zeros + "1000001\n", POINTS_FILE_COUNT_TOO_LARGE, 7},
    };
    for (const auto& c : cases) {
        g_app.points.pointCount = 7;
        EXPECT_EQ(readFromMemory(c.text, &g_app.points), c.status) << c.text.substr(69990);
        EXPECT_EQ(g_app.points.pointCount, c.count) << c.text.substr(69990);
    }
    EXPECT_EQ(g_app.points.x[0], 5);
}

// The decimal digits of 5^power: 5^1075 * 10^-1075 is 2^-1075, half the smallest subnormal double.
std::string powerOfFive(int power)
{
    std::string digits = "1"; // least significant first
    for (int p = 0; p < power; ++p) {
        int carry = 0;
        for (char& d : digits) {
            int v = (d - '0') * 5 + carry;
            d = (char)('0' + v % 10);
            carry = v / 10;
        }
        if (carry > 0) digits += (char)('0' + carry);
    }
    return std::string(digits.rbegin(), digits.rend());
}

struct LongNumber {
    const char* name;
    std::string text;
    double value;
};

std::vector<LongNumber> longNumbers()
{
    const std::string half = powerOfFive(1075);
    const std::string zeros(4300, '0');
    const std::string beyondBuffer(70000, '0');
    return {
        {"ThirdTo5000Digits", "0." + std::string(4998, '3'), 1.0 / 3.0},
        {"LeadingZeros", std::string(4990, '0') + "12345.5", 12345.5},
        {"ZerosAfterThePoint", "1" + std::string(300, '0') + "." + std::string(4700, '0'), 1e300},
        {"ZerosBeforeTheFirstDigitAfterThePoint", "0." + std::string(4990, '0') + "25e4992", 25},
        {"HalfTheSmallestSubnormal", half + zeros + "e-" + std::to_string(1075 + 4300), 0.0},
        {"JustAboveThatHalf", half + zeros + "1e-" + std::to_string(1075 + 4301), 4.9406564584124654e-324},
        {"LongExponent", "1.5e+" + std::string(5000, '0') + "3", 1500},
        {"LongNegativeExponent", "25E-" + std::string(5000, '0') + "2", 0.25},
        {"HexadecimalLeadingZeros", "0x" + std::string(5000, '0') + "1.8p0", 1.5},
        {"HexadecimalHugeMantissa", "-0x1" + std::string(5000, '0') + "P-20003", -0.125},
        {"HexadecimalJustAboveHalfAnUlp", "0x1.00000000000008" + std::string(5000, '0') + "1p0",
         1.0 + DBL_EPSILON},
        {"NanWithLongChars", "nan(" + std::string(5000, 'q') + ")", NAN},
        {"LongerThanTheBuffer", "-0." + std::string(70000, '3') + "e1", -10.0 / 3.0},
        {"HalfBeyondTheBuffer", half + beyondBuffer + "1e-" + std::to_string(1075 + 70001),
         4.9406564584124654e-324},
    };
}

// A number reads the same wherever it stands: at the start, and at every place where the read
// buffer may end inside it or just after it.
TEST_F(PointsFile, LongNumbersReadTheSameWhereverTheyStand)
{
    static PointTable table;
    for (const LongNumber& number : longNumbers()) {
        const int length = (int)number.text.size();
        std::vector<int> places = {2, 1000, 61000};
        for (int k = -4; k < 12; ++k) places.push_back(65536 - length + k);
        for (int k = 0; k < 30; ++k) places.push_back(60400 + 53 * k);
        for (int place : places) {
            if (place < 2) continue;
            std::string text(place, '\n'); // the count 1, then line ends up to the place
            text[0] = '1';
            text += number.text + " 7\n";
            table.pointCount = 0;
            ASSERT_EQ(readFromMemory(text, &table), POINTS_FILE_OK) << number.name << " at " << place;
            EXPECT_EQ(table.pointCount, 1);
            EXPECT_TRUE(sameDouble(table.x[0], number.value))
                << number.name << " at " << place << ": " << table.x[0];
            EXPECT_EQ(table.y[0], 7.0) << number.name << " at " << place;
        }
    }
}

// Generated long numbers, decimal and hexadecimal, cut by the read buffer: each must read as strtod
// reads the whole text.
TEST_F(PointsFile, LongNumbersCutByTheBufferReadAsStrtod)
{
    static PointTable table;
    unsigned state = 2026;
    auto next = [&state](int range) {
        state = state * 1103515245u + 12345u;
        return (int)((state >> 8) % (unsigned)range);
    };
    for (int round = 0; round < 150; ++round) {
        bool hex = next(4) == 0;
        const char* digitSet = hex ? "0123456789abcdefABCDEF" : "0123456789";
        int digitKinds = hex ? 22 : 10;
        std::string number = next(2) ? "-" : "";
        if (hex) number += "0x";
        int digits = 4200 + next(2000);
        int point = next(3) == 0 ? -1 : next(digits);
        int zerosFirst = next(digits); // long runs of zeros, then and now a digit that decides the rounding
        for (int i = 0; i < digits; ++i) {
            if (i == point) number += '.';
            number += i < zerosFirst && next(400) != 0 ? '0' : digitSet[next(digitKinds)];
        }
        if (next(2)) {
            number += hex ? "p" : "e";
            number += next(2) ? "-" : "+";
            number += std::string(next(3000), '0') + std::to_string(next(hex ? 30000 : 7000));
        }
        double expected = strtod(number.c_str(), nullptr);
        std::string text = "1" + std::string(61000 - 1, ' ') + number + " 7\n";
        ASSERT_EQ(readFromMemory(text, &table), POINTS_FILE_OK) << round;
        EXPECT_TRUE(sameDouble(table.x[0], expected)) << round << ": " << table.x[0] << " " << expected;
    }
}

// "nan(" without its ")" is no number: the token runs on past "nan".
TEST_F(PointsFile, UnclosedNanStopsTheReadingWhereverItStands)
{
    for (int place : {2, 61000, 65000}) {
        for (const std::string& chars : {std::string("abc"), std::string(5000, 'b')}) {
            std::string text(place, ' '); // the count 2, then spaces up to the place
            text[0] = '2';
            text += "1 nan(" + chars + " 7 8\n";
            g_app.points.pointCount = 7;
            EXPECT_EQ(readFromMemory(text, &g_app.points), POINTS_FILE_NOT_A_NUMBER) << place;
            EXPECT_EQ(g_app.points.pointCount, 0) << place;
        }
    }
}

TEST_F(PointsFile, SaveReplacesTheOldFileAndLeavesNoTemporaryFile)
{
    writeWholeFile(pathOf("data.dat"), "3\n1 1\n2 2\n3 3\nold text that is longer than the new\n");
    setPoints({0.5, 1e-9});
    ASSERT_EQ(saveTable(pathOf("data.dat")), POINTS_FILE_OK);
    EXPECT_EQ(readWholeFile(pathOf("data.dat")), "1\n0.5 1e-09\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), std::filesystem::directory_iterator()), 1);
}

TEST_F(PointsFile, FailedSavesKeepTheOldFileAndReportTheError)
{
    const std::string old = "1\n4 5\n";
    writeWholeFile(pathOf("keep.dat"), old);
    setPoints({1, 2, 3, 4});
    // The target is a folder: the finished temporary file cannot replace it and is removed.
    std::filesystem::create_directory(pathOf("folder.dat"));
    EXPECT_EQ(saveTable(pathOf("folder.dat")), POINTS_FILE_REPLACE_FAILED);
    EXPECT_TRUE(std::filesystem::is_directory(pathOf("folder.dat")));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), std::filesystem::directory_iterator()), 2);
    EXPECT_EQ(readWholeFile(pathOf("keep.dat")), old);

    EXPECT_EQ(saveTable(pathOf("no-such-folder/x.dat")), POINTS_FILE_CANNOT_CREATE);
    EXPECT_EQ(savePointsFile(L"", &g_app.points), POINTS_FILE_CANNOT_CREATE);
    EXPECT_EQ(savePointsFile(nullptr, &g_app.points), POINTS_FILE_CANNOT_CREATE);
    std::wstring tooLong(PATH_CAPACITY, L'a');
    EXPECT_EQ(savePointsFile(tooLong.c_str(), &g_app.points), POINTS_FILE_NAME_TOO_LONG);
}

TEST_F(PointsFile, WriteErrorIsReported)
{
    // A pipe whose reader is gone refuses every write, as a full disk does, without a device node.
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    close(ends[0]);
    void (*previous)(int) = signal(SIGPIPE, SIG_IGN);
    FILE* closed = fdopen(ends[1], "w");
    ASSERT_NE(closed, nullptr);
    setPoints({1, 2});
    EXPECT_EQ(writePointsStream(closed, &g_app.points), POINTS_FILE_WRITE_FAILED);
    fclose(closed);
    signal(SIGPIPE, previous);
}

TEST_F(PointsFile, WideNamesAreUtf8OnDisk)
{
    setPoints({1, 2});
    std::wstring name = widen(folder) + L"/Me\u00dfwerte \u6e29\u5ea6.dat";
    ASSERT_EQ(savePointsFile(name.c_str(), &g_app.points), POINTS_FILE_OK);
    EXPECT_EQ(readWholeFile(folder + "/Me\xc3\x9fwerte \xe6\xb8\xa9\xe5\xba\xa6.dat"), "1\n1 2\n");
}

TEST(WideOpen, RefusesTextThatCannotNameAFile)
{
    const wchar_t loneSurrogate[] = {L'a', (wchar_t)0xD800, L'b', 0};
    const wchar_t beyondUnicode[] = {L'a', (wchar_t)0x110000, 0};
    struct { const wchar_t* path; const wchar_t* mode; int error; } cases[] = {
        {nullptr, L"r", EINVAL}, {L"/tmp/x", nullptr, EINVAL}, {L"/tmp/x", L"", EINVAL},
        {loneSurrogate, L"r", EILSEQ}, {beyondUnicode, L"r", EILSEQ},
    };
    for (const auto& c : cases) {
        errno = 0;
        EXPECT_EQ(_wfopen(c.path, c.mode), nullptr);
        EXPECT_EQ(errno, c.error);
    }
    EXPECT_FALSE(MoveFileExW(nullptr, L"/tmp/x", MOVEFILE_REPLACE_EXISTING));
    EXPECT_FALSE(DeleteFileW(loneSurrogate));
}

} // namespace
