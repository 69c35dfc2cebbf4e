// SPDX-License-Identifier: GPL-3.0-or-later
// Threads, positioned reads of an open stream and memory brought in ahead: what a second reader of a
// large file relies on, and how each call refuses a handle that is not its own.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

struct Counter {
    std::atomic<int> runs {0};
    std::atomic<bool> release {false};
};

DWORD WINAPI countAndWait(LPVOID parameter)
{
    Counter* counter = static_cast<Counter*>(parameter);
    counter->runs++;
    while (!counter->release)
        usleep(1000);
    return 42;
}

TEST(Threads, RunWaitAndCloseAsOnTheDesktop)
{
    Counter counter;
    HANDLE thread = CreateThread(nullptr, 0, countAndWait, &counter, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    DWORD code = 0;
    EXPECT_EQ(WaitForSingleObject(thread, 0), (DWORD)WAIT_TIMEOUT);
    ASSERT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, (DWORD)STILL_ACTIVE);
    counter.release = true;
    EXPECT_EQ(WaitForSingleObject(thread, INFINITE), (DWORD)WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(thread, 0), (DWORD)WAIT_OBJECT_0); // signalled for good
    ASSERT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, 42u);
    EXPECT_EQ(counter.runs, 1);
    EXPECT_TRUE(CloseHandle(thread));

    // The closed handle and made-up ones are refused, never followed.
    EXPECT_FALSE(CloseHandle(thread));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_FAILED);
    EXPECT_FALSE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(ResumeThread(thread), (DWORD)-1);
    EXPECT_EQ(SetThreadAffinityMask(thread, 1), (DWORD_PTR)0);
    EXPECT_EQ(WaitForSingleObject(reinterpret_cast<HANDLE>(uintptr_t(0xA0A1)), 0), WAIT_FAILED);
    EXPECT_EQ(CreateThread(nullptr, 0, nullptr, nullptr, 0, nullptr), nullptr);
    EXPECT_EQ(CreateThread(nullptr, 0, countAndWait, &counter, 0x10000, nullptr), nullptr);
}

TEST(Threads, ASuspendedThreadStartsWhereItIsPlaced)
{
    Counter counter;
    counter.release = true;
    HANDLE thread = CreateThread(nullptr, 0, countAndWait, &counter, CREATE_SUSPENDED, nullptr);
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(WaitForSingleObject(thread, 20), (DWORD)WAIT_TIMEOUT);
    EXPECT_EQ(counter.runs, 0);
    DWORD_PTR processes = 0, system = 0;
    ASSERT_TRUE(GetProcessAffinityMask(GetCurrentProcess(), &processes, &system));
    ASSERT_NE(processes, (DWORD_PTR)0);
    DWORD_PTR one = processes & (~processes + 1); // its lowest processor
    EXPECT_EQ(SetThreadAffinityMask(thread, one), processes);
    EXPECT_EQ(SetThreadAffinityMask(thread, 0), (DWORD_PTR)0); // no processor at all
    EXPECT_EQ(ResumeThread(thread), 1u);
    EXPECT_EQ(ResumeThread(thread), 0u);
    EXPECT_EQ(WaitForSingleObject(thread, INFINITE), (DWORD)WAIT_OBJECT_0);
    EXPECT_EQ(counter.runs, 1);
    EXPECT_TRUE(CloseHandle(thread));
    EXPECT_LT(GetCurrentProcessorNumber(), (DWORD)(sizeof(DWORD_PTR) * 8));
    EXPECT_FALSE(GetProcessAffinityMask(nullptr, &processes, &system));
}

// A file of numbered bytes, opened as a stream.
struct NumberedFile {
    std::string path = testing::TempDir() + "kelvora-stream-handle.bin";
    FILE* stream = nullptr;

    NumberedFile()
    {
        FILE* out = fopen(path.c_str(), "wb");
        for (int i = 0; i < 300; ++i)
            fputc(i % 256, out);
        fclose(out);
        stream = fopen(path.c_str(), "rb");
    }
    ~NumberedFile()
    {
        fclose(stream);
        remove(path.c_str());
    }
};

TEST(StreamHandles, ReadAtAnOffsetLeavesTheStreamWhereItWas)
{
    NumberedFile file;
    ASSERT_NE(file.stream, nullptr);
    EXPECT_EQ(fgetc(file.stream), 0);
    HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file.stream)));
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetFileType(handle), (DWORD)FILE_TYPE_DISK);
    LARGE_INTEGER size;
    ASSERT_TRUE(GetFileSizeEx(handle, &size));
    EXPECT_EQ(size.QuadPart, 300);

    unsigned char bytes[16] = {};
    DWORD got = 0;
    OVERLAPPED at = {};
    at.Offset = 290;
    ASSERT_TRUE(ReadFile(handle, bytes, sizeof bytes, &got, &at));
    EXPECT_EQ(got, 10u);
    EXPECT_EQ(bytes[0], 290 % 256);
    at.Offset = 300;
    EXPECT_FALSE(ReadFile(handle, bytes, sizeof bytes, &got, &at));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_HANDLE_EOF);
    EXPECT_EQ(got, 0u);
    EXPECT_EQ(fgetc(file.stream), 1); // the stream read on from where it stood

    // The handle belongs to the stream: CloseHandle leaves it open.
    EXPECT_FALSE(CloseHandle(handle));
    at.Offset = 0;
    EXPECT_TRUE(ReadFile(handle, bytes, 4, &got, &at));
}

TEST(StreamHandles, OtherHandlesAreRefused)
{
    EXPECT_EQ(_get_osfhandle(-1), reinterpret_cast<intptr_t>(INVALID_HANDLE_VALUE));
    EXPECT_EQ(_get_osfhandle(1 << 20), reinterpret_cast<intptr_t>(INVALID_HANDLE_VALUE));
    EXPECT_EQ(_fileno(nullptr), -1);
    char byte;
    DWORD got = 7;
    const HANDLE made_up[] = {nullptr, INVALID_HANDLE_VALUE, reinterpret_cast<HANDLE>(uintptr_t(0x91)),
                              reinterpret_cast<HANDLE>(uintptr_t(0x12345690))};
    for (HANDLE handle : made_up) {
        EXPECT_FALSE(ReadFile(handle, &byte, 1, &got, nullptr));
        EXPECT_EQ(got, 0u);
        EXPECT_EQ(GetFileType(handle), (DWORD)FILE_TYPE_UNKNOWN);
    }
    // A descriptor closed since its handle was made is refused too.
    int pipes[2];
    ASSERT_EQ(pipe(pipes), 0);
    HANDLE reading = reinterpret_cast<HANDLE>(_get_osfhandle(pipes[0]));
    EXPECT_EQ(GetFileType(reading), (DWORD)FILE_TYPE_PIPE);
    close(pipes[0]);
    close(pipes[1]);
    EXPECT_FALSE(ReadFile(reading, &byte, 1, &got, nullptr));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
}

TEST(PrefetchVirtualMemory, BringsMemoryInAndKeepsWhatItHolds)
{
    std::vector<double> values(1 << 18);
    for (size_t i = 0; i < values.size(); i += 1000)
        values[i] = (double)i;
    static double untouched[1 << 18]; // never written: reads as zero before and after
    WIN32_MEMORY_RANGE_ENTRY ranges[] = {{values.data(), values.size() * sizeof(double)},
                                         {untouched, sizeof untouched},
                                         {untouched, 0},
                                         {reinterpret_cast<char*>(untouched) + 1, 100}};
    EXPECT_TRUE(PrefetchVirtualMemory(GetCurrentProcess(), 4, ranges, 0));
    for (size_t i = 0; i < values.size(); i += 1000)
        ASSERT_EQ(values[i], (double)i);
    EXPECT_EQ(untouched[12345], 0.0);
    EXPECT_FALSE(PrefetchVirtualMemory(nullptr, 1, ranges, 0));
    EXPECT_FALSE(PrefetchVirtualMemory(GetCurrentProcess(), 1, nullptr, 0));
    EXPECT_FALSE(PrefetchVirtualMemory(GetCurrentProcess(), 1, ranges, 1));
    EXPECT_TRUE(PrefetchVirtualMemory(GetCurrentProcess(), 0, nullptr, 0));
}

} // namespace
