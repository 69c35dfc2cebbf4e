// SPDX-License-Identifier: GPL-3.0-or-later
// Pictures of a fit: the device is started in memory, a window is created and sized to the picture,
// painted by the program's own drawing of the results window and its plot from the fit handed over,
// and its client area is read back pixel by pixel and written as PNG with libpng. Nothing is shown,
// no display is needed, and the program's state record is only read.
#include "plot_file.h"

#include <errno.h>
#include <kelvora_device.h>
#include <kelvora_host.h>
#include <png.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>

#include <memory>
#include <vector>

#include <math.h>

#include "fit_record.h"
#include "kelvora.h"
#include "label.h"
#include "models.h"
#include "plot.h"
#include "points_file.h"
#include "picture_file.h"
#include "results_window.h"

namespace {

#define PICTURE_TOP 26 // the navigation bar above a full-screen window
#define RESIDUALS_BACKGROUND RGB(190, 180, 255)
#define RESIDUALS_TEXT_COLOUR RGB(100, 0, 0)

// What the picture of the results window shows, and its paint's working memory. The window holds it
// (GWLP_USERDATA, from its creation parameter) while writeResultsPicture paints it.
struct ResultsPicture {
    ResultsContent content;
    std::vector<double> fitted;
    std::vector<PlotBlockRanges> blockRanges;
    PlotMarks marks;
};

// What the residuals window shows: the fit the residuals belong to, and its plot of the residuals
// against X with the zero line, held by its window the same way.
struct ResidualsPicture {
    int modelId;
    double s;
    PlotContent content;
    PlotMarks marks;
};

// The picture a window was created for.
template <typename Picture>
Picture* pictureOf(HWND window)
{
    return reinterpret_cast<Picture*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

// Keeps the creation parameter as the window's picture.
void holdPicture(HWND window, LPARAM lParam)
{
    const CREATESTRUCTW* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
}

// The client area of window, width x height, as RGB rows.
std::vector<unsigned char> readClientPixels(HWND window, int width, int height)
{
    std::vector<unsigned char> rgb((size_t)width * (size_t)height * 3);
    HDC dc = GetDC(window);
    size_t at = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            COLORREF c = GetPixel(dc, x, y);
            rgb[at++] = GetRValue(c);
            rgb[at++] = GetGValue(c);
            rgb[at++] = GetBValue(c);
        }
    }
    ReleaseDC(window, dc);
    return rgb;
}

// The pixels of a picture and what libpng said when it failed.
struct PngContent {
    const std::vector<unsigned char>* rgb;
    int width;
    int height;
    char message[64];
};

bool writePngStream(FILE* file, const void* content)
{
    PngContent* png = (PngContent*)content;
    png_image image;
    memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = (png_uint_32)png->width;
    image.height = (png_uint_32)png->height;
    image.format = PNG_FORMAT_RGB;
    errno = 0;
    bool written = png_image_write_to_stdio(&image, file, 0, png->rgb->data(), png->width * 3, NULL) != 0;
    int error = errno;
    if (!written) snprintf(png->message, sizeof png->message, "%s", image.message);
    png_image_free(&image);
    errno = error;
    // What is still buffered must reach the file too: a full disk shows here as often as in libpng.
    return written && fflush(file) == 0 && !ferror(file);
}

bool writePng(const char* path, const std::vector<unsigned char>& rgb, int width, int height)
{
    PngContent content = {&rgb, width, height, ""};
    return writePictureFile(path, writePngStream, &content, content.message);
}

// Sizes the window to the picture, lets it paint, reads it and writes the file; stops the device.
bool paintAndSave(HWND window, const char* path, int width, int height)
{
    bool saved = false;
    if (window == NULL) {
        fprintf(stderr, "kelvora-fit: %s: the window to draw could not be created\n", path);
    } else {
        MoveWindow(window, 0, PICTURE_TOP, width, height, FALSE);
        kelvora::device::pump();
        saved = writePng(path, readClientPixels(window, width, height), width, height);
    }
    kelvora::device::stop();
    return saved;
}

// The residuals window's text: what it shows, the formula and S.
void drawResidualsText(HWND window, HDC dc, const void* context)
{
    const ResidualsPicture* picture = static_cast<const ResidualsPicture*>(context);
    drawLabel(window, dc, 10, 0, L"Residuals Y - fitted of");
    drawLabel(window, dc, 10, 15, modelText(picture->modelId));
    drawNumberLine(window, dc, 130, 30, L"S=%g", picture->s);
}

// Painted in the results window's frame: background, text lines in dark red, then the program's plot.
void paintResidualsWindow(HWND window)
{
    ResidualsPicture* picture = pictureOf<ResidualsPicture>(window);
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    ResultsFrame frame = {RESIDUALS_BACKGROUND, RESIDUALS_TEXT_COLOUR, drawResidualsText, picture};
    drawResultsFrame(window, dc, &frame, &picture->content, &picture->marks);
    EndPaint(window, &paint);
}

// The results window's own drawing, of the fit handed to writeResultsPicture.
LRESULT CALLBACK ResultsPictureWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CREATE) holdPicture(window, lParam);
    if (message == WM_PAINT) {
        ResultsPicture* picture = pictureOf<ResultsPicture>(window);
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        drawResults(window, dc, &picture->content, picture->fitted.data(), picture->blockRanges.data(),
                    &picture->marks);
        EndPaint(window, &paint);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK ResidualsWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CREATE) holdPicture(window, lParam);
    if (message == WM_PAINT) {
        paintResidualsWindow(window);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// Starts the device, opens a window of the class (registered with procedure) holding picture, paints it
// into path.
bool paintPicture(LPCWSTR className, LPCWSTR title, WNDPROC procedure, void* picture, const char* path, int width,
                  int height)
{
    kelvora::device::start_headless();
    HINSTANCE instance = GetModuleHandleW(NULL);
    registerWindowClass(instance, className, procedure);
    HWND window = CreateWindowExW(0, className, title, WS_VISIBLE, CW_USEDEFAULT, 0, CW_USEDEFAULT, 0, NULL, NULL,
                                  instance, picture);
    return paintAndSave(window, path, width, height);
}

} // namespace

bool writeResultsPicture(const char* path, int width, int height, const PlotPoints& points, const FitRecord& fit)
{
    int count = points.count;
    std::unique_ptr<ResultsPicture> picture(new ResultsPicture);
    picture->content = ResultsContent{fit.modelId, fit.fit, fit.exponentN, points.x, points.y, count, points.hollow};
    picture->fitted.resize(count > 0 ? count : 1);
    picture->blockRanges.resize(count > 0 ? PLOT_BLOCK_COUNT(count) : 1);
    return paintPicture(L"ResultP", L"Calculate", ResultsPictureWindow, picture.get(), path, width, height);
}

bool writeResidualsPicture(const char* path, int width, int height, const PlotPoints& points, const FitRecord& fit)
{
    int count = points.count;
    std::vector<double> residuals(count > 0 ? count : 1), zeroLine(count > 0 ? count : 1);
    for (int i = 0; i < count; ++i) {
        residuals[i] = points.y[i] - evaluateModelWith(fit.modelId, fit.fit.a, fit.fit.b, fit.exponentN, points.x[i]);
        // The zero line has a value wherever X has one: a point without an X breaks it.
        zeroLine[i] = isfinite(points.x[i]) ? 0.0 : NAN;
    }
    std::unique_ptr<ResidualsPicture> picture(new ResidualsPicture);
    picture->modelId = fit.modelId;
    picture->s = fit.fit.s;
    picture->content = PlotContent{points.x, residuals.data(), zeroLine.data(), count,
                                   computePlotBounds(points.x, residuals.data(), zeroLine.data(), count),
                                   points.hollow, NULL, NULL};
    return paintPicture(L"ResidF", L"Residuals", ResidualsWindow, picture.get(), path, width, height);
}
