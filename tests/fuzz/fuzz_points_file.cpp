// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target: any bytes as a points file. The reader must stay inside the table, keep the count within
// 0..capacity, and change nothing when it reports that nothing was loaded; read decimal-only (as
// kelvora-fit reads) it may only stop earlier, on a number it refuses.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "points_file.h"

namespace {

PointTable g_table;

void require(bool condition)
{
    if (!condition) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // A marker value in the first slots shows whether a refused file touched the table.
    g_table.pointCount = 2;
    g_table.currentIndex = 1;
    g_table.x[0] = 42.0;
    g_table.y[0] = -42.0;

    FILE* file = size > 0 ? fmemopen(const_cast<uint8_t*>(data), size, "rb") : std::tmpfile();
    if (file == nullptr) return 0;
    PointsFileReport report;
    PointsFileStatus status = readPointsStream(file, &g_table, &report);
    int declared = report.declaredCount;
    std::fclose(file);

    require(g_table.pointCount >= 0 && g_table.pointCount <= POINT_CAPACITY);
    require(g_table.currentIndex == 1);
    if (pointsFileLoaded(status)) {
        require(g_table.pointCount <= declared);
        bool complete = status == POINTS_FILE_OK || status == POINTS_FILE_EXTRA_NUMBERS;
        require(!complete || g_table.pointCount == declared);
    } else {
        require(g_table.pointCount == 2 && g_table.x[0] == 42.0 && g_table.y[0] == -42.0);
    }
    require(pointsFileStatusText(status) != nullptr);
    require(status != POINTS_FILE_NOT_DECIMAL);
    require(strlen(report.token) < TOKEN_TEXT_CAPACITY);

    // Read as kelvora-fit reads it: the same points up to a refused number, never more.
    int loaded = g_table.pointCount;
    file = size > 0 ? fmemopen(const_cast<uint8_t*>(data), size, "rb") : std::tmpfile();
    if (file == nullptr) return 0;
    NumberReader* reader = new NumberReader;
    startNumberReader(reader, file);
    PointsFileReport strictReport;
    PointsFileStatus strict = readPoints(reader, &g_table, &strictReport, true);
    delete reader;
    std::fclose(file);
    require(strict == status || strict == POINTS_FILE_NOT_DECIMAL);
    require(!pointsFileLoaded(status) || g_table.pointCount <= loaded);
    return 0;
}
