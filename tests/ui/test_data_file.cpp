// SPDX-License-Identifier: GPL-3.0-or-later
// The Load command end to end: the file dialog, what is loaded, the current point, and the box that
// tells a file that does not match its count.
#include "ui_test_support.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "data_file.h"
#include "main_window.h"

namespace device = kelvora::device;

namespace {

constexpr int kPickerNameField = 1152;

// The documents folder the dialogs open in is made inside the test's own home folder.
class LoadTest : public ProgramTest {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/kelvora-load-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_folder = pattern;
        for (const char* name : {"HOME", "XDG_CONFIG_HOME"}) {
            const char* value = std::getenv(name);
            m_savedEnvironment.emplace_back(name, value != nullptr ? value : "");
        }
        setenv("HOME", m_folder.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (m_folder + "/.config").c_str(), 1);
        ProgramTest::SetUp();
    }
    void TearDown() override
    {
        ProgramTest::TearDown();
        for (const auto& [name, value] : m_savedEnvironment) {
            if (value.empty()) {
                unsetenv(name.c_str());
            } else {
                setenv(name.c_str(), value.c_str(), 1);
            }
        }
        std::filesystem::remove_all(m_folder);
    }

    // Three points, the last one current.
    void startWithThreePoints()
    {
        g_app.points.pointCount = 3;
        for (int i = 0; i < 3; i++) {
            g_app.points.x[i] = -1 - i;
            g_app.points.y[i] = -10 - i;
        }
        g_app.points.currentIndex = 2;
        refreshEntryFields(mainWindow());
        device::pump();
    }

    // Loads text through the Load command, typing the file's full name into the dialog. When a box
    // is expected, it is answered with Enter and its title returned.
    std::wstring load(const std::string& text, bool boxExpected)
    {
        const std::string path = m_folder + "/points.dat";
        std::ofstream(path) << text;
        const std::wstring name(path.begin(), path.end());
        std::wstring boxTitle;
        whenWaiting([name] {
            device::type(name);
            device::key(VK_RETURN);
        });
        if (boxExpected) {
            whenWaiting([this, &boxTitle] {
                HWND box = frontWindow();
                EXPECT_EQ(GetDlgItem(box, kPickerNameField), nullptr) << "the file dialog is still open";
                EXPECT_NE(GetDlgItem(box, IDOK), nullptr);
                boxTitle = windowText(box);
                device::key(VK_RETURN);
            });
        }
        SendMessageW(mainWindow(), WM_COMMAND, MAKEWPARAM(IDM_LOAD, 0), 0);
        device::pump();
        return boxTitle;
    }

    std::string m_folder;
    std::vector<std::pair<std::string, std::string>> m_savedEnvironment;
};

struct LoadCase {
    const char* name;
    const char* text;
    bool told;      // a box says what happened
    int count;      // pointCount afterwards
    double x0, y0;  // the first point afterwards
};

class LoadCaseTest : public LoadTest, public ::testing::WithParamInterface<LoadCase> {};

TEST_P(LoadCaseTest, LoadsTheCountedPointsAndTellsWhatDoesNotMatch)
{
    const LoadCase& c = GetParam();
    startWithThreePoints();
    EXPECT_EQ(load(c.text, c.told), c.told ? L"Load the file:" : L"");
    EXPECT_FALSE(device::quit_requested());
    EXPECT_EQ(g_app.points.pointCount, c.count);
    EXPECT_EQ(g_app.points.currentIndex, 0);
    EXPECT_EQ(g_app.points.x[0], c.x0);
    EXPECT_EQ(g_app.points.y[0], c.y0);
    EXPECT_EQ(text(IDC_COUNT_FIELD), std::to_wstring(c.count));
    EXPECT_EQ(frontWindow(), mainWindow());
}

INSTANTIATE_TEST_SUITE_P(
    Files, LoadCaseTest,
    ::testing::Values(LoadCase{"MatchingCount", "2\n1 3\n2 5\n", false, 2, 1, 3},
                      LoadCase{"CommentLineAtTheEnd", "2\n1 3\n2 5\n# two runs, 7 samples\n", false, 2, 1, 3},
                      LoadCase{"TwoColumnsWithoutTheCountLine", "1 2\n3 4\n5 6\n", true, 1, 2, 3},
                      LoadCase{"OneExtraNumber", "2\n1 3\n2 5\n7\n", true, 2, 1, 3},
                      LoadCase{"FewerPointsThanTheCount", "5\n1 3\n2 5\n", true, 2, 1, 3},
                      LoadCase{"NoCountLeavesThePoints", "x y\n1 3\n", true, 3, -1, -10},
                      LoadCase{"FractionalCountLeavesThePoints", "4.5\n0 2\n1 5\n2 8\n3 11\n", true, 3, -1, -10},
                      LoadCase{"TextAmongThePointsKeepsThoseBefore", "3\n1 3\n2 4x\n5 6\n", true, 1, 1, 3}),
    [](const auto& info) { return std::string(info.param.name); });

// A results window left open behind the main window shows the loaded points at its next paint, with the
// bounds a results window opened anew on them has.
TEST_F(LoadTest, ResultsWindowOpenBehindShowsTheLoadedPoints)
{
    enterPoints({{1, 3}, {2, 5}, {3, 7}});
    tapControl(IDC_CALCULATE);
    HWND results = frontWindow();
    SetForegroundWindow(mainWindow());
    device::pump();
    load("3\n1 3\n2 5\n3 70\n", false); // as many points, the last far above the fitted line
    SetForegroundWindow(results);
    InvalidateRect(results, nullptr, FALSE);
    UpdateWindow(results);
    device::pump();
    // Y now spans 3..70 over pixels 248..50: the middle point's marker starts at (145, 242), not at
    // (145, 149) where the old span 3..7 put it.
    POINT middle{146, 243};
    ClientToScreen(results, &middle);
    EXPECT_EQ(device::pixel(middle.x, middle.y), RGB(180, 0, 0));
    POINT old{146, 150};
    ClientToScreen(results, &old);
    EXPECT_NE(device::pixel(old.x, old.y), RGB(180, 0, 0));
}

struct MessageCase {
    PointsFileStatus status;
    int declared;
    int loaded;
    std::wstring text;
    int line = 0;
    const char* token = nullptr;
};

// Each box says its count once, what was loaded, where reading stopped, and for a refused file that
// the points are unchanged.
TEST(LoadMessages, SayWhatHappenedInOneSentence)
{
    const std::wstring question = L"were its columns written without the count line?";
    const MessageCase cases[] = {
        {POINTS_FILE_SHORT, 5, 2,
         L"The file's count is 5, but it holds only 2 complete points; they were loaded."},
        {POINTS_FILE_SHORT, 5, 1,
         L"The file's count is 5, but it holds only 1 complete point; it was loaded."},
        {POINTS_FILE_SHORT, 3, 0,
         L"The file's count is 3, but it holds no complete point: the table is now empty."},
        {POINTS_FILE_READ_ERROR, 9, 4, L"Reading the file failed after 4 complete points; they were loaded."},
        {POINTS_FILE_EXTRA_NUMBERS, 1, 1,
         L"The file holds more numbers than its count of 1 point: " + question +
             L" Only that point was loaded."},
        {POINTS_FILE_EXTRA_NUMBERS, 5, 5,
         L"The file holds more numbers than its count of 5 points: " + question +
             L" Only those points were loaded."},
        {POINTS_FILE_EXTRA_NUMBERS, 0, 0,
         L"The file's count is 0, but numbers follow it: " + question + L" The table is now empty."},
        {POINTS_FILE_NOT_A_NUMBER, 3, 1,
         L"Line 3: \"4x\" is not a number; reading stopped there after 1 complete point: it was loaded.", 3, "4x"},
        {POINTS_FILE_NOT_A_NUMBER, 3, 0, L"Line 2: \"#\" is not a number; reading stopped there: the table is now empty.",
         2, "#"},
        {POINTS_FILE_BAD_COUNT, 4, 3,
         L"Line 1: the number of points \"4.5\" is not a whole number.\nThe points are unchanged.", 1, "4.5"},
        {POINTS_FILE_NO_COUNT, 0, 3,
         L"The file does not start with the number of points.\nThe points are unchanged."},
        {POINTS_FILE_COUNT_TOO_LARGE, 0, 3,
         L"The file holds more than " + std::to_wstring(POINT_CAPACITY) + L" points.\nThe points are unchanged."},
        {POINTS_FILE_CANNOT_OPEN, 0, 3, L"The file cannot be opened or read.\nThe points are unchanged."},
    };
    for (const MessageCase& c : cases) {
        PointsFileReport report = {c.declared, c.line, ""};
        if (c.token != nullptr) strcpy(report.token, c.token);
        WCHAR message[512];
        describeLoad(message, 512, c.status, &report, c.loaded);
        EXPECT_EQ(message, c.text);
    }
}

} // namespace
