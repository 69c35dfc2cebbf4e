// SPDX-License-Identifier: GPL-3.0-or-later
// Line breaking: paragraphs at "\n", then words at spaces.
#include "text/line_breaking.h"

#include <algorithm>
#include <iterator>

namespace platform {
namespace {

// Longest prefix of word that fits in width, at least one character so that a line always advances.
size_t fitting_prefix(std::wstring_view word, int width, const TextMeasure& measure)
{
    size_t n = 1;
    int used = measure(word.substr(0, 1));
    while (n < word.size()) {
        const int next = measure(word.substr(n, 1));
        if (used + next > width)
            break;
        used += next;
        ++n;
    }
    return n;
}

// End of the word that starts at i: its leading spaces, then everything up to the next space.
size_t word_end(std::wstring_view paragraph, size_t i)
{
    while (i < paragraph.size() && paragraph[i] == L' ')
        ++i;
    while (i < paragraph.size() && paragraph[i] != L' ')
        ++i;
    return i;
}

void break_paragraph(std::wstring_view paragraph, int width, const TextMeasure& measure, LongWords long_words,
                     std::vector<std::wstring>& lines)
{
    std::wstring line;
    int line_width = 0;
    for (size_t i = 0; i < paragraph.size();) {
        const size_t end = word_end(paragraph, i);
        std::wstring_view word = paragraph.substr(i, end - i);
        i = end;
        int word_width = measure(word);
        if (!line.empty() && line_width + word_width > width) {
            const size_t first = word.find_first_not_of(L' ');
            if (first == std::wstring_view::npos)
                continue; // spaces at the end of a line hang in the margin instead of opening a line
            lines.push_back(std::move(line));
            line.clear();
            line_width = 0;
            word.remove_prefix(first);
            word_width = measure(word);
        }
        if (long_words == LongWords::Split)
            while (line.empty() && word.size() > 1 && word_width > width) {
                const size_t n = fitting_prefix(word, width, measure);
                lines.emplace_back(word.substr(0, n));
                word.remove_prefix(n);
                word_width = measure(word);
            }
        line += word;
        line_width += word_width;
    }
    lines.push_back(std::move(line));
}

// Calls each with every paragraph of text; a "\r" anywhere is dropped, so "\r\n" ends a paragraph once.
template <typename EachParagraph>
void for_each_paragraph(std::wstring_view text, EachParagraph each)
{
    std::wstring without_returns;
    if (text.find(L'\r') != std::wstring_view::npos) {
        std::remove_copy(text.begin(), text.end(), std::back_inserter(without_returns), L'\r');
        text = without_returns;
    }
    for (size_t start = 0;;) {
        const size_t end = std::min(text.find(L'\n', start), text.size());
        each(text.substr(start, end - start));
        if (end >= text.size())
            return;
        start = end + 1;
    }
}

} // namespace

std::vector<std::wstring> break_lines(std::wstring_view text, int width, const TextMeasure& measure,
                                      LongWords long_words)
{
    std::vector<std::wstring> lines;
    for_each_paragraph(text, [&](std::wstring_view paragraph) {
        break_paragraph(paragraph, width, measure, long_words, lines);
    });
    return lines;
}

std::vector<std::wstring> paragraphs(std::wstring_view text)
{
    std::vector<std::wstring> lines;
    for_each_paragraph(text, [&](std::wstring_view paragraph) { lines.emplace_back(paragraph); });
    return lines;
}

std::wstring end_with_ellipsis(std::wstring_view text, int width, const TextMeasure& measure)
{
    if (measure(text) <= width)
        return std::wstring(text);
    constexpr wchar_t ellipsis = L'\u2026';
    const int room = width - measure(std::wstring_view(&ellipsis, 1));
    size_t n = 0;
    for (int used = 0; n < text.size(); ++n) {
        used += measure(text.substr(n, 1));
        if (used > room)
            break;
    }
    return std::wstring(text.substr(0, n)) + ellipsis;
}

} // namespace platform
