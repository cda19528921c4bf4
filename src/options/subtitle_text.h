// The text side of burned-in subtitles: display times, display lines, split
// points and inline style tags. Positions count characters, not bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "media/base/text_codec.h"
#include "options/subtitle_settings.h"

namespace vidora {

using TText = std::u32string;

// Queued subtitle texts keep at most this many characters.
inline constexpr size_t MaxSubtitleChars = 255;

// How long a new subtitle stays, in milliseconds. `queued` counts the
// subtitle itself; `gap` is the time to the next subtitle (0: unknown).
int DisplayTime(const TSubtitleSettings& settings, const TText& text, size_t queued, int64_t gap);

// Up to three display lines at "|" and then at "\N".
std::vector<TText> SplitDisplayLines(const TText& text);

// The 1-based position at which a line too wide is split, or 0.
int FindSplitPoint(const TText& s);

// What the inline tags of a subtitle change while its lines are drawn.
struct TTextStyle {
  std::string FontName;  // the name drawn with
  uint32_t Color = clWhite;
  uint8_t Style = 0;  // of the measuring font
};

// Applies the inline tags of one display line to `style` and returns the
// line without them. On the first line, what no tag sets returns to the
// working font's name and style.
TText ApplyStyleTags(TText s, bool first, const TWorkingFont& working, TTextStyle& style);

}  // namespace vidora
