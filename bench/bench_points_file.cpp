// SPDX-License-Identifier: GPL-3.0-or-later
// Points-file timings for 1,000,000 points: the program's reader and writer beside plain fscanf,
// fprintf and std::to_chars loops on the same file; kelvora-fit's input reading (block by block, into
// the table) of a points file and of a CSV table beside the baseline that reads the whole file into a
// string and parses it with std::from_chars.
#include <benchmark/benchmark.h>
#include <charconv>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string>
#include <unistd.h>

#include "app_state.h"
#include "fit.h"
#include "points_file.h"
#include "points_input.h"

static const int POINTS = 1000000;

static std::string benchPath(const char* extension = ".dat")
{
    const char* folder = getenv("TMPDIR");
    return std::string(folder != nullptr && *folder != 0 ? folder : "/tmp") + "/kelvora-bench-" +
           std::to_string(getpid()) + extension;
}

static std::wstring widePath()
{
    std::string narrow = benchPath();
    return std::wstring(narrow.begin(), narrow.end());
}

// Measurement-like data: X on a 0.001 grid, Y with all seventeen digits.
static void fillPoints()
{
    g_app.points.pointCount = POINTS;
    for (int i = 0; i < POINTS; ++i) {
        g_app.points.x[i] = i * 0.001;
        g_app.points.y[i] = 100.0 * sin(i * 0.001) + 50.0;
    }
}

static void BM_SavePointsFile(benchmark::State& state)
{
    fillPoints();
    std::wstring path = widePath();
    for (auto _ : state) {
        if (savePointsFile(path.c_str(), &g_app.points) != POINTS_FILE_OK) state.SkipWithError("save failed");
    }
    unlink(benchPath().c_str());
}

static void BM_PlainFprintf(benchmark::State& state)
{
    fillPoints();
    std::string path = benchPath();
    for (auto _ : state) {
        FILE* file = fopen(path.c_str(), "wt");
        fprintf(file, "%d\n", g_app.points.pointCount);
        for (int i = 0; i < g_app.points.pointCount; ++i) fprintf(file, "%lg %lg\n", g_app.points.x[i], g_app.points.y[i]);
        fclose(file);
    }
    unlink(path.c_str());
}

// The shortest text that reads back to each number, into a buffer written in large blocks: about the
// least any writer of this file can do.
static void BM_PlainToChars(benchmark::State& state)
{
    fillPoints();
    std::string path = benchPath();
    static char buffer[1 << 16];
    for (auto _ : state) {
        FILE* file = fopen(path.c_str(), "wb");
        char* end = std::to_chars(buffer, buffer + 32, g_app.points.pointCount).ptr;
        *end++ = '\n';
        for (int i = 0; i < g_app.points.pointCount; ++i) {
            if (end > buffer + sizeof buffer - 64) {
                fwrite(buffer, 1, static_cast<size_t>(end - buffer), file);
                end = buffer;
            }
            end = std::to_chars(end, end + 32, g_app.points.x[i]).ptr;
            *end++ = ' ';
            end = std::to_chars(end, end + 32, g_app.points.y[i]).ptr;
            *end++ = '\n';
        }
        fwrite(buffer, 1, static_cast<size_t>(end - buffer), file);
        fclose(file);
    }
    unlink(path.c_str());
}

static void BM_LoadPointsFile(benchmark::State& state)
{
    fillPoints();
    std::wstring path = widePath();
    savePointsFile(path.c_str(), &g_app.points);
    for (auto _ : state) {
        if (loadPointsFile(path.c_str(), &g_app.points, nullptr) != POINTS_FILE_OK) state.SkipWithError("load failed");
    }
    unlink(benchPath().c_str());
}

static void BM_PlainFscanf(benchmark::State& state)
{
    fillPoints();
    std::wstring path = widePath();
    savePointsFile(path.c_str(), &g_app.points);
    std::string narrow = benchPath();
    for (auto _ : state) {
        FILE* file = fopen(narrow.c_str(), "rt");
        int count = 0;
        if (fscanf(file, "%d", &count) != 1 || count > POINT_CAPACITY) count = 0;
        for (int i = 0; i < count; ++i) {
            if (fscanf(file, "%lg%lg", &g_app.points.x[i], &g_app.points.y[i]) != 2) break;
        }
        fclose(file);
    }
    unlink(narrow.c_str());
}

// The whole file in one string, grown as it is read: the baseline kelvora-fit's reading is measured against.
static std::string readAll(const std::string& path)
{
    std::string text;
    FILE* file = fopen(path.c_str(), "rb");
    char chunk[65536];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, file)) > 0) text.append(chunk, got);
    fclose(file);
    return text;
}

static const char* skipSpaces(const char* p, const char* end)
{
    while (p < end && (*p == ' ' || *p == '\n' || *p == '\r' || *p == '\t')) ++p;
    return p;
}

static void BM_ReadAllFromCharsPointsFile(benchmark::State& state)
{
    fillPoints();
    std::wstring path = widePath();
    savePointsFile(path.c_str(), &g_app.points);
    for (auto _ : state) {
        std::string text = readAll(benchPath());
        const char* p = text.data();
        const char* end = p + text.size();
        int count = 0;
        p = std::from_chars(skipSpaces(p, end), end, count).ptr;
        for (int i = 0; i < count && i < POINT_CAPACITY; ++i) {
            p = std::from_chars(skipSpaces(p, end), end, g_app.points.x[i]).ptr;
            p = std::from_chars(skipSpaces(p, end), end, g_app.points.y[i]).ptr;
        }
        g_app.points.pointCount = count;
        benchmark::DoNotOptimize(g_app.points.y[count - 1]);
    }
    unlink(benchPath().c_str());
}

static void BM_FitInputPointsFile(benchmark::State& state)
{
    fillPoints();
    std::wstring path = widePath();
    savePointsFile(path.c_str(), &g_app.points);
    std::string narrow = benchPath();
    for (auto _ : state) {
        if (!readInputFile(narrow.c_str(), "bench", false, ColumnChoice{0, 0}, &g_app.points)) {
            state.SkipWithError("read failed");
        }
    }
    unlink(narrow.c_str());
}

// kelvora-fit's load and fit of the straight line, as one run of it does.
static void BM_FitInputAndLinePointsFile(benchmark::State& state)
{
    fillPoints();
    std::wstring path = widePath();
    savePointsFile(path.c_str(), &g_app.points);
    std::string narrow = benchPath();
    for (auto _ : state) {
        if (!readInputFile(narrow.c_str(), "bench", false, ColumnChoice{0, 0}, &g_app.points)) {
            state.SkipWithError("read failed");
        }
        FitResult fit = fitPoints(g_app.points.x, g_app.points.y, g_app.points.pointCount, 0, 2.0);
        benchmark::DoNotOptimize(fit);
    }
    unlink(narrow.c_str());
}

// "x,y" lines with the shortest text of each number, as a spreadsheet exports them.
static std::string writeCsv()
{
    fillPoints();
    std::string path = benchPath(".csv");
    FILE* file = fopen(path.c_str(), "wb");
    char line[80];
    for (int i = 0; i < POINTS; ++i) {
        char* end = std::to_chars(line, line + 32, g_app.points.x[i]).ptr;
        *end++ = ',';
        end = std::to_chars(end, end + 32, g_app.points.y[i]).ptr;
        *end++ = '\n';
        fwrite(line, 1, (size_t)(end - line), file);
    }
    fclose(file);
    return path;
}

static void BM_ReadAllFromCharsCsv(benchmark::State& state)
{
    std::string path = writeCsv();
    for (auto _ : state) {
        std::string text = readAll(path);
        const char* p = text.data();
        const char* end = p + text.size();
        int count = 0;
        while (p < end && count < POINT_CAPACITY) {
            p = std::from_chars(p, end, g_app.points.x[count]).ptr + 1; // the comma
            p = std::from_chars(p, end, g_app.points.y[count]).ptr + 1; // the line feed
            ++count;
        }
        g_app.points.pointCount = count;
        benchmark::DoNotOptimize(g_app.points.y[count - 1]);
    }
    unlink(path.c_str());
}

static void BM_FitInputCsv(benchmark::State& state)
{
    std::string path = writeCsv();
    for (auto _ : state) {
        if (!readInputFile(path.c_str(), "bench", false, ColumnChoice{0, 0}, &g_app.points) ||
            g_app.points.pointCount != POINTS) {
            state.SkipWithError("read failed");
        }
    }
    unlink(path.c_str());
}

BENCHMARK(BM_SavePointsFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainFprintf)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainToChars)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadPointsFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainFscanf)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadAllFromCharsPointsFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FitInputPointsFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FitInputAndLinePointsFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadAllFromCharsCsv)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FitInputCsv)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
