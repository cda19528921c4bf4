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

// How long a new subtitle stays, in milliseconds, by the length of its text
// as drawn (tags take no time). `queued` counts the subtitle itself; `gap` is
// the time to the next subtitle (0: unknown).
int DisplayTime(const TSubtitleSettings& settings, const TText& text, size_t queued, int64_t gap);

// Whether the text has nothing but blanks.
bool IsBlank(const TText& text);

// Up to three display lines at "|" and at "\N", blank ones left out; parts
// after the third line join it after a blank.
std::vector<TText> SplitDisplayLines(const TText& text);

// The 1-based position at which a line too wide is split, or 0. Both parts
// keep something to draw.
int FindSplitPoint(const TText& s);

// What the inline tags of a subtitle change while its lines are drawn.
struct TTextStyle {
  std::string FontName;  // the name drawn with
  uint32_t Color = clWhite;
  uint8_t Style = 0;  // of the measuring font
};

// Applies the inline tags of one display line to `style` and returns the
// line without them. On the first line, what no tag sets returns to the
// working font's name and style. A style tag counts at the start of the line;
// elsewhere, like every tag the renderer has no style for, it is removed.
TText ApplyStyleTags(TText s, bool first, const TWorkingFont& working, TTextStyle& style);

// The text as drawn: its display lines without tags, "|" between them.
TText WithoutTags(const TText& text);

// A display line as drawn: its text without tags, and its style.
struct TDisplayRow {
  TText Text;
  TTextStyle Style;
};

// The display lines of a subtitle with their tags applied, each from the
// working font: a tag holds for the span it opens and closes (across lines),
// MicroDVD's lower-case codes for their own line and its upper-case ones for
// the whole subtitle. Lines with nothing to draw are left out.
std::vector<TDisplayRow> DisplayRows(const TText& text, const TWorkingFont& working);

}  // namespace vidora
