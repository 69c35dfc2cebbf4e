// SPDX-License-Identifier: GPL-3.0-or-later
// The floor of reading a points file, as a whole program: the file read whole into memory, then the
// count and every X and Y converted with std::from_chars, keeping the four sums a straight line needs.
// Timed from outside (hyperfine) beside `kelvora-fit --model 0` on the same file. With --csv, the file
// is a table of X,Y lines instead, without a count.
//   read_floor [--csv] FILE
#include <charconv>
#include <stdio.h>
#include <memory>
#include <string.h>
#include <sys/stat.h>

static const char* skipSpaces(const char* p, const char* end)
{
    while (p < end && (*p == ' ' || *p == '\n' || *p == '\r' || *p == '\t')) ++p;
    return p;
}

int main(int argc, char** argv)
{
    bool csv = argc == 3 && strcmp(argv[1], "--csv") == 0;
    if (argc != 2 && !csv) {
        fprintf(stderr, "usage: read_floor [--csv] FILE\n");
        return 2;
    }
    const char* name = argv[argc - 1];
    FILE* file = fopen(name, "rb");
    if (file == nullptr) {
        perror(name);
        return 1;
    }
    // One read of the file's size into a buffer of that size.
    struct stat status;
    if (fstat(fileno(file), &status) != 0) {
        perror(name);
        return 1;
    }
    size_t size = static_cast<size_t>(status.st_size);
    std::unique_ptr<char[]> text(new char[size + 1]);
    size = fread(text.get(), 1, size, file);
    fclose(file);
    const char* p = text.get();
    const char* end = p + size;
    long count = csv ? (long)size : 0;
    if (!csv) p = std::from_chars(skipSpaces(p, end), end, count).ptr;
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    long read = 0;
    for (; read < count; ++read) {
        double x = 0, y = 0;
        std::from_chars_result rx = std::from_chars(skipSpaces(p, end), end, x);
        const char* yAt = csv && rx.ptr < end && *rx.ptr == ',' ? rx.ptr + 1 : rx.ptr;
        std::from_chars_result ry = std::from_chars(skipSpaces(yAt, end), end, y);
        if (rx.ec != std::errc() || ry.ec != std::errc()) break;
        p = ry.ptr;
        sx += x;
        sy += y;
        sxx += x * x;
        sxy += x * y;
    }
    printf("%ld points: %.17g %.17g %.17g %.17g\n", read, sx, sy, sxx, sxy);
    return 0;
}
