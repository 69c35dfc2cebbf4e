// SPDX-License-Identifier: GPL-3.0-or-later
// Text on the headless device: a message-box paragraph drawn with word breaking beside the same lines
// drawn one by one without it (the cost of breaking alone), the host's UTF-8 read into wide text
// beside a plain byte-widening loop (the least any reader can do), and typing into an edit field.
#include <benchmark/benchmark.h>
#include <kelvora_device.h>
#include <kelvora_host.h>

#include <string>
#include <vector>

#include "app_state.h"

namespace device = kelvora::device;

static const wchar_t PARAGRAPH[] =
    L"The file holds more numbers than its count of 5 points: were its columns written without the count "
    L"line? Only those points were loaded. /home/someone/Documents/measurements/run-2026-12-07/"
    L"calibration_of_the_second_thermocouple_after_the_repair.dat could not be opened.";
static const int WIDTH = 180;

static void drawEach(benchmark::State& state, const std::vector<std::wstring>& lines, UINT format)
{
    device::start_headless();
    HDC dc = GetDC(NULL);
    for (auto _ : state) {
        int y = 0;
        for (const std::wstring& line : lines) {
            RECT area = {0, y, WIDTH, 320};
            y += DrawTextW(dc, line.c_str(), (int)line.size(), &area, format);
        }
        benchmark::DoNotOptimize(y);
    }
    ReleaseDC(NULL, dc);
    device::stop();
}

static void BM_DrawTextWordBreak(benchmark::State& state)
{
    drawEach(state, {PARAGRAPH}, DT_WORDBREAK | DT_EDITCONTROL | DT_NOPREFIX);
}

// The lines the word-breaking call lays out, found once with DT_CALCRECT and a line at a time.
static std::vector<std::wstring> brokenLines()
{
    std::vector<std::wstring> lines;
    device::start_headless();
    HDC dc = GetDC(NULL);
    std::wstring rest = PARAGRAPH;
    while (!rest.empty()) {
        size_t n = rest.size();
        for (;; --n) {
            RECT r = {0, 0, WIDTH, 0};
            DrawTextW(dc, rest.c_str(), (int)n, &r, DT_CALCRECT | DT_WORDBREAK | DT_EDITCONTROL | DT_NOPREFIX);
            if (r.bottom <= 13 || n == 1) break;
        }
        lines.push_back(rest.substr(0, n));
        rest.erase(0, n);
        rest.erase(0, rest.find_first_not_of(L' ') == std::wstring::npos ? rest.size() : rest.find_first_not_of(L' '));
    }
    ReleaseDC(NULL, dc);
    device::stop();
    return lines;
}

static void BM_DrawTextLinesAlreadyBroken(benchmark::State& state)
{
    drawEach(state, brokenLines(), DT_SINGLELINE | DT_NOPREFIX);
}

static std::string hostText()
{
    std::string text;
    while (text.size() < (1 << 20)) text += "Mes\xc3\x9f" "werte \xe6\xb8\xa9\xe5\xba\xa6 0.25 \xf0\x9f\x98\x80 ";
    return text;
}

static void BM_Utf8ToWide(benchmark::State& state)
{
    const std::string text = hostText();
    for (auto _ : state) benchmark::DoNotOptimize(kelvora_from_utf8(text));
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)text.size());
}

static void BM_BytesWidened(benchmark::State& state)
{
    const std::string text = hostText();
    for (auto _ : state) {
        std::wstring wide(text.size(), L'\0');
        for (size_t i = 0; i < text.size(); ++i) wide[i] = (wchar_t)(unsigned char)text[i];
        benchmark::DoNotOptimize(wide);
    }
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)text.size());
}

// Typing into an edit field as a user does: one character, then everything due (the paint included),
// 8,000 and 32,000 times. Typing is linear when the time per character ("per_char") stays the same,
// so the 32,000 run takes about 4 times the 8,000 one. The zero-width U+202E never fills the X field's
// width, so it grows as long as the text limit lets it; digits grow as long in a scrolling field.
static LRESULT CALLBACK benchParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcW(window, message, wParam, lParam);
}

static void typeIntoField(benchmark::State& state, DWORD style, wchar_t typed)
{
    const int count = (int)state.range(0);
    for (auto _ : state) {
        state.PauseTiming();
        device::start_headless();
        WNDCLASSW wc = {};
        wc.lpfnWndProc = benchParentProc;
        wc.lpszClassName = L"BenchParent";
        RegisterClassW(&wc);
        HWND parent = CreateWindowExW(0, L"BenchParent", L"", WS_VISIBLE, 0, 0, 240, 294, NULL, NULL, NULL, NULL);
        HWND field = CreateWindowExW(0, L"Edit", L"", WS_CHILD | WS_VISIBLE | WS_BORDER | style, 10, 70, 140, 20,
                                     parent, NULL, NULL, NULL);
        SetFocus(field);
        device::pump();
        state.ResumeTiming();
        for (int i = 0; i < count; ++i) {
            device::type(std::wstring_view(&typed, 1));
            device::pump();
        }
        state.PauseTiming();
        if (GetWindowTextLengthW(field) != count) state.SkipWithError("the field refused characters");
        device::stop();
        state.ResumeTiming();
    }
    state.counters["per_char"] = benchmark::Counter((double)count, benchmark::Counter::kIsIterationInvariantRate |
                                                                       benchmark::Counter::kInvert);
}

static void BM_TypeZeroWidthIntoXField(benchmark::State& state) { typeIntoField(state, ES_RIGHT, 0x202E); }
static void BM_TypeDigitsIntoScrollingField(benchmark::State& state) { typeIntoField(state, ES_AUTOHSCROLL, L'7'); }

BENCHMARK(BM_DrawTextWordBreak)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DrawTextLinesAlreadyBroken)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Utf8ToWide)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BytesWidened)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TypeZeroWidthIntoXField)->Arg(8000)->Arg(32000)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_TypeDigitsIntoScrollingField)->Arg(8000)->Arg(32000)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5)->ReportAggregatesOnly(true);

BENCHMARK_MAIN();
