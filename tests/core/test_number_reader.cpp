// SPDX-License-Identifier: GPL-3.0-or-later
// The number reader's one-pass conversion of plain decimals, against the C library's strtod: the
// edges of the exact paths (19 digits, 2^53, 10^22, the normal range) and 100,000 generated decimals
// read as points, as a table's fields and as "%lg" after the last point.
#include <gtest/gtest.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <string>

#include "app_state.h"
#include "points_file.h"

namespace {

bool sameDouble(double a, double b)
{
    return memcmp(&a, &b, sizeof a) == 0;
}

PointsFileStatus readText(const std::string& text, PointTable* table, bool decimalOnly)
{
    FILE* file = fmemopen(const_cast<char*>(text.data()), text.size(), "rb");
    NumberReader reader;
    startNumberReader(&reader, file);
    PointsFileReport report;
    PointsFileStatus status = readPoints(&reader, table, &report, decimalOnly);
    fclose(file);
    return status;
}

// Tokens at the edges of the one-pass conversion; each reads as strtod reads it, or is refused as
// before when it is no finite decimal.
TEST(NumberReader, EdgesOfThePlainDecimalsReadAsStrtod)
{
    static PointTable table;
    const char* tokens[] = {
        "0", "-0", "0.0", "-0.000", ".5", "-.5", "5.", "007", "1e0", "1E5", "1e+5", "1e-5", "2.5e-3",
        "9007199254740992",     // 2^53: still the exact path
        "9007199254740993",     // 2^53 + 1: a tie, to even
        "9007199254740995",     // a tie, to even upwards
        "1234567890123456789",  // 19 digits
        "12345678901234567890", // 20 digits: the full parse
        "0.1234567890123456789", "1e22", "1e23", "123456789e-22", "1.7976931348623157e308",
        "2.2250738585072014e-308", "2.2250738585072011e-308", "4.9e-324", "1e-400", "0e999",
        "1.00000000000000011102230246251565404236316680908203125", "8.988465674311579e307",
        "3.0000000000000004", "12345678.12345678", "-98765.4321e-12",
        // Zeros before the first significant digit count for no digit of the mantissa.
        "-0.00046821264731988776", "0.00000000000000000000000012345678901234567891", "000000000000000000001.5",
        "0.0000000000000000000000000000000000000000000000000000000000000000000000000000000000001e-250",
        "00.", "0.0000000000000000000001234567890123456789012",
    };
    for (const char* token : tokens) {
        double expected = strtod(token, nullptr);
        std::string text = "1\n";
        text.append(token).append(" ").append(token).append("\n");
        ASSERT_EQ(readText(text, &table, false), POINTS_FILE_OK) << token;
        EXPECT_TRUE(sameDouble(table.x[0], expected)) << token;
        EXPECT_TRUE(sameDouble(table.y[0], expected)) << token;
    }
}

// What only looks like a plain decimal at its start keeps its old reading.
TEST(NumberReader, TextAfterTheDigitsKeepsItsReading)
{
    static PointTable table;
    struct {
        const char* token;
        PointsFileStatus status; // decimal-only reading
    } cases[] = {
        {"0x10", POINTS_FILE_NOT_DECIMAL}, {"-0x1p3", POINTS_FILE_NOT_DECIMAL}, {"1e400", POINTS_FILE_NOT_DECIMAL},
        {"1e", POINTS_FILE_NOT_A_NUMBER},  {"1.5e+", POINTS_FILE_NOT_A_NUMBER}, {"4x", POINTS_FILE_NOT_A_NUMBER},
        {"1.2.3", POINTS_FILE_NOT_A_NUMBER}, {"-", POINTS_FILE_NOT_A_NUMBER},   {".", POINTS_FILE_NOT_A_NUMBER},
        {"1,5", POINTS_FILE_NOT_A_NUMBER},  {"+2.5", POINTS_FILE_OK},            {"1e0000007", POINTS_FILE_OK},
    };
    for (const auto& c : cases) {
        std::string text = "1\n";
        text.append(c.token).append(" 2\n");
        EXPECT_EQ(readText(text, &table, true), c.status) << c.token;
        if (c.status == POINTS_FILE_OK) {
            EXPECT_TRUE(sameDouble(table.x[0], strtod(c.token, nullptr))) << c.token;
        }
    }
}

// 100,000 decimals of 1 to 21 significant digits, points and exponents anywhere, in both signs and
// both white spaces: each reads as strtod reads it.
TEST(NumberReader, GeneratedDecimalsReadAsStrtod)
{
    static PointTable table;
    const int COUNT = 100000;
    unsigned long long state = 31;
    auto next = [&state](int range) {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return (int)((state >> 33) % (unsigned long long)range);
    };
    std::string text = std::to_string(COUNT / 2) + "\n";
    std::string tokens[COUNT];
    for (int i = 0; i < COUNT; ++i) {
        std::string token = next(2) ? "-" : "";
        int digits = 1 + next(21);
        int point = next(digits + 2) - 1; // -1: no point
        for (int d = 0; d < digits; ++d) {
            if (d == point) token += '.';
            token += (char)('0' + (d == 0 && next(4) == 0 ? 0 : next(10)));
        }
        if (next(3) == 0) token.append("e").append(std::to_string(next(640) - 330));
        tokens[i] = token;
        text += token + (i % 2 ? "\n" : " ");
    }
    ASSERT_EQ(readText(text, &table, false), POINTS_FILE_OK);
    for (int i = 0; i < COUNT; ++i) {
        double value = i % 2 ? table.y[i / 2] : table.x[i / 2];
        ASSERT_TRUE(sameDouble(value, strtod(tokens[i].c_str(), nullptr))) << tokens[i];
    }
}

} // namespace

namespace {

// A points file of over a megabyte on disk, read block by block: point i is (i, i / 4) on line i + 2,
// and `change` replaces the text of one line.
struct LargeFileCase {
    const char* name;
    int count;              // the file's count
    int changedLine;        // 0: none
    const char* change;
    PointsFileStatus status;
    int points;             // complete points loaded
    int reportLine;         // the line the report names (or of the last coordinate)
    const char* token;      // the token a refusal names
};

const int LARGE_POINTS = 120000;

std::string largeFileText(const LargeFileCase& c)
{
    std::string text = std::to_string(c.count) + "\n";
    for (int i = 0; i < LARGE_POINTS; ++i) {
        if (i + 2 == c.changedLine) {
            text += c.change;
        } else {
            text += std::to_string(i) + " " + std::to_string(i / 4) + (i % 4 == 0 ? "" : i % 4 == 2 ? ".5" : i % 4 == 1 ? ".25" : ".75");
        }
        text += "\n";
    }
    return text;
}

TEST(NumberReader, LargeFilesKeepTheirPointsLinesAndMessages)
{
    static PointTable table;
    const LargeFileCase cases[] = {
        {"whole", LARGE_POINTS, 0, "", POINTS_FILE_OK, LARGE_POINTS, LARGE_POINTS + 1, ""},
        {"short", LARGE_POINTS + 3, 0, "", POINTS_FILE_SHORT, LARGE_POINTS, LARGE_POINTS + 1, ""},
        {"more numbers than the count", LARGE_POINTS - 7, 0, "", POINTS_FILE_EXTRA_NUMBERS, LARGE_POINTS - 7,
         LARGE_POINTS - 7 + 1, ""},
        {"text in the second half", LARGE_POINTS, 100000, "5 4x", POINTS_FILE_NOT_A_NUMBER, 99998, 100000, "4x"},
        {"text in the first half", LARGE_POINTS, 9000, "#", POINTS_FILE_NOT_A_NUMBER, 8998, 9000, "#"},
        {"hexadecimal in the second half", LARGE_POINTS, 110000, "0x10 1", POINTS_FILE_NOT_DECIMAL, 109998, 110000,
         "0x10"},
        // A point over two lines and a line of four numbers: from there on point k is the k-1st.
        {"points across lines", LARGE_POINTS + 1, 40000, "7\n\n8 9 10", POINTS_FILE_OK, LARGE_POINTS + 1,
         LARGE_POINTS + 3, ""},
        // Points read token by token amid runs of plain decimals, then the runs go on.
        {"a plus sign, a tab and a carriage return", LARGE_POINTS, 60000, "+59998\t14999.5\r", POINTS_FILE_OK,
         LARGE_POINTS, LARGE_POINTS + 1, ""},
        {"twenty digits", LARGE_POINTS, 70000, "69998.000000000000000 17499.500000000000000000", POINTS_FILE_OK,
         LARGE_POINTS, LARGE_POINTS + 1, ""},
    };
    std::string path = testing::TempDir() + "kelvora-large-" + std::to_string(getpid()) + ".dat";
    for (const LargeFileCase& c : cases) {
        std::string text = largeFileText(c);
        ASSERT_GT(text.size(), (size_t)(1 << 20)) << c.name;
        FILE* out = fopen(path.c_str(), "wb");
        fwrite(text.data(), 1, text.size(), out);
        fclose(out);
        FILE* file = fopen(path.c_str(), "rb");
        NumberReader reader;
        startNumberReader(&reader, file);
        PointsFileReport report;
        EXPECT_EQ(readPoints(&reader, &table, &report, true), c.status) << c.name;
        fclose(file);
        EXPECT_EQ(table.pointCount, c.points) << c.name;
        EXPECT_EQ(report.line, c.reportLine) << c.name;
        if (c.token[0] != 0) {
            EXPECT_STREQ(report.token, c.token) << c.name;
        }
        // Every point from the last quarter's start on, where the changed lines no longer shift them.
        int shift = c.changedLine == 40000 ? 1 : 0;
        if (shift == 0 && c.changedLine > 0 && c.status == POINTS_FILE_OK) {
            int changed = c.changedLine - 2;
            EXPECT_EQ(table.x[changed], (double)changed) << c.name;
            EXPECT_EQ(table.y[changed], changed * 0.25) << c.name;
        }
        for (int k = 100001; k < table.pointCount && c.status == POINTS_FILE_OK; k += 997) {
            int i = k - shift;
            ASSERT_EQ(table.x[k], (double)i) << c.name << " " << k;
            ASSERT_EQ(table.y[k], i * 0.25) << c.name << " " << k;
        }
    }
    remove(path.c_str());
}

// Reads the file at path into table; alone reads it token by token on one thread (a reader that keeps
// the texts never reads ahead), the reference for reading ahead.
PointsFileStatus readLargeFile(const std::string& path, PointTable* table, PointsFileReport* report, bool alone)
{
    FILE* file = fopen(path.c_str(), "rb");
    NumberReader reader;
    startNumberReader(&reader, file);
    if (alone) reader.keepCoordinate = [](void*, int, const char*, int) {};
    PointsFileStatus status = readPoints(&reader, table, report, true);
    fclose(file);
    return status;
}

// The line where the second half of the file read ahead starts: the line after the one holding the
// reading's split point (the count read, 11/20 of the rest).
int splitLine(const std::string& text)
{
    size_t afterCount = text.find('\n');
    size_t split = afterCount + (text.size() - afterCount) * 11 / 20;
    return 2 + (int)std::count(text.begin(), text.begin() + (long)split, '\n');
}

// Around the point where the second thread starts, whatever stands there: a point over two lines (its
// Y then comes first), tokens only the reader itself reads, text, and counts above and below the file's.
TEST(NumberReader, ReadingAheadGivesWhatReadingAloneGives)
{
    static PointTable ahead, alone;
    const char* changes[] = {"7\n\n8 9 10", "0x10 1", "5 4x", "+5\t6\r", "1e400 2", "12345678901234567890123 1",
                             "3", "-0.5 -.5"};
    const int counts[] = {LARGE_POINTS, LARGE_POINTS + 1, LARGE_POINTS - 7};
    std::string path = testing::TempDir() + "kelvora-ahead-" + std::to_string(getpid()) + ".dat";
    LargeFileCase plain = {"", LARGE_POINTS, 0, "", POINTS_FILE_OK, 0, 0, ""};
    int middle = splitLine(largeFileText(plain));
    for (const char* change : changes) {
        for (int line = middle - 2; line <= middle + 2; ++line) {
            for (int count : counts) {
                LargeFileCase c = {"", count, line, change, POINTS_FILE_OK, 0, 0, ""};
                std::string text = largeFileText(c);
                ASSERT_GT(text.size(), (size_t)(1 << 20));
                FILE* out = fopen(path.c_str(), "wb");
                fwrite(text.data(), 1, text.size(), out);
                fclose(out);
                PointsFileReport aheadReport, aloneReport;
                PointsFileStatus aheadStatus = readLargeFile(path, &ahead, &aheadReport, false);
                PointsFileStatus aloneStatus = readLargeFile(path, &alone, &aloneReport, true);
                std::string name = std::string(change) + " on line " + std::to_string(line) + ", count " +
                                   std::to_string(count);
                ASSERT_EQ(aheadStatus, aloneStatus) << name;
                ASSERT_EQ(ahead.pointCount, alone.pointCount) << name;
                EXPECT_EQ(aheadReport.line, aloneReport.line) << name;
                EXPECT_STREQ(aheadReport.token, aloneReport.token) << name;
                size_t bytes = (size_t)ahead.pointCount * sizeof(double);
                ASSERT_EQ(memcmp(ahead.x, alone.x, bytes), 0) << name;
                ASSERT_EQ(memcmp(ahead.y, alone.y, bytes), 0) << name;
            }
        }
    }
    remove(path.c_str());
}

} // namespace
