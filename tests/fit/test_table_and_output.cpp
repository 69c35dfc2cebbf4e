// SPDX-License-Identifier: GPL-3.0-or-later
// Plain tables (separators, comments, header, bad lines, the choice between table and points file),
// the JSON object (parsed by Python's json module when it is installed) and the residuals CSV.
#include <gtest/gtest.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <string>

#include "fit_output.h"
#include "plain_table.h"
#include "points_input.h"
#include "test_support.h"

namespace {

PointTable g_table;

// Reads text as kelvora-fit does: decimal commas when the first block shows them.
PlainTableReport readTableText(const std::string& text, ColumnChoice columns = {0, 0, 0})
{
    FILE* file = text.empty() ? tmpfile() : fmemopen(const_cast<char*>(text.data()), text.size(), "rb");
    NumberReader* reader = new NumberReader;
    startNumberReader(reader, file);
    int length = 0;
    bool complete = false;
    const char* block = firstBlock(reader, &length, &complete);
    if (showsDecimalCommas(block, (size_t)length)) readDecimalCommas(reader);
    PlainTableReport report = readPlainTable(reader, columns, &g_table);
    delete reader;
    fclose(file);
    return report;
}

struct TableCase {
    const char* name;
    const char* text;
    PlainTableStatus status;
    int count;       // points read, or the bad line's number
    bool header;
    double lastX, lastY;
    const char* token; // the field named when it is not a number
};

const TableCase TABLE_CASES[] = {
    {"Commas", "1,2\n3,4.5\n", PLAIN_TABLE_OK, 2, false, 3, 4.5, ""},
    {"CommasWithSpaces", "1, 2\n 3 ,4.5", PLAIN_TABLE_OK, 2, false, 3, 4.5, ""},
    {"Semicolons", "1;2\n-3e2;4\n", PLAIN_TABLE_OK, 2, false, -300, 4, ""},
    {"Tabs", "1\t2\n3\t\t4\n", PLAIN_TABLE_OK, 2, false, 3, 4, ""},
    {"Spaces", "  1   2  \n3 4\n", PLAIN_TABLE_OK, 2, false, 3, 4, ""},
    {"WindowsLineEnds", "x;y\r\n1;2\r\n3;4\r\n", PLAIN_TABLE_OK, 2, true, 3, 4, ""},
    {"HeaderCommentsAndBlankLines", "# measured 2024\n\ntime,signal # s, V\n1,2\n\n# pause\n3,4 # last\n",
     PLAIN_TABLE_OK, 2, true, 3, 4, ""},
    {"Empty", "", PLAIN_TABLE_OK, 0, false, 0, 0, ""},
    {"OnlyAHeader", "x,y\n", PLAIN_TABLE_OK, 0, true, 0, 0, ""},
    {"TextAfterThePoints", "1,2\n3,4\nend\n", PLAIN_TABLE_NOT_A_NUMBER, 3, false, 0, 0, "end"},
    {"SecondHeader", "x,y\nX,Y\n1,2\n", PLAIN_TABLE_NOT_A_NUMBER, 2, true, 0, 0, "X"},
    {"ThreeColumns", "1,2\n3,4,5\n", PLAIN_TABLE_COLUMNS, 2, false, 0, 0, ""},
    {"EmptyField", "1,2\n3,,4\n", PLAIN_TABLE_NOT_A_NUMBER, 2, false, 0, 0, ""},
    {"OneColumn", "1,2\n3\n", PLAIN_TABLE_COLUMNS, 2, false, 0, 0, ""},
    {"NumberWithTrailingText", "1,2\n3,4kg\n", PLAIN_TABLE_NOT_A_NUMBER, 2, false, 0, 0, "4kg"},
    // A first line is a header only when none of its fields is a number.
    {"NumberAndWordOnTheFirstLine", "1,time\n2,3\n4,5\n", PLAIN_TABLE_NOT_A_NUMBER, 1, false, 0, 0, "time"},
    {"WordAndNumberOnTheFirstLine", "# run 4\nx,5\n2,3\n", PLAIN_TABLE_NOT_A_NUMBER, 2, false, 0, 0, "x"},
    // Decimal commas when the whole table writes them.
    {"DecimalCommasAndSemicolons", "1;2,5\n3;-4,25\n", PLAIN_TABLE_OK, 2, false, 3, -4.25, ""},
    {"DecimalCommasAndTabs", "x\ty\n1\t2,5\n3,5\t4e1\n", PLAIN_TABLE_OK, 2, true, 3.5, 40, ""},
    {"CommaTableWithIntegers", "1,5\n3,4\n", PLAIN_TABLE_OK, 2, false, 3, 4, ""},
    // Quotes and a separator at the end of the line.
    {"QuotedFields", "\"x\",\"y\"\n\"1\",\"2.5\"\n\" 3 \", 4\n", PLAIN_TABLE_OK, 2, true, 3, 4, ""},
    {"TrailingSeparator", "1,2,\n3;4;\r\n", PLAIN_TABLE_OK, 2, false, 3, 4, ""},
    {"UnclosedQuote", "1,2\n\"3,4\n", PLAIN_TABLE_NOT_A_NUMBER, 2, false, 0, 0, "3,4"},
    {"LeadingSeparator", "1,2\n,3,4\n", PLAIN_TABLE_NOT_A_NUMBER, 2, false, 0, 0, ""},
    // Only finite decimals.
    {"Hexadecimal", "1,2\n0x10,4\n", PLAIN_TABLE_NOT_DECIMAL, 2, false, 0, 0, "0x10"},
    {"NotANumber", "1,2\n3,nan\n", PLAIN_TABLE_NOT_DECIMAL, 2, false, 0, 0, "nan"},
    {"Infinity", "1,2\n-inf;4\n", PLAIN_TABLE_NOT_DECIMAL, 2, false, 0, 0, "-inf"},
    {"BeyondTheRange", "1,2\n3,1e309\n", PLAIN_TABLE_NOT_DECIMAL, 2, false, 0, 0, "1e309"},
    {"BelowTheSmallestDouble", "1,2\n3,1e-400\n", PLAIN_TABLE_OK, 2, false, 3, 0, ""},
};

class PlainTable : public testing::TestWithParam<TableCase> {};

TEST_P(PlainTable, ReadsPointsOrNamesTheBadLine)
{
    const TableCase& c = GetParam();
    g_table.pointCount = 77;
    PlainTableReport report = readTableText(c.text);
    EXPECT_EQ(report.status, c.status);
    EXPECT_EQ(report.hasHeader, c.header);
    if (c.status == PLAIN_TABLE_OK) {
        ASSERT_EQ(g_table.pointCount, c.count);
        if (c.count > 0) {
            EXPECT_EQ(g_table.x[c.count - 1], c.lastX);
            EXPECT_EQ(g_table.y[c.count - 1], c.lastY);
            EXPECT_EQ(g_table.x[0], 1.0);
        }
    } else {
        EXPECT_EQ(report.badLine, c.count);
        EXPECT_STREQ(report.token, c.token);
        EXPECT_EQ(g_table.pointCount, 77) << "a failed read keeps the count";
    }
}

INSTANTIATE_TEST_SUITE_P(Table, PlainTable, testing::ValuesIn(TABLE_CASES),
                         [](const testing::TestParamInfo<TableCase>& info) { return info.param.name; });

TEST(PlainTableColumns, PickXAndYOrSayHow)
{
    const std::string wide = "id;time;flag;signal\n1;0.5;ok;3.25\n2;1.5;bad;4.75\n";
    PlainTableReport report = readTableText(wide, {2, 4});
    ASSERT_EQ(report.status, PLAIN_TABLE_OK);
    EXPECT_TRUE(report.hasHeader);
    ASSERT_EQ(g_table.pointCount, 2);
    EXPECT_EQ(g_table.x[1], 1.5);
    EXPECT_EQ(g_table.y[1], 4.75);
    // Y before X, and a line too short for the columns asked for.
    ASSERT_EQ(readTableText("1,2,3\n4,5,6\n", {3, 1}).status, PLAIN_TABLE_OK);
    EXPECT_EQ(g_table.x[1], 6.0);
    EXPECT_EQ(g_table.y[1], 4.0);
    // A field the line cannot be read past stops the table in any column.
    report = readTableText("1,2,3\n4,5,\"6\n7,8,9\n", {1, 2});
    EXPECT_EQ(report.status, PLAIN_TABLE_NOT_A_NUMBER);
    EXPECT_EQ(report.badLine, 2);
    report = readTableText("1,2,3\n4,5\n", {1, 3});
    EXPECT_EQ(report.status, PLAIN_TABLE_COLUMNS);
    EXPECT_EQ(report.badLine, 2);
    char text[200];
    describePlainTable(text, sizeof text, &report, {1, 3});
    EXPECT_STREQ(text, "line 2: 2 columns, but --columns=1,3 needs 3");
    // Without a choice the message says how to make one.
    report = readTableText(wide);
    EXPECT_EQ(report.status, PLAIN_TABLE_COLUMNS);
    describePlainTable(text, sizeof text, &report, {0, 0, 0});
    EXPECT_STREQ(text, "line 2: 4 columns: choose X and Y with --columns=X,Y (counted from 1)");
}

// A number reads in a table as in a points file, however long; on the first line too.
TEST(PlainTableLimits, NumbersOfAnyLength)
{
    for (size_t digits : {127u, 128u, 5000u, 70000u, 200000u}) {
        std::string third = "0." + std::string(digits, '3');
        std::string text = "1," + third + "\n2,0.5\n";
        ASSERT_EQ(readTableText(text).status, PLAIN_TABLE_OK) << digits;
        EXPECT_EQ(g_table.y[0], strtod(third.c_str(), nullptr)) << digits;
        EXPECT_EQ(readTableText("\"" + third + "\";2\n").status, PLAIN_TABLE_OK) << digits;
        EXPECT_EQ(g_table.x[0], strtod(third.c_str(), nullptr)) << digits;
    }
}

TEST(PlainTableLimits, MoreThanTheCapacityIsRefused)
{
    std::string text;
    text.reserve((size_t)POINT_CAPACITY * 5);
    for (int i = 0; i <= POINT_CAPACITY; ++i) text += "1 2\n";
    g_table.pointCount = 5;
    PlainTableReport report = readTableText(text);
    EXPECT_EQ(report.status, PLAIN_TABLE_TOO_MANY);
    EXPECT_EQ(report.badLine, POINT_CAPACITY + 1);
    EXPECT_EQ(g_table.pointCount, 5);
    char message[100];
    describePlainTable(message, sizeof message, &report, {0, 0, 0});
    EXPECT_STREQ(message, ("the file holds more than " + std::to_string(POINT_CAPACITY) + " points").c_str());
    text.resize(text.size() - 4);
    EXPECT_EQ(readTableText(text).status, PLAIN_TABLE_OK);
    EXPECT_EQ(g_table.pointCount, POINT_CAPACITY);
}

// A large table on disk, read as kelvora-fit reads it, and token by token on one thread (a reader that
// keeps the texts reads neither in runs nor ahead): the two must agree in every point and message.
PlainTableReport readTableFile(const std::string& path, PointTable* table, bool alone)
{
    FILE* file = fopen(path.c_str(), "rb");
    NumberReader* reader = new NumberReader;
    startNumberReader(reader, file);
    if (alone) reader->keepCoordinate = [](void*, int, const char*, int) {};
    int length = 0;
    bool complete = false;
    const char* block = firstBlock(reader, &length, &complete);
    if (showsDecimalCommas(block, (size_t)length)) readDecimalCommas(reader);
    PlainTableReport report = readPlainTable(reader, {0, 0, 0}, table);
    delete reader;
    fclose(file);
    return report;
}

// Lines of "i,i/4" (or "i;i/4" with decimal commas) with `change` in place of one line.
std::string largeTable(int lines, int changed, const char* change, bool decimalCommas)
{
    std::string text = "time,signal\n";
    for (int i = 0; i < lines; ++i) {
        if (i == changed) {
            text += change;
        } else {
            std::string y = std::to_string(i / 4) + (i % 2 ? (decimalCommas ? ",5" : ".5") : "");
            text += std::to_string(i) + (decimalCommas ? ";" : ",") + y;
        }
        text += "\n";
    }
    return text;
}

TEST(PlainTableLimits, LargeTablesReadAsLineByLine)
{
    static PointTable fast, alone;
    const int lines = 160000;
    const char* changes[] = {"", "1,2,", "\"3\",4", "5,6kg", "7,8,9", "# a comment", "   ", "+10,11", "12,1e400",
                             "13 ; 14\r", "15,", "0x10,1", "16,17 # note"};
    std::string path = testing::TempDir() + "kelvora-large-table-" + std::to_string(getpid()) + ".csv";
    for (bool commas : {false, true}) {
        // The data line the second thread starts on: the first line start after 11/20 of the file.
        std::string plain = largeTable(lines, -1, "", commas);
        int split = (int)std::count(plain.begin(), plain.begin() + (long)(plain.size() * 11 / 20) + 1, '\n') - 1;
        for (const char* change : changes) {
            for (int line : {split - 1500, split - 1, split, split + 1, lines - 1}) {
                std::string text = largeTable(lines, line, change, commas);
                FILE* out = fopen(path.c_str(), "wb");
                fwrite(text.data(), 1, text.size(), out);
                fclose(out);
                PlainTableReport fastReport = readTableFile(path, &fast, false);
                PlainTableReport aloneReport = readTableFile(path, &alone, true);
                std::string name = std::string(commas ? "commas, " : "") + "\"" + change + "\" on line " +
                                   std::to_string(line);
                ASSERT_EQ(fastReport.status, aloneReport.status) << name;
                EXPECT_EQ(fastReport.badLine, aloneReport.badLine) << name;
                EXPECT_STREQ(fastReport.token, aloneReport.token) << name;
                EXPECT_EQ(fastReport.columns, aloneReport.columns) << name;
                if (fastReport.status != PLAIN_TABLE_OK) continue;
                ASSERT_EQ(fast.pointCount, alone.pointCount) << name;
                size_t bytes = (size_t)fast.pointCount * sizeof(double);
                ASSERT_EQ(memcmp(fast.x, alone.x, bytes), 0) << name;
                ASSERT_EQ(memcmp(fast.y, alone.y, bytes), 0) << name;
            }
        }
    }
    remove(path.c_str());
}

TEST(PlainTableLimits, TableOrPointsFile)
{
    const struct {
        const char* text;
        bool table;
    } cases[] = {
        {"3\n1 2\n3 4\n5 6\n", false},   // a points file: the count alone on its line
        {"1 2\n3 4\n5 6\n", true},       // two numbers first, 5 numbers left: no count fits
        {"1,2\n3,4\n", true},            // separated by commas
        {"\n\n  0.5 7\n", true},         // blank lines before the first
        {"# a comment\n1 2\n", true},    // no points file starts with a comment
        {"1 2\n3\n", false},             // count 1, then exactly one point (2, 3)
        {"x,y\n1,2\n", false},           // a header asks for --columns
        {"2 1 2\n3 4\n", false},         // three numbers on the first line, and a count that fits
        {"1,2,3\n4,5,6\n", true},        // three columns: the table says how to pick two
        {"1,kg\n2,3\n", true},           // a number and a word: the table names the word
        {"\"1.5\",\"2\"\n", true},       // quoted
        {"1,5;2,5\n3,5;4\n", true},      // decimal commas
        {"4.5\n0 2\n", false},           // a count that is no whole number: the points file says so
        {"", false},
    };
    for (const auto& c : cases) EXPECT_EQ(looksLikePlainTable(c.text, strlen(c.text), true), c.table) << c.text;
    // Of a stream longer than its first block, two numbers on the first line decide.
    EXPECT_TRUE(looksLikePlainTable("1 2\n3\n", 6, false));
}

// kelvora-fit's input as spreadsheets export it: a byte order mark, decimal commas, a header.
TEST(FitInput, SpreadsheetExportsRead)
{
    const struct {
        std::string text;
        int count;
        double lastX, lastY;
    } cases[] = {
        {"\xEF\xBB\xBFx;y\r\n1;2,5\r\n3,25;4\r\n", 2, 3.25, 4},
        {"\xEF\xBB\xBF" "1,2\n3,4\n", 2, 3, 4},
        {"\xEF\xBB\xBF" "2\n1 2\n3 4.5\n", 2, 3, 4.5},
    };
    for (const auto& c : cases) {
        FILE* file = fmemopen(const_cast<char*>(c.text.data()), c.text.size(), "rb");
        ASSERT_TRUE(readInput(file, "spreadsheet", false, ColumnChoice{0, 0, 0}, &g_table)) << c.text;
        fclose(file);
        ASSERT_EQ(g_table.pointCount, c.count);
        EXPECT_EQ(g_table.x[c.count - 1], c.lastX);
        EXPECT_EQ(g_table.y[c.count - 1], c.lastY);
    }
}

TEST(PlainTableLimits, DecimalCommasOnlyWhenTheWholeBlockShowsThem)
{
    const struct {
        const char* text;
        bool commas;
    } cases[] = {
        {"1,5;2,5\n", true},
        {"x;y\n1,5\t2\n-3;4,75e2\n", true},
        {"1;2\n3;4\n", false},           // no comma
        {"1,5;2,5\n3.5;4\n", false},     // a decimal point too
        {"1,5\n2,5\n", false},           // a comma-separated table of integers
        {"1,5;2,5;3\n", true},           // X, Y and a third column (sigma, or one to pick)
        {"x\ty\ts\n1,5\t2,5\t0,1\n2\t3,5\t0,25\n", true},
        {"1,5;2,5;3.5\n", false},        // a decimal point in the third column
        {"1,5;2,5\nend\n", false},
    };
    for (const auto& c : cases) EXPECT_EQ(showsDecimalCommas(c.text, strlen(c.text)), c.commas) << c.text;
}

// A refined fit of three points of the power model, and its report.
FitRecord sampleRecord()
{
    FitRecord m = {};
    m.modelId = 15;
    m.exponentN = 2.0;
    m.count = 3;
    m.fit = FitResult{1.0, 2.0, 0.0, 0.0};
    m.uncertainty = FitUncertainty{0.25, 0.5, {0.0, 2.0}, {1.0, 3.0}, 1.0, 1.0, NAN, 0.1};
    m.refineAsked = true;
    m.refinement.status = REFINE_CONVERGED;
    m.refinement.iterations = 4;
    m.dof = 1;
    return m;
}

FitReport sampleReport(const FitRecord* record)
{
    FitReport r = {};
    r.file = "data.dat";
    r.record = record;
    r.weighting = "none";
    r.sameCurveAs = -1;
    return r;
}

TEST(Json, KeysInOrderAndNonFiniteAsNull)
{
    FitRecord m = sampleRecord();
    FitReport r = sampleReport(&m);
    EXPECT_EQ(fitJson(&r), "{\"file\":\"data.dat\",\"model\":15,\"formula\":\"Y=A+B*X^N\",\"n\":3,\"A\":1,\"B\":2,"
                           "\"N\":2,\"S\":0,\"s_n2\":null,\"se_A\":0.25,\"se_B\":0.5,\"ci_A\":[0,2],\"ci_B\":[1,3],"
                           "\"r2\":1,\"r2_line\":1,\"refined\":true,\"iterations\":4,\"dof\":1,\"cov_AB\":0.10000000000000001,"
                           "\"corr_AB\":0.80000000000000004,\"weighting\":\"none\"}");
    m.modelId = 5;
    m.refineAsked = false;
    m.fit.a = INFINITY;
    std::string json = fitJson(&r);
    EXPECT_EQ(json.find("\"N\""), std::string::npos);
    EXPECT_EQ(json.find("iterations"), std::string::npos);
    EXPECT_NE(json.find("\"A\":null,"), std::string::npos);
    EXPECT_NE(json.find("\"refined\":false,\"dof\":1,"), std::string::npos);
    // Weighted, ranked, with predictions and inverses: their keys in order, a missing X as null.
    const double x[] = {2.0}, predicted[] = {9.0, 8.5, 9.5, 8.0, 10.0}, y[] = {3.0}, inverse[] = {NAN, NAN, NAN};
    r.weighted = true;
    m.chi2 = 3.0;
    r.weighting = "1/y";
    r.ranked = true;
    r.aicc = -4.5;
    r.akaikeWeight = 0.25;
    r.predictionCount = 1;
    r.predictX = x;
    r.predictions = predicted;
    r.inverseCount = 1;
    r.inverseY = y;
    r.inverses = inverse;
    json = fitJson(&r);
    EXPECT_NE(json.find("\"weighting\":\"1/y\",\"chi2\":3,\"chi2_nu\":3,\"aicc\":-4.5,\"akaike_weight\":0.25,"
                        "\"predictions\":[{\"x\":2,\"y\":9,\"ci\":[8.5,9.5],\"pi\":[8,10]}],"
                        "\"inverse\":[{\"y\":3,\"x\":null,\"ci\":[null,null]}]}"),
              std::string::npos)
        << json;
    // What a fit method adds comes after the common keys, a number or an interval.
    addRecordField(&m, "tau", 0.5);
    addRecordInterval(&m, "ci_B_profile", 1.5, INFINITY);
    json = fitJson(&r);
    EXPECT_NE(json.find("\"inverse\":[{\"y\":3,\"x\":null,\"ci\":[null,null]}],\"tau\":0.5,\"ci_B_profile\":[1.5,null]}"),
              std::string::npos)
        << json;
}

TEST(Json, StringsAreEscapedAndValid)
{
    EXPECT_EQ(jsonString("a\"b\\c"), "\"a\\\"b\\\\c\"");
    EXPECT_EQ(jsonString("tab\there\n"), "\"tab\\u0009here\\u000a\"");
    EXPECT_EQ(jsonString("caf\xc3\xa9"), "\"caf\xc3\xa9\"");
    EXPECT_EQ(jsonString("bad\xff"), "\"bad\xef\xbf\xbd\"");
}

// Python's json module reads what we write, names with quotes and broken UTF-8 included.
TEST(Json, ParsesWithAnIndependentReader)
{
    if (access("/usr/bin/python3", X_OK) != 0) GTEST_SKIP() << "no /usr/bin/python3";
    std::string folder = makeTempFolder();
    std::string path = folder + "/fits.json";
    FitRecord m = sampleRecord();
    FitReport r = sampleReport(&m);
    r.file = "we\"ird\\name\x01\xfe.dat";
    std::string text = fitJson(&r) + "\n";
    m.uncertainty.ciA[0] = NAN;
    m.fit.b = -1e-300;
    text += fitJson(&r) + "\n";
    writeWholeFile(path, text);
    std::string command = "/usr/bin/python3 -c 'import json,sys\n"
                          "rows=[json.loads(l) for l in open(sys.argv[1])]\n"
                          "assert rows[0][\"file\"]==\"we\\\"ird\\\\name\\x01\\ufffd.dat\", rows[0][\"file\"]\n"
                          "assert rows[1][\"ci_A\"]==[None,2] and rows[1][\"B\"]==-1e-300\n"
                          "keys=list(rows[0])\n"
                          "assert keys[keys.index(\"refined\")+1]==\"iterations\"' " + path;
    EXPECT_EQ(system(command.c_str()), 0);
    removeFolder(folder);
}

TEST(ResidualsCsv, OneLinePerPointWithFittedAndResidual)
{
    std::string folder = makeTempFolder();
    std::string path = folder + "/residuals.csv";
    FILE* out = fopen(path.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    double x[] = {1, 2, 0.1}, y[] = {3, 6, 1.25};
    ResidualsCsv csv = {x, y, 3, 0, 1.0, 2.0, 2.0, NULL, NULL, NULL, NULL};
    ASSERT_TRUE(writeResidualsCsv(out, &csv));
    // The input's own texts of X and Y are echoed as they were written.
    InputTexts texts;
    const char* written[] = {"1.0", "3", "2", "6e0", ".1", "1.250"};
    for (int i = 0; i < 6; ++i) {
        (i % 2 == 0 ? texts.xAt : texts.yAt).push_back(texts.text.size());
        texts.text += written[i];
        texts.text += '\0';
    }
    csv.texts = &texts;
    ASSERT_TRUE(writeResidualsCsv(out, &csv));
    fclose(out);
    EXPECT_EQ(readWholeFile(path), "x,y,fitted,residual\n1,3,3,0\n2,6,5,1\n"
                                   "0.10000000000000001,1.25,1.2,0.050000000000000044\n"
                                   "x,y,fitted,residual\n1.0,3,3,0\n2,6e0,5,1\n.1,1.250,1.2,0.050000000000000044\n");
    removeFolder(folder);
}

} // namespace
