#include "options/subtitle_text.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace vidora {

namespace {

char32_t AsciiUpper(char32_t c) { return c >= U'a' && c <= U'z' ? c - 32 : c; }

// Position of `tag` (upper case) in `s` compared in upper case.
size_t FindNoCase(const TText& s, const TText& tag, size_t from = 0) {
  if (tag.size() > s.size()) return TText::npos;
  for (size_t i = from; i + tag.size() <= s.size(); ++i) {
    size_t k = 0;
    while (k < tag.size() && AsciiUpper(s[i + k]) == tag[k]) ++k;
    if (k == tag.size()) return i;
  }
  return TText::npos;
}

void ReplaceAllNoCase(TText& s, const TText& tag, const TText& replacement) {
  for (size_t at = FindNoCase(s, tag); at != TText::npos; at = FindNoCase(s, tag, at + replacement.size()))
    s.replace(at, tag.size(), replacement);
}

// Six hexadecimal digits from `at`, or -1.
int64_t HexColor(const TText& s, size_t at) {
  if (at + 6 > s.size()) return -1;
  int64_t value = 0;
  for (size_t i = at; i < at + 6; ++i) {
    char32_t c = AsciiUpper(s[i]);
    int digit = c >= U'0' && c <= U'9' ? c - U'0' : c >= U'A' && c <= U'F' ? c - U'A' + 10 : -1;
    if (digit < 0) return -1;
    value = value * 16 + digit;
  }
  return value;
}

// Where a style tag stood until its style is decided; no decoded text holds
// these (they lie beyond the last code point).
constexpr char32_t ItalicMark = 0x110000, BoldMark = 0x110001, UnderlineMark = 0x110002, StrikeOutMark = 0x110003;

// A marker among the first `within` characters (a "/" only at the very start)
// sets one style alone and ends the first-line reset.
void StyleMarker(TText& s, char32_t mark, size_t within, uint8_t style, bool& first, const TWorkingFont& working,
                 TTextStyle& out) {
  size_t at = s.find(mark);
  if (at == TText::npos || at >= within) at = !s.empty() && s[0] == U'/' ? 0 : TText::npos;
  if (at != TText::npos) {
    s.erase(at, 1);
    out.Style = style;
    first = false;
  } else if (first) {
    out.Style = working.Style;
  }
}

bool IsLetter(char32_t c) { return AsciiUpper(c) >= U'A' && AsciiUpper(c) <= U'Z'; }

// Removes every block that `isTag` recognises from its opening character to
// the next `close`: the markup this renderer has no style for.
template <typename TIsTag>
void RemoveTags(TText& s, char32_t open, char32_t close, TIsTag isTag) {
  for (size_t at = s.find(open); at != TText::npos; at = s.find(open, at)) {
    size_t end = s.find(close, at + 1);
    if (end == TText::npos) return;
    if (isTag(s, at, end))
      s.erase(at, end - at + 1);
    else
      ++at;
  }
}

void RemoveUnknownTags(TText& s) {
  std::erase_if(s, [](char32_t c) { return c >= ItalicMark && c <= StrikeOutMark; });
  // <tag ...> and </tag>: a letter right after "<" or "</", no "<" inside.
  RemoveTags(s, U'<', U'>', [](const TText& t, size_t at, size_t end) {
    size_t name = at + 1 < end && t[at + 1] == U'/' ? at + 2 : at + 1;
    return name < end && IsLetter(t[name]) && t.find(U'<', at + 1) > end;
  });
  // SubStation override blocks {\...} and MicroDVD control codes {x:...}.
  RemoveTags(s, U'{', U'}', [](const TText& t, size_t at, size_t end) {
    if (t.find(U'{', at + 1) < end) return false;
    return (at + 1 < end && t[at + 1] == U'\\') || (at + 2 < end && IsLetter(t[at + 1]) && t[at + 2] == U':');
  });
}

// The first colour tag `tag`, up to its `close`, when its six digits parse.
template <typename TParse>
void ColourTag(TText& s, const TText& tag, char32_t close, TParse parse, TTextStyle& style) {
  size_t at = FindNoCase(s, tag);
  if (at == TText::npos) return;
  int64_t value = HexColor(s, at + tag.size());
  if (value < 0) return;
  style.Color = parse(value);
  size_t end = s.find(close, at + tag.size() + 6);
  s.erase(at, end == TText::npos ? tag.size() + 6 : end - at + 1);
}

}  // namespace

bool IsBlank(const TText& text) { return text.find_first_not_of(U" \t") == TText::npos; }

std::vector<TText> SplitDisplayLines(const TText& text) {
  std::vector<TText> parts{text};
  for (const TText& separator : {TText(U"|"), TText(U"\\N")}) {
    std::vector<TText> split;
    for (const TText& part : parts)
      for (size_t from = 0;;) {
        size_t at = part.find(separator, from);
        split.push_back(part.substr(from, at == TText::npos ? TText::npos : at - from));
        if (at == TText::npos) break;
        from = at + separator.size();
      }
    parts = std::move(split);
  }
  std::erase_if(parts, IsBlank);
  // What a third separator leaves stays in line 3, after a blank.
  std::vector<TText> lines;
  for (TText& part : parts) {
    if (lines.size() < 3)
      lines.push_back(std::move(part));
    else
      lines.back() += U' ' + part;
  }
  for (TText& line : lines) line.resize(std::min(line.size(), MaxSubtitleChars));
  return lines;
}

namespace {

// The split point that halves the line most evenly: after a blank, and after
// the end of a part of a sentence when one lies in the middle third; 0 when
// no blank leaves a quarter of the line on either side (the line is shrunk).
int SuggestedSplitPoint(const TText& s) {
  int length = static_cast<int>(s.size());
  int best = 0, bestAfterPunctuation = 0;
  auto unevenness = [&](int point) { return std::abs(2 * (point - 1) - length); };
  for (int i = 0; i + 1 < length; ++i) {
    if (s[i] != U' ') continue;
    int point = i + 2;  // 1-based: the character after the blank
    if (!best || unevenness(point) < unevenness(best)) best = point;
    bool afterPunctuation = i > 0 && TText(U",.;:!?").find(s[i - 1]) != TText::npos;
    bool middle = 3 * (i + 1) >= length && 3 * (i + 1) <= 2 * length;
    if (afterPunctuation && middle && (!bestAfterPunctuation || unevenness(point) < unevenness(bestAfterPunctuation)))
      bestAfterPunctuation = point;
  }
  if (bestAfterPunctuation) return bestAfterPunctuation;
  return best && 2 * unevenness(best) <= length ? best : 0;
}

}  // namespace

int FindSplitPoint(const TText& s) {
  int point = SuggestedSplitPoint(s);
  // Both parts must hold something to draw.
  if (point < 2 || point > static_cast<int>(s.size())) return 0;
  if (IsBlank(s.substr(0, point - 1)) || IsBlank(s.substr(point - 1))) return 0;
  return point;
}

TText ApplyStyleTags(TText s, bool first, const TWorkingFont& working, TTextStyle& style) {
  if (size_t at = FindNoCase(s, U"{F:"); at != TText::npos && s.find(U'}', at) != TText::npos) {
    size_t end = s.find(U'}', at);
    style.FontName = EncodeUtf8(s.substr(at + 3, end - at - 3));
    s.erase(at, end - at + 1);
  } else if (first) {
    style.FontName = working.Name;
  }
  // Only the first colour tag of each kind counts; the others go with the unknown tags.
  ColourTag(s, U"{C:$", U'}', [](int64_t bgr) { return static_cast<uint32_t>(bgr); }, style);
  ColourTag(
      s, U"<FONT COLOR=\"#", U'>',
      [](int64_t rgb) { return static_cast<uint32_t>(((rgb & 0xFF) << 16) | (rgb & 0xFF00) | (rgb >> 16)); }, style);
  ReplaceAllNoCase(s, U"<I>", TText(1, ItalicMark));
  for (const TText& tag : {TText(U"{Y:I}"), TText(U"{Y I}"), TText(U"{Y: I}")}) ReplaceAllNoCase(s, tag, TText(1, ItalicMark));
  StyleMarker(s, ItalicMark, 4, fsItalic, first, working, style);
  for (const TText& tag : {TText(U"{Y:B}"), TText(U"{Y: B}"), TText(U"<B>")}) ReplaceAllNoCase(s, tag, TText(1, BoldMark));
  StyleMarker(s, BoldMark, 1, fsBold, first, working, style);
  for (const TText& tag : {TText(U"{Y:U}"), TText(U"<U>")}) ReplaceAllNoCase(s, tag, TText(1, UnderlineMark));
  StyleMarker(s, UnderlineMark, 1, fsUnderline, first, working, style);
  ReplaceAllNoCase(s, U"<S>", TText(1, StrikeOutMark));
  if (!s.empty() && s[0] == StrikeOutMark) style.Style = fsStrikeOut;
  RemoveUnknownTags(s);
  return s;
}

TText WithoutTags(const TText& text) {
  TWorkingFont working;
  TTextStyle style;
  TText plain;
  bool first = true;
  for (const TText& line : SplitDisplayLines(text)) {
    if (!first) plain += U'|';
    plain += ApplyStyleTags(line, first, working, style);
    first = false;
  }
  return plain;
}

int DisplayTime(const TSubtitleSettings& settings, const TText& text, size_t queued, int64_t gap) {
  if (!settings.IQText) return settings.NapisyCzasTag();
  TText drawn = WithoutTags(text);
  int64_t length = static_cast<int64_t>(drawn.size());
  int64_t d = settings.IQTime() * (length + length / 2) / 100;
  if (drawn.find(U"www.") != TText::npos) d /= 4;
  if (queued >= 2) d = static_cast<int64_t>(d * 0.75);
  d = std::clamp<int64_t>(d, 800, 5500);
  // A subtitle before a long pause stays longer, but never into the next one.
  if (queued < 2 && d < gap - 500) d = std::min<int64_t>({2 * d, gap - 400, 8000});
  return static_cast<int>(d);
}

namespace {

// What the markup of a subtitle carries from one display line to the next:
// the spans still open, and MicroDVD's upper-case codes, which hold for the
// whole subtitle (its lower-case ones hold for their own line).
struct TCarriedStyle {
  int Italic = 0, Bold = 0, Underline = 0;  // open <i>, <b>, <u> spans
  std::vector<uint32_t> Colours;            // open <font color> spans, innermost last
  uint8_t Whole = 0;
  int64_t WholeColour = -1;
  std::string WholeFont;

  uint8_t Style() const {
    return Whole | (Italic > 0 ? fsItalic : 0) | (Bold > 0 ? fsBold : 0) | (Underline > 0 ? fsUnderline : 0);
  }
  int64_t Colour() const { return Colours.empty() ? WholeColour : Colours.back(); }
};

// Whether the tag `tag` (between "<" and ">", or "{" and "}") changes what
// `carried` holds; if so it is changed.
bool Carry(char32_t open, const TText& tag, TCarriedStyle& carried) {
  TText upper = tag;
  for (char32_t& c : upper) c = AsciiUpper(c);
  if (open == U'<') {
    bool closing = !upper.empty() && upper[0] == U'/';
    TText name = closing ? upper.substr(1) : upper;
    int* span = name == U"I" ? &carried.Italic : name == U"B" ? &carried.Bold : name == U"U" ? &carried.Underline : nullptr;
    if (span) {
      *span = closing ? std::max(0, *span - 1) : *span + 1;
    } else if (!closing && name.rfind(U"FONT COLOR=\"#", 0) == 0 && HexColor(upper, 13) >= 0) {
      int64_t rgb = HexColor(upper, 13);
      carried.Colours.push_back(static_cast<uint32_t>(((rgb & 0xFF) << 16) | (rgb & 0xFF00) | (rgb >> 16)));
    } else if (closing && name == U"FONT") {
      if (!carried.Colours.empty()) carried.Colours.pop_back();
    } else {
      return false;
    }
    return true;
  }
  // Upper case only: "{y:i}" is the line's own.
  if (tag.size() == 3 && tag[0] == U'Y' && tag[1] == U':') {
    char32_t code = AsciiUpper(tag[2]);
    carried.Whole |= code == U'I' ? fsItalic : code == U'B' ? fsBold : code == U'U' ? fsUnderline : 0;
    return true;
  }
  if (tag.rfind(U"C:$", 0) == 0 && HexColor(tag, 3) >= 0) {
    carried.WholeColour = HexColor(tag, 3);
    return true;
  }
  if (tag.rfind(U"F:", 0) == 0) {
    carried.WholeFont = EncodeUtf8(tag.substr(2));
    return true;
  }
  return false;
}

// Follows the markup of one display line into `carried`; returns what held
// where the line's text starts.
TCarriedStyle FollowMarkup(const TText& line, TCarriedStyle& carried) {
  std::optional<TCarriedStyle> atText;
  for (size_t i = 0; i < line.size(); ++i) {
    char32_t close = line[i] == U'<' ? U'>' : line[i] == U'{' ? U'}' : 0;
    size_t end = close ? line.find(close, i + 1) : TText::npos;
    if (end != TText::npos && Carry(line[i], line.substr(i + 1, end - i - 1), carried)) {
      i = end;
    } else if (!atText) {
      atText = carried;
    }
  }
  return atText.value_or(carried);
}

}  // namespace

std::vector<TDisplayRow> DisplayRows(const TText& text, const TWorkingFont& working) {
  std::vector<TDisplayRow> rows;
  TCarriedStyle carried;
  for (const TText& line : SplitDisplayLines(text)) {
    TCarriedStyle open = FollowMarkup(line, carried);
    // Each line starts from the working font; its own tags win over what
    // the lines above left open.
    TTextStyle style{working.Name, working.Color, fsBold};
    TText drawn = ApplyStyleTags(line, true, working, style);
    if (style.Style == working.Style && open.Style()) style.Style = open.Style();
    if (style.Color == working.Color && open.Colour() >= 0) style.Color = static_cast<uint32_t>(open.Colour());
    if (style.FontName == working.Name && !open.WholeFont.empty()) style.FontName = open.WholeFont;
    if (!IsBlank(drawn)) rows.push_back({std::move(drawn), style});
  }
  return rows;
}

}  // namespace vidora
