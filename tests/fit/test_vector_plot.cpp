// SPDX-License-Identifier: GPL-3.0-or-later
// The publication plot: its tick steps, and the SVG and PDF it writes read back as files (the curve's
// path, the error bars and band, text that keeps its size, one PDF page with the legend and the tick
// labels as text).
#include <gtest/gtest.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "models.h"
#include "test_support.h"
#include "vector_plot.h"

namespace {

struct TickCase {
    double lower, upper;
    double step;
    std::vector<double> ticks;
};

TEST(VectorPlot, TicksStepByOneTwoOrFiveTimesAPowerOfTen)
{
    const TickCase cases[] = {
        {0.0, 1.0, 0.2, {0.0, 0.2, 0.4, 0.6, 0.8, 1.0}},
        {-0.44, 11.44, 2.0, {0.0, 2.0, 4.0, 6.0, 8.0, 10.0}},
        {-137.0, 137.0, 50.0, {-100.0, -50.0, 0.0, 50.0, 100.0}},
        {0.00123, 0.00456, 0.0005, {0.0015, 0.002, 0.0025, 0.003, 0.0035, 0.004, 0.0045}},
        // Values far from 0 with a small span: the ticks are those of the span, not of the values.
        {1e15 + 1.0, 1e15 + 9.0, 2.0, {1e15 + 2.0, 1e15 + 4.0, 1e15 + 6.0, 1e15 + 8.0}},
        {3e-300, 9e-300, 1e-300, {3e-300, 4e-300, 5e-300, 6e-300, 7e-300, 8e-300, 9e-300}},
    };
    for (const TickCase& c : cases) {
        double ticks[32], step;
        int count = niceTicks(c.lower, c.upper, 7, ticks, 32, &step);
        EXPECT_NEAR(step, c.step, 1e-12 * c.step) << c.lower << ".." << c.upper;
        ASSERT_EQ(count, (int)c.ticks.size()) << c.lower << ".." << c.upper;
        for (int i = 0; i < count; ++i) EXPECT_NEAR(ticks[i], c.ticks[i], 1e-9 * c.step) << i;
    }
    // Nothing to tick: an empty or reversed span, infinity, NaN; a full buffer stops the ticks.
    double ticks[4], step;
    EXPECT_EQ(niceTicks(1.0, 1.0, 7, ticks, 4, &step), 0);
    EXPECT_EQ(niceTicks(2.0, 1.0, 7, ticks, 4, &step), 0);
    EXPECT_EQ(niceTicks(0.0, INFINITY, 7, ticks, 4, &step), 0);
    EXPECT_EQ(niceTicks(NAN, 1.0, 7, ticks, 4, &step), 0);
    EXPECT_EQ(niceTicks(0.0, 100.0, 50, ticks, 4, &step), 4);
}

TEST(VectorPlot, FormatFollowsTheNameInAnyCase)
{
    EXPECT_EQ(vectorFormatOf("fit.svg"), VECTOR_SVG);
    EXPECT_EQ(vectorFormatOf("FIT.PDF"), VECTOR_PDF);
    EXPECT_EQ(vectorFormatOf("fit.png"), VECTOR_NONE);
    EXPECT_EQ(vectorFormatOf(".svg"), VECTOR_NONE);
    EXPECT_EQ(vectorFormatOf("svg"), VECTOR_NONE);
}

int occurrences(const std::string& text, const std::string& part)
{
    int count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++count;
    return count;
}

// The most line segments in one path of an SVG ("M x y L x y L ...").
int longestPath(const std::string& svg)
{
    int longest = 0;
    for (size_t at = svg.find(" d=\""); at != std::string::npos; at = svg.find(" d=\"", at + 4)) {
        size_t end = svg.find('"', at + 4);
        longest = std::max(longest, occurrences(svg.substr(at, end - at), " L "));
    }
    return longest;
}

// The glyph outlines of an SVG: cairo writes each glyph once as a symbol, at the size it is set.
std::string glyphs(const std::string& svg)
{
    size_t begin = svg.find("<symbol"), end = svg.rfind("</symbol>");
    return begin == std::string::npos ? "" : svg.substr(begin, end - begin);
}

bool halfBand(double x, double* lower, double* upper, const void*)
{
    double y = evaluateModelWith(5, 120.0, 0.35, 2.0, x);
    *lower = y * 0.9;
    *upper = y * 1.1;
    return true;
}

class VectorPlotFile : public testing::Test {
protected:
    void SetUp() override
    {
        dir = makeTempFolder();
        for (int i = 0; i < 12; ++i) {
            x.push_back(i);
            y.push_back(120.0 * exp(0.35 * i) * (1.0 + 0.02 * sin(i * 1.7)));
            sigma.push_back(0.03 * y.back());
        }
        plot = VectorPlot{x.data(), y.data(), nullptr, 12, 5, 120.0, 0.35, 2.0, 4.1, 0.0033,
                          nullptr, nullptr, nullptr, false, 480.0, 360.0, nullptr};
    }
    void TearDown() override { removeFolder(dir); }
    std::string write(const char* name)
    {
        std::string path = dir + "/" + name;
        EXPECT_TRUE(writeVectorPlot(path.c_str(), &plot)) << path;
        return readWholeFile(path);
    }
    std::string dir;
    std::vector<double> x, y, sigma;
    VectorPlot plot;
};

TEST_F(VectorPlotFile, SvgHoldsTheCurveErrorBarsBandAndPanel)
{
    std::string bare = write("bare.svg");
    EXPECT_NE(bare.find("<svg"), std::string::npos);
    EXPECT_NE(bare.find("width=\"480pt\" height=\"360pt\""), std::string::npos);
    EXPECT_GE(longestPath(bare), 500) << "the curve is drawn at hundreds of X, not at the 12 points";
    EXPECT_EQ(bare.find("fill-opacity:0.2"), std::string::npos) << "no band unless asked";

    plot.sigma = sigma.data();
    plot.band = halfBand;
    plot.bandName = "95% confidence band";
    plot.residualPanel = true;
    std::string full = write("full.svg");
    EXPECT_NE(full.find("fill-opacity:0.2"), std::string::npos) << "the band";
    // Error bars (a stem and two caps per point, in the plot and in the panel), the panel's dashed zero.
    EXPECT_GT(occurrences(full, " M "), occurrences(bare, " M ") + 2 * 12 * 3);
    EXPECT_NE(full.find("stroke-dasharray"), std::string::npos);
    // More text (the band's entry, "points +- sigma", the panel's ticks and title): more glyphs set.
    EXPECT_GT(occurrences(full, "<use xlink:href=\"#glyph"), occurrences(bare, "<use xlink:href=\"#glyph"));
}

TEST_F(VectorPlotFile, HollowPointsAreStrokedNotFilledAndNamedInTheLegend)
{
    std::string bare = write("bare.svg");
    std::vector<unsigned char> hollow(12, 0);
    hollow[3] = hollow[7] = 1;
    plot.hollow = hollow.data();
    std::string marked = write("hollow.svg");
    // The two points and the legend's ring, which names them.
    EXPECT_EQ(occurrences(marked, "fill:none"), occurrences(bare, "fill:none") + 3);
}

TEST_F(VectorPlotFile, TextKeepsItsSizeWhenThePageGrows)
{
    std::string small = write("small.svg");
    plot.width = 1200.0;
    plot.height = 900.0;
    std::string large = write("large.svg");
    EXPECT_NE(large.find("width=\"1200pt\" height=\"900pt\""), std::string::npos);
    ASSERT_FALSE(glyphs(small).empty());
    // The same glyphs at the same size; the tick labels of the larger page are a subset or the same.
    std::string smallDigit = small.substr(small.find("<symbol"), 400);
    EXPECT_NE(large.find(smallDigit), std::string::npos);
}

TEST_F(VectorPlotFile, PdfIsOnePageWithTheLegendAndTickLabelsAsText)
{
    plot.residualPanel = true;
    std::string pdf = write("fit.pdf");
    EXPECT_EQ(pdf.compare(0, 5, "%PDF-"), 0);
    EXPECT_EQ(occurrences(pdf, "/Type /Page ") + occurrences(pdf, "/Type /Page\n"), 1);
    EXPECT_NE(pdf.find("%%EOF"), std::string::npos);
    if (system("command -v pdftotext >/dev/null 2>&1") != 0) GTEST_SKIP() << "pdftotext (poppler-utils) is missing";
    std::string textPath = dir + "/fit.txt";
    ASSERT_EQ(system(("pdftotext " + dir + "/fit.pdf " + textPath).c_str()), 0);
    std::string text = readWholeFile(textPath);
    for (const char* part : {"Y=A*EXP(B*X)", "A = 120.0 \u00b1 4.1", "B = 0.3500 \u00b1 0.0033", "points", "5000",
                             "4000", "10", "X", "Y − fit"}) {
        EXPECT_NE(text.find(part), std::string::npos) << part << " in:\n" << text;
    }

    // A fit without values still shows its points; its parameters read "nan" as the command prints them.
    plot.a = NAN;
    plot.b = -NAN;
    write("nan.pdf");
    ASSERT_EQ(system(("pdftotext " + dir + "/nan.pdf " + textPath).c_str()), 0);
    text = readWholeFile(textPath);
    EXPECT_NE(text.find("A = nan"), std::string::npos) << text;
    EXPECT_EQ(text.find("-nan"), std::string::npos) << text;
}

TEST_F(VectorPlotFile, AFileThatCannotBeWrittenIsSaidSoAndNothingIsLeft)
{
    std::string missing = dir + "/no-such-folder/fit.svg";
    testing::internal::CaptureStderr();
    EXPECT_FALSE(writeVectorPlot(missing.c_str(), &plot));
    EXPECT_FALSE(writeVectorPlot((dir + "/fit.png").c_str(), &plot));
    std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("no-such-folder/fit.svg: "), std::string::npos) << said;
    EXPECT_NE(said.find("a vector plot is named .svg or .pdf"), std::string::npos) << said;
    EXPECT_EQ(access((dir + "/fit.png").c_str(), F_OK), -1);
}

} // namespace
