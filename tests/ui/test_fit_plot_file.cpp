// SPDX-License-Identifier: GPL-3.0-or-later
// kelvora-fit --plot draws the results window itself: its picture equals, pixel for pixel, the window
// the program shows after Calculate on the same points, and it is as large as --size asks.
#include "ui_test_support.h"

#include <png.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "models.h"
#include "points_file.h"

namespace device = kelvora::device;

namespace {

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb;
    COLORREF at(int x, int y) const
    {
        size_t i = ((size_t)y * (size_t)width + (size_t)x) * 3;
        return RGB(rgb[i], rgb[i + 1], rgb[i + 2]);
    }
};

bool readPicture(const std::string& path, Picture* picture)
{
    png_image image;
    memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
    image.format = PNG_FORMAT_RGB;
    picture->width = (int)image.width;
    picture->height = (int)image.height;
    picture->rgb.resize(PNG_IMAGE_SIZE(image));
    return png_image_finish_read(&image, NULL, picture->rgb.data(), 0, NULL) != 0;
}

class FitPlotFileTest : public ProgramTest {
protected:
    void SetUp() override
    {
        ProgramTest::SetUp();
        char pattern[] = "/tmp/kelvora-plot-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_folder = pattern;
    }
    void TearDown() override
    {
        std::string command = "rm -rf '" + m_folder + "'";
        EXPECT_EQ(system(command.c_str()), 0);
        ProgramTest::TearDown();
    }

    // Saves the program's point table and runs kelvora-fit on it; returns its exit status.
    int runFit(const std::string& arguments)
    {
        std::string points = m_folder + "/points.dat";
        FILE* file = fopen(points.c_str(), "wb");
        if (file == NULL) return -1;
        writePointsStream(file, &g_app.points);
        fclose(file);
        std::string command = std::string(KELVORA_FIT_EXE) + " " + arguments + " '" + points + "' >/dev/null";
        return system(command.c_str());
    }

    std::string m_folder;
};

TEST_F(FitPlotFileTest, PictureEqualsTheResultsWindowPixelForPixel)
{
    enterPoints({{0.5, 3.9}, {1, 3.05}, {2, 1.9}, {3, 1.1}, {4.5, 0.67}});
    g_app.modelId = 5;
    HWND results = openWith(IDC_CALCULATE, L"Calculate");
    RECT client;
    GetClientRect(results, &client);
    ASSERT_EQ(runFit("--model 5 --size 240x268 --plot '" + m_folder + "/fit.png'"), 0);

    Picture picture, screen;
    ASSERT_TRUE(readPicture(m_folder + "/fit.png", &picture));
    ASSERT_EQ(picture.width, client.right);
    ASSERT_EQ(picture.height, client.bottom);
    // The screenshot of the whole screen, read back the same way; the client area starts below the bar.
    ASSERT_TRUE(device::save_png(m_folder + "/screen.png"));
    ASSERT_TRUE(readPicture(m_folder + "/screen.png", &screen));
    POINT origin{0, 0};
    ClientToScreen(results, &origin);
    ASSERT_EQ(origin.y, kNavBarHeight);
    int differing = 0;
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            if (picture.at(x, y) != screen.at(origin.x + x, origin.y + y)) ++differing;
        }
    }
    EXPECT_EQ(differing, 0);
    // Not a blank picture: the fitted curve and the markers are there.
    int curve = 0, markers = 0;
    for (int y = 50; y < 248; ++y) {
        for (int x = 60; x < 230; ++x) {
            curve += picture.at(x, y) == RGB(0, 0, 255);
            markers += picture.at(x, y) == RGB(180, 0, 0);
        }
    }
    EXPECT_GT(curve, 50);
    EXPECT_GE(markers, 5 * 9);
}

TEST_F(FitPlotFileTest, DefaultSizeIsTwiceTheHandheldWindow)
{
    enterPoints({{1, 3}, {2, 5.5}, {3, 7}});
    ASSERT_EQ(runFit("--plot '" + m_folder + "/big.png' --plot-residuals '" + m_folder + "/residuals.png'"), 0);
    Picture picture;
    ASSERT_TRUE(readPicture(m_folder + "/big.png", &picture));
    EXPECT_EQ(picture.width, 480);
    EXPECT_EQ(picture.height, 536);
    // The plot stretches with the window: its frame runs from x = 60 to 470 and y = 50 to 516.
    EXPECT_EQ(picture.at(300, 516), RGB(150, 150, 150));
    EXPECT_EQ(picture.at(470, 300), RGB(150, 150, 150));
    EXPECT_EQ(picture.at(475, 300), RGB(190, 180, 255));
    ASSERT_TRUE(readPicture(m_folder + "/residuals.png", &picture));
    EXPECT_EQ(picture.width, 480);
    EXPECT_EQ(picture.height, 536);
    // Residuals -1/6, 1/3, -1/6: the middle point's marker at the top of the frame, x = 265.
    EXPECT_EQ(picture.at(266, 51), RGB(180, 0, 0));
    EXPECT_EQ(picture.at(61, 516), RGB(180, 0, 0)) << "the first point at the bottom left corner";
}

} // namespace
