// kelvora-fit: fits the models to points files on the command line, with the program's own core.
#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <kelvora_host.h>

#include <string>

#include "app_state.h"
#include "options.h"
#include "plain_table.h"
#include "points_file.h"
#include "report.h"

static const char* reasonText(PointsFileStatus status)
{
    switch (status) {
    case POINTS_FILE_NO_COUNT: return "no point count at the start";
    case POINTS_FILE_NEGATIVE_COUNT: return "negative point count";
    case POINTS_FILE_COUNT_TOO_LARGE: return "more than 1000000 points";
    case POINTS_FILE_READ_ERROR: return "read error";
    case POINTS_FILE_CANNOT_OPEN: return "cannot be read";
    default: return "unreadable";
    }
}

static bool isStandardInput(const char* path)
{
    return strcmp(path, "-") == 0;
}

// Name of a file in messages and block headers.
static const char* displayName(const char* path)
{
    return isStandardInput(path) ? "standard input" : path;
}

// The whole content of file; false on a read error (a folder, a device that fails).
static bool readAll(FILE* file, std::string* text)
{
    char chunk[65536];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, file)) > 0) text->append(chunk, got);
    return !ferror(file);
}

static bool readPlainTablePoints(const char* name, const std::string& text)
{
    PlainTableReport report = readPlainTable(text.data(), text.size(), &g_app.points);
    if (report.status == PLAIN_TABLE_TOO_MANY) {
        fprintf(stderr, "kelvora-fit: %s: more than 1000000 points\n", name);
        return false;
    }
    if (report.status != PLAIN_TABLE_OK) {
        fprintf(stderr, "kelvora-fit: %s: line %d: not two numbers X and Y\n", name, report.badLine);
        return false;
    }
    return true;
}

static bool readPointsFilePoints(const char* name, std::string& text)
{
    // The points-file reader reads a stream: the text already read is handed to it as one.
    text.push_back('\n');
    FILE* stream = fmemopen(text.data(), text.size(), "rb");
    if (stream == NULL) {
        fprintf(stderr, "kelvora-fit: %s: %s\n", name, strerror(errno));
        return false;
    }
    int declared = 0;
    PointsFileStatus loaded = readPointsStream(stream, &g_app.points, &declared);
    fclose(stream);
    if (loaded == POINTS_FILE_NO_COUNT) {
        fprintf(stderr, "kelvora-fit: %s: no point count at the start (a plain table? see --columns)\n", name);
        return false;
    }
    if (loaded != POINTS_FILE_OK && loaded != POINTS_FILE_SHORT && loaded != POINTS_FILE_EXTRA_NUMBERS) {
        fprintf(stderr, "kelvora-fit: %s: %s\n", name, reasonText(loaded));
        return false;
    }
    if (loaded == POINTS_FILE_SHORT) {
        fprintf(stderr, "kelvora-fit: %s: warning: holds %d of its %d points; fitting those\n", name,
                g_app.points.pointCount, declared);
    }
    if (loaded == POINTS_FILE_EXTRA_NUMBERS) {
        fprintf(stderr,
                "kelvora-fit: %s: warning: holds more numbers than its count of %d point%s: were its "
                "columns written without the count line? fitting the counted ones\n",
                name, declared, declared == 1 ? "" : "s");
    }
    return true;
}

// Loads the points of path ("-": standard input) into g_app.points: a points file, or a plain table
// with --columns or when the text looks like one. Says on standard error why a file cannot be used
// (false), or that it holds fewer points than its count or numbers beyond them (true: the points read
// are fitted).
static bool loadPoints(const char* path, bool columns)
{
    const char* name = displayName(path);
    // A named file goes through the program's own opener: only a regular file, never waiting on a pipe.
    FILE* file = isStandardInput(path) ? stdin : _wfopen(kelvora_file_name_from_host(path).c_str(), L"rb");
    if (file == NULL) {
        // A name that exists but is no readable regular file (a folder, a pipe) reads as unreadable.
        const char* reason = errno == ENOENT ? strerror(errno) : reasonText(POINTS_FILE_CANNOT_OPEN);
        fprintf(stderr, "kelvora-fit: %s: %s\n", name, reason);
        return false;
    }
    std::string text;
    bool read = readAll(file, &text);
    if (file != stdin) fclose(file);
    if (!read) {
        fprintf(stderr, "kelvora-fit: %s: %s\n", name, reasonText(POINTS_FILE_CANNOT_OPEN));
        return false;
    }
    if (columns || looksLikePlainTable(text.data(), text.size())) return readPlainTablePoints(name, text);
    return readPointsFilePoints(name, text);
}

// A file that cannot be used outweighs a fit that is not finite.
static int worseStatus(int left, int right)
{
    if (left == FIT_EXIT_BAD_FILE || right == FIT_EXIT_BAD_FILE) return FIT_EXIT_BAD_FILE;
    return left != FIT_EXIT_FITTED ? left : right;
}

int main(int argc, char** argv)
{
    FitOptions options;
    int status = parseFitOptions(argc, argv, &options);
    if (status >= 0) return status;

    bool withHeaders = options.files.size() > 1;
    status = FIT_EXIT_FITTED;
    for (size_t i = 0; i < options.files.size(); ++i) {
        const char* path = options.files[i];
        if (withHeaders && !options.json) printf("%s%s:\n", i > 0 ? "\n" : "", displayName(path));
        fflush(stdout);
        int fileStatus = loadPoints(path, options.columns) ? reportFit(options, path) : FIT_EXIT_BAD_FILE;
        status = worseStatus(status, fileStatus);
    }
    // Results that never reached their destination (a full disk, a closed pipe) are a failure.
    if (fflush(stdout) != 0 || ferror(stdout)) {
        fprintf(stderr, "kelvora-fit: standard output: %s\n", strerror(errno));
        return FIT_EXIT_BAD_FILE;
    }
    return status;
}
