// SPDX-License-Identifier: GPL-3.0-or-later
// The file dialogs and the documents folder on the headless device, over a folder tree made for each test.
#include "test_controls_support.h"

#include "files/file_names.h"

#include <aygshell.h>
#include <commdlg.h>

#include <algorithm>
#include <cstdlib>
#include <sys/resource.h>
#include <sys/wait.h>
#include <filesystem>
#include <fstream>

using namespace controls_test;
namespace fs = std::filesystem;

namespace {

constexpr int kNameField = 1152;
constexpr int kFolderLine = 1091;
constexpr int kList = 1120;

std::wstring wide(const std::string& s)
{
    return std::wstring(s.begin(), s.end()); // the test tree uses ASCII names
}

class FileDialogTest : public DeviceTest {
protected:
    void SetUp() override
    {
        DeviceTest::SetUp();
        char pattern[] = "/tmp/kelvora-files-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_root = pattern;
        fs::create_directory(m_root + "/sub");
        for (const char* name : {"a.dat", "B.DAT", "notes.txt", ".hidden.dat", "sub/c.dat"})
            std::ofstream(m_root + "/" + name) << "0\n";
        wcscpy(m_file, L"Kelvora1");
    }
    void TearDown() override
    {
        fs::remove_all(m_root);
        DeviceTest::TearDown();
    }

    OPENFILENAMEW request(DWORD max_file = 1000)
    {
        OPENFILENAMEW r{};
        r.lStructSize = 76;
        r.hwndOwner = m_parent;
        r.lpstrFilter = L"Data files (*.dat)\0*.dat\0";
        r.lpstrFile = m_file;
        r.nMaxFile = max_file;
        m_initial_dir = wide(m_root);
        r.lpstrInitialDir = m_initial_dir.c_str();
        r.lpstrTitle = L"Load the file:";
        r.Flags = OFN_HIDEREADONLY;
        return r;
    }

    static HWND picker_item(int id) { return GetDlgItem(top_window(), id); }
    static std::vector<std::wstring> list_items()
    {
        std::vector<std::wstring> items;
        HWND list = picker_item(kList);
        const int count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            wchar_t text[256] = {};
            SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
            items.emplace_back(text);
        }
        return items;
    }
    // Taps a row of the list without pumping: the picker's own loop handles it.
    static void tap_row(int index)
    {
        HWND list = picker_item(kList);
        const int height = static_cast<int>(SendMessageW(list, LB_GETITEMHEIGHT, 0, 0));
        const POINT pt = on_screen(list, 30, index * height + height / 2);
        kelvora::device::tap(pt.x, pt.y);
    }

    static void tap_ok()
    {
        const POINT pt = on_screen(picker_item(IDOK), 5, 5);
        kelvora::device::tap(pt.x, pt.y);
    }

    std::string m_root;
    std::wstring m_initial_dir;
    wchar_t m_file[1000] = {};
};

TEST_F(FileDialogTest, ConfirmAndCancelFillTheBufferOnlyWhenConfirmed)
{
    struct Case {
        const char* name;
        std::function<void()> input;
        BOOL result;
        std::wstring file;
    };
    const std::wstring root = wide(m_root);
    const Case cases[] = {
        {"Enter confirms the offered name in the folder shown, with the filter's extension",
         [] { kelvora::device::key(VK_RETURN); }, TRUE, root + L"/Kelvora1.dat"},
        {"typing replaces the selected name", [] { kelvora::device::type(L"x.dat"); kelvora::device::key(VK_RETURN); },
         TRUE, root + L"/x.dat"},
        {"an absolute path is taken as it is",
         [] { kelvora::device::type(L"/tmp/elsewhere.dat"); kelvora::device::key(VK_RETURN); }, TRUE,
         L"/tmp/elsewhere.dat"},
        {"the OK button confirms", [] {
             const POINT pt = on_screen(picker_item(IDOK), 5, 5);
             kelvora::device::tap(pt.x, pt.y);
         }, TRUE, root + L"/Kelvora1.dat"},
        {"Escape cancels", [] { kelvora::device::type(L"y.dat"); kelvora::device::key(VK_ESCAPE); }, FALSE, L"Kelvora1"},
        {"the Cancel button cancels", [] {
             const POINT pt = on_screen(picker_item(IDCANCEL), 5, 5);
             kelvora::device::tap(pt.x, pt.y);
         }, FALSE, L"Kelvora1"},
    };
    for (const Case& c : cases) {
        wcscpy(m_file, L"Kelvora1");
        script().push_back(c.input);
        OPENFILENAMEW r = request();
        EXPECT_EQ(GetSaveFileNameW(&r), c.result) << c.name;
        EXPECT_EQ(std::wstring(m_file), c.file) << c.name;
        EXPECT_TRUE(IsWindowEnabled(m_parent)) << c.name;
    }
}

TEST_F(FileDialogTest, OpensWithTheNameFieldFocusedAndSelected)
{
    bool checked = false;
    script().push_back([&] {
        HWND name = picker_item(kNameField);
        EXPECT_EQ(GetFocus(), name);
        EXPECT_EQ(SendMessageW(name, EM_GETSEL, 0, 0), MAKELRESULT(0, 8));
        EXPECT_EQ(text_of(name), L"Kelvora1");
        EXPECT_EQ(kelvora::device::top_level_windows().front().title, L"Load the file:");
        RECT rc{};
        GetWindowRect(top_window(), &rc);
        EXPECT_EQ(rc.top, 26) << "full screen below the navigation bar";
        EXPECT_EQ(rc.right - rc.left, 240);
        checked = true;
        kelvora::device::key(VK_ESCAPE);
    });
    OPENFILENAMEW r = request();
    EXPECT_FALSE(GetOpenFileNameW(&r));
    EXPECT_TRUE(checked);
}

TEST_F(FileDialogTest, ListShowsTheWayUpFoldersAndMatchingFilesAndNavigates)
{
    const std::wstring root = wide(m_root);
    std::vector<std::vector<std::wstring>> lists;
    std::vector<std::wstring> folders, names;
    auto record = [&] {
        lists.push_back(list_items());
        folders.push_back(text_of(picker_item(kFolderLine)));
        names.push_back(text_of(picker_item(kNameField)));
    };
    const char* shots = std::getenv("KELVORA_SHOTS");
    script().push_back([&] {
        record();
        if (shots)
            kelvora::device::save_png(std::string(shots) + "/file_dialog_portrait.png");
        tap_row(1); // [sub]: highlighted, entered with OK
    });
    script().push_back([] { tap_ok(); });
    script().push_back([&] { record(); tap_row(1); }); // c.dat
    script().push_back([&] { record(); tap_row(0); }); // [..]
    script().push_back([] { tap_ok(); });
    script().push_back([&] {
        record();
        kelvora::device::rotate();
    });
    script().push_back([&] {
        if (shots)
            kelvora::device::save_png(std::string(shots) + "/file_dialog_landscape.png");
        // Keyboard from the name field: Tab to the list, Down twice to [sub], Enter enters it.
        const POINT name = on_screen(picker_item(kNameField), 5, 5);
        kelvora::device::tap(name.x, name.y);
    });
    script().push_back([] { kelvora::device::key(VK_TAB); });
    for (UINT vk : {VK_DOWN, VK_DOWN, VK_RETURN})
        script().push_back([vk] { kelvora::device::key(vk); });
    script().push_back([&] {
        record();
        tap_row(1);
        kelvora::device::key(VK_RETURN);
    });
    OPENFILENAMEW r = request();
    ASSERT_TRUE(GetOpenFileNameW(&r));
    EXPECT_EQ(std::wstring(m_file), root + L"/sub/c.dat");
    ASSERT_EQ(lists.size(), 5u);
    const std::vector<std::wstring> top{L"[..]", L"[sub]", L"a.dat", L"B.DAT"}, sub{L"[..]", L"c.dat"};
    EXPECT_EQ(lists[0], top) << "folders first, then the files the filter lets through, case-insensitively";
    EXPECT_EQ(folders[0], root);
    EXPECT_EQ(lists[1], sub);
    EXPECT_EQ(folders[1], root + L"/sub");
    EXPECT_EQ(names[2], L"c.dat") << "tapping a file puts its name in the name field";
    EXPECT_EQ(folders[3], root) << "the way up";
    EXPECT_EQ(folders[4], root + L"/sub") << "Enter on a highlighted folder enters it";
    EXPECT_EQ(r.nFileOffset, root.size() + 5);
    EXPECT_EQ(r.nFileExtension, root.size() + 5 + 2);
}

TEST_F(FileDialogTest, FilterChoosesTheFilesShown)
{
    struct Case {
        const char* name;
        const wchar_t* filter; // nullptr: no filter
        DWORD index;
        std::vector<std::wstring> files;
    };
    const Case cases[] = {
        {"no filter shows every visible file", nullptr, 0, {L"a.dat", L"B.DAT", L"notes.txt"}},
        {"several patterns", L"Data\0*.dat; *.TXT\0", 0, {L"a.dat", L"B.DAT", L"notes.txt"}},
        {"the second filter by index", L"Data\0*.dat\0Text\0*.txt\0", 2, {L"notes.txt"}},
        {"an index beyond the list falls back to the first", L"Data\0*.dat\0", 5, {L"a.dat", L"B.DAT"}},
        {"a pattern matches without regard to case", L"A\0A*\0", 1, {L"a.dat"}},
    };
    for (const Case& c : cases) {
        std::vector<std::wstring> shown;
        script().push_back([&] {
            for (const std::wstring& item : list_items())
                if (item.front() != L'[')
                    shown.push_back(item);
            kelvora::device::key(VK_ESCAPE);
        });
        OPENFILENAMEW r = request();
        r.lpstrFilter = c.filter;
        r.nFilterIndex = c.index;
        EXPECT_FALSE(GetOpenFileNameW(&r));
        EXPECT_EQ(shown, c.files) << c.name;
    }
}

// A name saved without an extension gets the one of the filter in force, else lpstrDefExt; a name
// with one stays as typed. The open dialog adds nothing.
TEST_F(FileDialogTest, SaveAddsTheFiltersExtensionToANameTypedWithoutOne)
{
    fs::create_directory(m_root + "/v1.2");
    struct Case {
        const char* name;
        const wchar_t* filter; // nullptr: no filter
        DWORD index;
        const wchar_t* default_extension;
        const wchar_t* typed;
        std::wstring saved; // below the root
    };
    const Case cases[] = {
        {"a bare name", L"Data\0*.dat\0", 0, nullptr, L"mydata", L"/mydata.dat"},
        {"a name with an extension", L"Data\0*.dat\0", 0, nullptr, L"mydata.txt", L"/mydata.txt"},
        {"a name ending in a dot", L"Data\0*.dat\0", 0, nullptr, L"mydata.", L"/mydata."},
        {"a dot in the folder, none in the name", L"Data\0*.dat\0", 0, nullptr, L"v1.2/x", L"/v1.2/x.dat"},
        {"the filter chosen by index", L"Data\0*.dat\0Text\0*.txt\0", 2, nullptr, L"mydata", L"/mydata.txt"},
        {"the first of several patterns", L"Data\0*.dat; *.TXT\0", 0, nullptr, L"mydata", L"/mydata.dat"},
        {"a wildcard filter leaves it to lpstrDefExt", L"All\0*.*\0", 0, L"csv", L"mydata", L"/mydata.csv"},
        {"lpstrDefExt written with its dot", L"All\0*\0", 0, L".csv", L"mydata", L"/mydata.csv"},
        {"neither names an extension", nullptr, 0, nullptr, L"mydata", L"/mydata"},
        {"the filter's extension before lpstrDefExt's", L"Data\0*.dat\0", 0, L"txt", L"x", L"/x.dat"},
    };
    for (const Case& c : cases) {
        wcscpy(m_file, L"Kelvora1");
        const std::wstring typed = c.typed;
        script().push_back([typed] {
            kelvora::device::type(typed);
            kelvora::device::key(VK_RETURN);
        });
        OPENFILENAMEW r = request();
        r.lpstrFilter = c.filter;
        r.nFilterIndex = c.index;
        r.lpstrDefExt = c.default_extension;
        ASSERT_TRUE(GetSaveFileNameW(&r)) << c.name;
        EXPECT_EQ(std::wstring(m_file), wide(m_root) + c.saved) << c.name;
    }

    wcscpy(m_file, L"Kelvora1");
    script().push_back([] {
        kelvora::device::type(L"mydata");
        kelvora::device::key(VK_RETURN);
    });
    OPENFILENAMEW r = request();
    ASSERT_TRUE(GetOpenFileNameW(&r));
    EXPECT_EQ(std::wstring(m_file), wide(m_root) + L"/mydata") << "the open dialog takes the name as typed";
}

// The question before replacing a file asks about the name that will be written, extension added.
TEST_F(FileDialogTest, OverwriteQuestionNamesTheFileWithItsAddedExtension)
{
    std::wstring asked;
    script().push_back([] {
        kelvora::device::type(L"a");
        kelvora::device::key(VK_RETURN);
    });
    script().push_back([&] {
        asked = kelvora::device::top_level_windows().front().title;
        kelvora::device::key(VK_RETURN); // Yes
    });
    OPENFILENAMEW r = request();
    r.Flags |= OFN_OVERWRITEPROMPT;
    ASSERT_TRUE(GetSaveFileNameW(&r));
    EXPECT_EQ(asked, L"File") << "a.dat exists: the user is asked first";
    EXPECT_EQ(std::wstring(m_file), wide(m_root) + L"/a.dat");
}

// A path longer than the caller's buffer is not handed back: the user is told and may pick a shorter
// name; the buffer is left as it was.
TEST_F(FileDialogTest, ResultLongerThanTheBufferIsToldAndLeavesItUntouched)
{
    const std::wstring full = wide(m_root) + L"/Kelvora1.dat"; // the extension counts too
    struct Case {
        DWORD max_file;
        BOOL result;
    };
    for (const Case& c : {Case{static_cast<DWORD>(full.size()), FALSE}, Case{static_cast<DWORD>(full.size() + 1), TRUE},
                          Case{9, FALSE}}) {
        wcscpy(m_file, L"Kelvora1");
        m_file[c.max_file] = L'#'; // a guard just past the buffer the dialog is told about
        std::wstring told;
        script().push_back([] { kelvora::device::key(VK_RETURN); });
        if (!c.result) {
            script().push_back([&] {
                told = kelvora::device::top_level_windows().front().title;
                kelvora::device::key(VK_RETURN); // closes the message
            });
            script().push_back([&] {
                EXPECT_NE(picker_item(kNameField), nullptr) << "the picker is still open";
                kelvora::device::key(VK_ESCAPE);
            });
        }
        OPENFILENAMEW r = request(c.max_file);
        EXPECT_EQ(GetSaveFileNameW(&r), c.result) << c.max_file;
        EXPECT_EQ(told, c.result ? L"" : L"File") << c.max_file << ": a message box tells the user";
        EXPECT_EQ(m_file[c.max_file], L'#') << "nothing written past nMaxFile " << c.max_file;
        m_file[c.max_file] = L'\0';
        EXPECT_EQ(std::wstring(m_file), c.result ? full : L"Kelvora1") << c.max_file;
    }
}

// A name whose bytes are not UTF-8 is listed with U+FFFD for them and still opens when chosen, from
// the list and when offered again from the file buffer.
TEST_F(FileDialogTest, NamesThatAreNotUtf8OpenWithTheirOwnBytes)
{
    const std::string bytes = "m\xff\xc3(.dat";
    std::ofstream(m_root + "/" + bytes) << "1\n2 3\n";
    const std::wstring label = L"m\uFFFD\uFFFD(.dat";
    std::vector<std::wstring> items;
    std::wstring field;
    script().push_back([&] {
        items = list_items();
        const auto at = std::find(items.begin(), items.end(), label);
        ASSERT_NE(at, items.end());
        tap_row(static_cast<int>(at - items.begin()));
    });
    script().push_back([&] {
        field = text_of(picker_item(kNameField));
        kelvora::device::key(VK_RETURN);
    });
    OPENFILENAMEW r = request();
    ASSERT_TRUE(GetOpenFileNameW(&r));
    EXPECT_EQ(field, label);
    auto content_of = [](const wchar_t* path) {
        std::string text;
        if (FILE* f = _wfopen(path, L"rt")) {
            for (int ch; (ch = fgetc(f)) != EOF;)
                text.push_back(static_cast<char>(ch));
            fclose(f);
        }
        return text;
    };
    EXPECT_EQ(content_of(m_file), "1\n2 3\n") << "the chosen name opens";

    script().push_back([&] {
        field = text_of(picker_item(kNameField));
        kelvora::device::key(VK_RETURN);
    });
    r = request();
    ASSERT_TRUE(GetOpenFileNameW(&r));
    EXPECT_EQ(field, label) << "offered again as shown before";
    EXPECT_EQ(content_of(m_file), "1\n2 3\n") << "and still opens";
}

TEST(FileNames, HostBytesSurviveTheWideName)
{
    struct Case {
        const char* name;
        std::string bytes;
        std::wstring shown;
    };
    const Case cases[] = {
        {"UTF-8", "Me\xc3\x9f \xe6\xb8\xa9 \xf0\x9f\x98\x80", L"Me\u00df \u6e29 \U0001F600"},
        {"Latin-1 byte", "caf\xe9.dat", L"caf\uFFFD.dat"},
        {"cut sequence at the end", "a\xe6\xb8", L"a\uFFFD\uFFFD"},
        {"overlong slash", "\xc0\xaf", L"\uFFFD\uFFFD"},
        {"encoded surrogate", "\xed\xa0\x80", L"\uFFFD\uFFFD\uFFFD"},
        {"beyond U+10FFFF", "\xf4\x90\x80\x80", L"\uFFFD\uFFFD\uFFFD\uFFFD"},
    };
    for (const Case& c : cases) {
        const std::wstring wide_name = platform::files::from_host_name(c.bytes);
        std::string back;
        EXPECT_TRUE(platform::files::to_host_name(wide_name, back)) << c.name;
        EXPECT_EQ(back, c.bytes) << c.name;
        EXPECT_EQ(platform::files::shown_name(wide_name), c.shown) << c.name;
    }
}

// A file-size limit makes the write fail with an error the program reports, not a signal that ends it.
TEST(FileSizeLimit, WritingPastItFailsInsteadOfEndingTheProgram)
{
    char pattern[] = "/tmp/kelvora-limit-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::wstring path = wide(std::string(pattern) + "/big.dat");
    const pid_t pid = fork();
    if (pid == 0) {
        kelvora::device::start_headless();
        const rlimit limit{65536, 65536};
        setrlimit(RLIMIT_FSIZE, &limit);
        FILE* file = _wfopen(path.c_str(), L"wt");
        if (file == nullptr)
            _exit(2);
        const std::string block(4096, 'x');
        bool failed = false;
        for (int i = 0; i < 64 && !failed; ++i)
            failed = fwrite(block.data(), 1, block.size(), file) != block.size();
        failed = fclose(file) != 0 || failed;
        _exit(failed ? 0 : 3);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    fs::remove_all(pattern);
    EXPECT_TRUE(WIFEXITED(status)) << "ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 0) << "the write reports its failure";
}

TEST_F(FileDialogTest, PathInTheFileBufferChoosesTheStartFolder)
{
    const std::wstring start = wide(m_root) + L"/sub/c.dat";
    wcscpy(m_file, start.c_str());
    std::wstring folder, name;
    script().push_back([&] {
        folder = text_of(picker_item(kFolderLine));
        name = text_of(picker_item(kNameField));
        kelvora::device::key(VK_ESCAPE);
    });
    OPENFILENAMEW r = request();
    EXPECT_FALSE(GetOpenFileNameW(&r));
    EXPECT_EQ(folder, wide(m_root) + L"/sub");
    EXPECT_EQ(name, L"c.dat");
    EXPECT_EQ(std::wstring(m_file), start);
}

class DocumentsFolderTest : public FileDialogTest {
protected:
    void SetUp() override
    {
        FileDialogTest::SetUp();
        for (const char* name : {"HOME", "XDG_CONFIG_HOME"}) {
            const char* value = std::getenv(name);
            m_saved.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
        }
        setenv("HOME", (m_root + "/home").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (m_root + "/config").c_str(), 1);
    }
    void TearDown() override
    {
        for (const auto& [name, value] : m_saved)
            value ? setenv(name.c_str(), value->c_str(), 1) : unsetenv(name.c_str());
        FileDialogTest::TearDown();
    }
    std::vector<std::pair<std::string, std::optional<std::string>>> m_saved;
};

TEST_F(DocumentsFolderTest, FollowsTheUserDirsFileAndCreatesTheFolder)
{
    struct Case {
        const char* user_dirs; // nullptr: no file
        std::string expected;
    };
    const Case cases[] = {
        {nullptr, m_root + "/home/Documents"},
        {"XDG_DOCUMENTS_DIR=\"$HOME/Papers\"\n", m_root + "/home/Papers"},
        {"# only comments\nXDG_DOCUMENTS_DIR=\"$HOME/\"\n", m_root + "/home/Documents"},
    };
    for (const Case& c : cases) {
        fs::remove_all(m_root + "/config");
        if (c.user_dirs) {
            fs::create_directories(m_root + "/config");
            std::ofstream(m_root + "/config/user-dirs.dirs") << c.user_dirs;
        }
        wchar_t path[260] = {};
        ASSERT_TRUE(SHGetSpecialFolderPath(nullptr, path, CSIDL_PERSONAL, FALSE));
        EXPECT_EQ(std::wstring(path), wide(c.expected));
        EXPECT_TRUE(fs::is_directory(c.expected)) << "created when missing";
    }
    wchar_t path[260] = {};
    EXPECT_FALSE(SHGetSpecialFolderPath(nullptr, path, 0x0026, FALSE));
}

std::string host_bytes(const wchar_t* name)
{
    std::string bytes;
    EXPECT_TRUE(platform::files::to_host_name(name, bytes));
    return bytes;
}

// Home folders as users have them: names that are not UTF-8, long paths. The folder handed back is
// the one created, byte for byte, and the picker opened on it, as the program opens it, saves there.
TEST_F(DocumentsFolderTest, OddHomeFoldersAreHandedBackByteForByte)
{
    const std::string part(80, 'h');
    const std::string long_home = m_root + "/" + part + "/" + part + "/" + part + "/" + part; // over 330 characters
    struct Case {
        const char* name;
        std::string home;
        const char* user_dirs; // nullptr: no file
        std::string expected;
    };
    const Case cases[] = {
        {"a Latin-1 byte in HOME", m_root + "/caf\xe9", nullptr, m_root + "/caf\xe9/Documents"},
        {"a HOME longer than MAX_PATH", long_home, nullptr, long_home + "/Documents"},
        {"a byte that is not UTF-8 in the user-dirs file", m_root + "/home", "XDG_DOCUMENTS_DIR=\"$HOME/Pap\xe9rs\"\n",
         m_root + "/home/Pap\xe9rs"},
    };
    for (const Case& c : cases) {
        setenv("HOME", c.home.c_str(), 1);
        fs::remove_all(m_root + "/config");
        if (c.user_dirs) {
            fs::create_directories(m_root + "/config");
            std::ofstream(m_root + "/config/user-dirs.dirs") << c.user_dirs;
        }
        wchar_t path[1000] = {};
        ASSERT_TRUE(SHGetSpecialFolderPath(nullptr, path, CSIDL_PERSONAL, FALSE)) << c.name;
        EXPECT_EQ(host_bytes(path), c.expected) << c.name;
        EXPECT_TRUE(fs::is_directory(c.expected)) << c.name << ": created when missing";

        wcscpy(m_file, L"Kelvora1");
        script().push_back([] { kelvora::device::key(VK_RETURN); });
        OPENFILENAMEW r = request();
        r.lpstrInitialDir = path;
        ASSERT_TRUE(GetSaveFileNameW(&r)) << c.name;
        EXPECT_EQ(host_bytes(m_file), c.expected + "/Kelvora1.dat") << c.name;
    }
}

// Without a documents folder the picker says so and takes no bare name: nothing may be saved in the
// folder the program happened to be started from. A full path still works.
TEST_F(DocumentsFolderTest, UnreachableDocumentsFolderIsToldAndTheWorkingFolderIsLeftAlone)
{
    std::ofstream(m_root + "/file") << "x";
    const fs::path started_in = fs::current_path();
    fs::create_directory(m_root + "/working");
    fs::current_path(m_root + "/working");
    struct Case {
        const char* name;
        std::string home;
    };
    const Case cases[] = {
        {"a home folder below a file", m_root + "/file/home"},
        {"a relative home folder", "relative/home"},
    };
    for (const Case& c : cases) {
        setenv("HOME", c.home.c_str(), 1);
        wchar_t path[1000] = L"an earlier folder";
        EXPECT_FALSE(SHGetSpecialFolderPath(nullptr, path, CSIDL_PERSONAL, FALSE)) << c.name;
        EXPECT_STREQ(path, L"") << c.name;

        wcscpy(m_file, L"Kelvora1");
        std::wstring folder_line, told;
        std::vector<std::wstring> rows;
        script().push_back([&] {
            folder_line = text_of(picker_item(kFolderLine));
            rows = list_items();
            kelvora::device::key(VK_RETURN); // the offered bare name
        });
        script().push_back([&] {
            told = kelvora::device::top_level_windows().front().title;
            kelvora::device::key(VK_RETURN); // closes the message
        });
        const std::wstring full_path = wide(m_root) + L"/saved.dat";
        script().push_back([&] {
            kelvora::device::type(full_path);
            kelvora::device::key(VK_RETURN);
        });
        OPENFILENAMEW r = request();
        r.lpstrInitialDir = path;
        EXPECT_TRUE(GetSaveFileNameW(&r)) << c.name;
        EXPECT_EQ(folder_line.rfind(L"No documents folder: ", 0), 0u) << c.name << ": " << testing::PrintToString(folder_line);
        EXPECT_EQ(rows, std::vector<std::wstring>{L"[..]"}) << c.name << ": only the way to the root";
        EXPECT_EQ(told, L"File") << c.name << ": the bare name is refused with a message";
        EXPECT_EQ(std::wstring(m_file), full_path) << c.name;
        EXPECT_TRUE(fs::is_empty(m_root + "/working")) << c.name << ": nothing made in the working folder";
    }
    fs::current_path(started_in);
}

// Where only Documents is kept (the web page), the picker never leaves it: no way up from it, a start
// folder outside it gives way to it, and a name that leads out is refused with a message.
TEST_F(DocumentsFolderTest, PickersThatKeepToDocumentsNeverLeaveIt)
{
    kelvora::device::keep_only_documents(true);
    const std::string documents = m_root + "/home/Documents";
    fs::create_directories(documents + "/inner");
    struct Case {
        const char* name;
        std::wstring typed;       // after the first look
        bool refused;             // a message says why, and the picker stays
        std::wstring saved;       // the path handed back ("" with Cancel)
    };
    const std::wstring docs = wide(documents);
    const Case cases[] = {
        {"a name in Documents", L"kept.dat", false, docs + L"/kept.dat"},
        {"a name in a folder of Documents", L"inner/kept.dat", false, docs + L"/inner/kept.dat"},
        {"the way up typed", L"../out.dat", true, L""},
        {"a full path elsewhere", wide(m_root) + L"/out.dat", true, L""},
        {"a folder elsewhere", L"/tmp", true, L""},
    };
    for (const Case& c : cases) {
        wcscpy(m_file, L"Kelvora1");
        std::wstring folder_line, told;
        std::vector<std::wstring> rows;
        script().push_back([&] {
            folder_line = text_of(picker_item(kFolderLine));
            rows = list_items();
            kelvora::device::type(c.typed);
            kelvora::device::key(VK_RETURN);
        });
        if (c.refused) {
            script().push_back([&] {
                told = kelvora::device::top_level_windows().front().title;
                kelvora::device::key(VK_RETURN); // closes the message
            });
            script().push_back([] { kelvora::device::key(VK_ESCAPE); });
        }
        OPENFILENAMEW r = request(); // its initial folder, the test's root, lies outside Documents
        EXPECT_EQ(GetSaveFileNameW(&r), !c.refused) << c.name;
        EXPECT_EQ(folder_line, docs) << c.name << ": the picker opens in Documents";
        EXPECT_EQ(rows, std::vector<std::wstring>{L"[inner]"}) << c.name << ": no way up out of Documents";
        EXPECT_EQ(told, c.refused ? L"File" : L"") << c.name;
        EXPECT_EQ(c.refused ? std::wstring() : std::wstring(m_file), c.saved) << c.name;
    }
}

} // namespace

// A tap a row off, on the list's border above "[..]", selects nothing; a tap on "[..]" highlights it
// and only OK goes up. The folder line shows a long folder cut with an ellipsis.
TEST_F(FileDialogTest, AFolderChangesOnlyWithOkAfterItsRowIsTapped)
{
    struct Seen {
        std::wstring folder;
        LRESULT selected;
    };
    std::vector<Seen> seen;
    auto record = [&] {
        seen.push_back({text_of(picker_item(kFolderLine)), SendMessageW(picker_item(kList), LB_GETCURSEL, 0, 0)});
    };
    script().push_back([] {
        const POINT border = on_screen(picker_item(kList), 30, -1);
        kelvora::device::tap(border.x, border.y);
    });
    script().push_back([&] {
        record();
        tap_row(0);
    });
    script().push_back([&] {
        record();
        tap_ok();
    });
    script().push_back([&] {
        record();
        kelvora::device::key(VK_ESCAPE);
    });
    OPENFILENAMEW r = request();
    EXPECT_FALSE(GetOpenFileNameW(&r));
    const std::wstring root = wide(m_root);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].folder, root);
    EXPECT_EQ(seen[0].selected, LB_ERR) << "the border is no row";
    EXPECT_EQ(seen[1].folder, root) << "a tap only highlights [..]";
    EXPECT_EQ(seen[1].selected, 0);
    EXPECT_EQ(seen[2].folder, root.substr(0, root.rfind(L'/'))) << "OK goes up";
}
