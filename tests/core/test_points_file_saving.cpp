// SPDX-License-Identifier: GPL-3.0-or-later
// Opening and saving points files under abuse: names that are no regular file, planted links, symbolic
// links, modes and owners, the longest names, read-only places and a full disk. The old file survives.
#include <gtest/gtest.h>
#include <errno.h>
#include <signal.h>
#include <string.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <filesystem>
#include <functional>

#include "app_state.h"
#include "points_file.h"
#include "test_support.h"

namespace fs = std::filesystem;

namespace {

const uid_t NOBODY = 65534;

// Runs body in a child process and returns its exit code; -1 when the child was killed or still ran
// after `seconds` (it is then killed), so a call that hangs fails the test instead of stopping it.
int exitCodeOfChild(const std::function<int()>& body, int seconds = 10)
{
    pid_t pid = fork();
    if (pid == 0) _exit(body());
    int status = 0;
    for (int waited = 0; waited < seconds * 100; ++waited) {
        if (waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        usleep(10000);
    }
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return -1;
}

size_t entryCount(const std::string& folder)
{
    return (size_t)std::distance(fs::directory_iterator(folder), fs::directory_iterator());
}

class Saving : public testing::Test {
protected:
    void SetUp() override
    {
        folder = makeTempFolder();
        ASSERT_FALSE(folder.empty());
        resetAppState();
        setPoints(3);
    }
    void TearDown() override { removeFolder(folder); }

    std::string pathOf(const std::string& name) const { return folder + "/" + name; }
    PointsFileStatus save(const std::string& path) { return savePointsFile(widen(path).c_str(), &g_app.points); }

    void setPoints(int count)
    {
        for (int i = 0; i < count; ++i) {
            g_app.points.x[i] = i;
            g_app.points.y[i] = i * 0.5;
        }
        g_app.points.pointCount = count;
    }

    std::string folder;
    const std::string saved = "3\n0 0\n1 0.5\n2 1\n";
    const std::string old = "1\r\n4 5\n\t\xff old bytes kept as they are\n";
};

TEST_F(Saving, LoadRefusesWhatIsNoRegularFileWithoutWaiting)
{
    ASSERT_EQ(mkfifo(pathOf("pipe.dat").c_str(), 0600), 0);
    fs::create_directory(pathOf("folder.dat"));
    fs::create_symlink("/dev/zero", pathOf("device.dat"));
    fs::create_symlink("pipe.dat", pathOf("link-to-pipe.dat"));
    for (const char* name : {"pipe.dat", "folder.dat", "device.dat", "link-to-pipe.dat"}) {
        g_app.points.pointCount = 7;
        int code = exitCodeOfChild([&] {
            PointsFileStatus status = loadPointsFile(widen(pathOf(name)).c_str(), &g_app.points, nullptr);
            return g_app.points.pointCount == 7 ? (int)status : 99;
        });
        EXPECT_EQ(code, POINTS_FILE_CANNOT_OPEN) << name << " (-1: the load hung)";
    }
}

TEST_F(Saving, PlantedLinksBesideTheTargetAreNeverFollowed)
{
    fs::create_directory(pathOf("elsewhere"));
    writeWholeFile(pathOf("elsewhere/victim.txt"), old);
    writeWholeFile(pathOf("keep.dat"), old);
    // Where a save once put its temporary file, and names like the ones it uses now.
    for (const char* planted : {"keep.dat.kvtmp", ".kv00000000.tmp", ".kvffffffff.tmp"})
        fs::create_symlink(pathOf("elsewhere/victim.txt"), pathOf(planted));
    ASSERT_EQ(save(pathOf("keep.dat")), POINTS_FILE_OK);
    EXPECT_EQ(readWholeFile(pathOf("keep.dat")), saved);
    EXPECT_EQ(readWholeFile(pathOf("elsewhere/victim.txt")), old);
    EXPECT_EQ(entryCount(folder), 5u) << "the temporary file is gone, the planted links are left alone";
}

// A pipe or a device under the chosen name is never replaced by a regular file.
TEST_F(Saving, WhatIsNoRegularFileIsNotReplaced)
{
    ASSERT_EQ(mkfifo(pathOf("pipe.dat").c_str(), 0600), 0);
    EXPECT_EQ(save(pathOf("pipe.dat")), POINTS_FILE_REPLACE_FAILED);
    EXPECT_TRUE(fs::is_fifo(pathOf("pipe.dat")));
    EXPECT_EQ(entryCount(folder), 1u);
}

TEST(WideOpen, CreateOnlyModeNeverOpensAnExistingName)
{
    std::string folder = makeTempFolder();
    writeWholeFile(folder + "/file", "kept");
    fs::create_symlink(folder + "/file", folder + "/link");
    fs::create_symlink(folder + "/nothing", folder + "/dangling");
    for (const char* name : {"file", "link", "dangling"}) {
        errno = 0;
        EXPECT_EQ(_wfopen(widen(folder + "/" + name).c_str(), L"wtx"), nullptr) << name;
        EXPECT_EQ(errno, EEXIST) << name;
    }
    EXPECT_EQ(readWholeFile(folder + "/file"), "kept");
    EXPECT_FALSE(fs::exists(folder + "/nothing")) << "a dangling link does not create its target";
    FILE* created = _wfopen(widen(folder + "/new").c_str(), L"wtx");
    EXPECT_NE(created, nullptr);
    if (created != nullptr) fclose(created);
    removeFolder(folder);
}

TEST_F(Saving, ReplacedFileKeepsItsModeAndOwner)
{
    for (mode_t mode : {0600, 0640, 0660, 0604, 0755}) {
        writeWholeFile(pathOf("kept.dat"), old);
        ASSERT_EQ(chmod(pathOf("kept.dat").c_str(), mode), 0);
        ASSERT_EQ(save(pathOf("kept.dat")), POINTS_FILE_OK);
        struct stat info;
        ASSERT_EQ(stat(pathOf("kept.dat").c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, mode) << std::oct << mode;
    }
    if (geteuid() != 0) return; // only a privileged user may give the new file another owner
    ASSERT_EQ(chown(pathOf("kept.dat").c_str(), 1234, 2345), 0);
    ASSERT_EQ(save(pathOf("kept.dat")), POINTS_FILE_OK);
    struct stat info;
    ASSERT_EQ(stat(pathOf("kept.dat").c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, 1234u);
    EXPECT_EQ(info.st_gid, 2345u);
}

TEST_F(Saving, SymbolicLinksAreSavedThroughToTheirTarget)
{
    struct Case {
        const char* name;
        const char* link;
        std::string pointsTo;
        const char* target;
    };
    fs::create_directory(pathOf("other"));
    const Case cases[] = {
        {"link beside its target", "same.dat", "target.dat", "target.dat"},
        {"relative link into another folder", "rel.dat", "other/target.dat", "other/target.dat"},
        {"absolute link", "abs.dat", pathOf("other/abs-target.dat"), "other/abs-target.dat"},
        {"link to a link", "chain.dat", "same.dat", "target.dat"},
    };
    for (const Case& c : cases) {
        writeWholeFile(pathOf(c.target), old);
        if (!fs::is_symlink(pathOf(c.link))) fs::create_symlink(c.pointsTo, pathOf(c.link));
        const size_t here = entryCount(folder), there = entryCount(pathOf("other"));
        ASSERT_EQ(save(pathOf(c.link)), POINTS_FILE_OK) << c.name;
        EXPECT_TRUE(fs::is_symlink(pathOf(c.link))) << c.name;
        EXPECT_EQ(readWholeFile(pathOf(c.target)), saved) << c.name;
        EXPECT_EQ(entryCount(folder), here) << c.name << ": nothing left behind";
        EXPECT_EQ(entryCount(pathOf("other")), there) << c.name << ": nothing left behind";
    }
}

TEST_F(Saving, NamesUpToTheFileSystemLimitSave)
{
    for (size_t length : {250, 254, 255}) {
        std::string name = std::string(length - 4, 'n') + ".dat";
        EXPECT_EQ(save(pathOf(name)), POINTS_FILE_OK) << length;
        EXPECT_EQ(readWholeFile(pathOf(name)), saved) << length;
    }
    EXPECT_EQ(save(pathOf(std::string(256, 'n'))), POINTS_FILE_NAME_TOO_LONG);
    EXPECT_EQ(entryCount(folder), 3u) << "nothing left behind";
}

// Run as an unprivileged user (a child that drops root), for whom permissions hold.
TEST_F(Saving, ReadOnlyPlacesKeepTheOldFileByteForByte)
{
    struct Case {
        const char* name;
        mode_t folderMode;
        mode_t fileMode;
        PointsFileStatus expected;
    };
    const Case cases[] = {
        {"read-only folder", 0555, 0666, POINTS_FILE_CANNOT_CREATE},
        {"read-only file", 0777, 0444, POINTS_FILE_REPLACE_FAILED},
    };
    ASSERT_EQ(chmod(folder.c_str(), 0755), 0);
    for (const Case& c : cases) {
        std::string place = pathOf(c.name);
        fs::create_directory(place);
        writeWholeFile(place + "/data.dat", old);
        ASSERT_EQ(chmod((place + "/data.dat").c_str(), c.fileMode), 0);
        ASSERT_EQ(chmod(place.c_str(), c.folderMode), 0);
        int code = exitCodeOfChild([&] {
            if (geteuid() == 0 && (setgid(NOBODY) != 0 || setuid(NOBODY) != 0)) return 98;
            return (int)save(place + "/data.dat");
        });
        EXPECT_EQ(code, c.expected) << c.name;
        EXPECT_EQ(readWholeFile(place + "/data.dat"), old) << c.name;
        EXPECT_EQ(entryCount(place), 1u) << c.name;
        chmod(place.c_str(), 0755);
    }
}

TEST_F(Saving, FullDiskKeepsTheOldFileByteForByte)
{
    std::string small = pathOf("small");
    fs::create_directory(small);
    if (mount("tmpfs", small.c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "no small tmpfs can be mounted here (" << strerror(errno) << "); the full disk is not tried";
    writeWholeFile(small + "/data.dat", old);
    setPoints(100000);
    EXPECT_EQ(save(small + "/data.dat"), POINTS_FILE_WRITE_FAILED);
    EXPECT_EQ(readWholeFile(small + "/data.dat"), old);
    EXPECT_EQ(entryCount(small), 1u);
    umount2(small.c_str(), MNT_DETACH);
}

} // namespace
