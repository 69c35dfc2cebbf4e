// SPDX-License-Identifier: GPL-3.0-or-later
// Breaking text into lines, the one rule shared by DrawText, static controls and message boxes.
#pragma once
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Width in pixels of a run of text, in whatever font the caller draws with. Widths add up (the device
// font has advances and no kerning), so the breaker measures each word once.
using TextMeasure = std::function<int(std::wstring_view)>;

enum class LongWords {
    Overflow, // a word wider than the line stands alone on its line and is clipped (DrawText's DT_WORDBREAK)
    Split,    // it is cut at the last character that fits, as DT_EDITCONTROL and SS_EDITCONTROL ask
};

// The lines of text at most `width` wide: a line ends at every "\n" (every "\r" is dropped) and,
// word by word, wherever the next word would not fit. The spaces at a break are dropped; spaces at the
// start of a paragraph are kept. Always at least one line.
std::vector<std::wstring> break_lines(std::wstring_view text, int width, const TextMeasure& measure,
                                      LongWords long_words);

// The lines of text with breaks only at "\n" (every "\r" dropped), for text drawn without word breaking.
std::vector<std::wstring> paragraphs(std::wstring_view text);

// The text when it fits in `width`; otherwise its longest start that fits with "\u2026" after it (the
// ellipsis alone when nothing more fits), as SS_ENDELLIPSIS and DT_END_ELLIPSIS show a text cut short.
std::wstring end_with_ellipsis(std::wstring_view text, int width, const TextMeasure& measure);

} // namespace platform
