#include "options/subtitle_text.h"

#include <algorithm>
#include <cmath>

namespace vidora {

int DisplayTime(const TSubtitleSettings& settings, const TText& text, size_t queued, int64_t gap) {
  if (!settings.IQText) return settings.NapisyCzasTag();
  int64_t length = static_cast<int64_t>(text.size());
  int64_t d = settings.IQTime() * (length + length / 2) / 100;
  if (text.find(U"www.") != TText::npos) d /= 4;
  if (queued >= 2) d = static_cast<int64_t>(d * 0.75);
  d = std::clamp<int64_t>(d, 800, 5500);
  // A subtitle before a long pause stays longer, but never into the next one.
  if (queued < 2 && d < gap - 500) d = std::min<int64_t>({2 * d, gap - 400, 8000});
  return static_cast<int>(d);
}

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

void ReplaceAll(TText& s, const TText& tag, const TText& replacement) {
  for (size_t at = s.find(tag); at != TText::npos; at = s.find(tag, at + replacement.size()))
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

// A leading "/" marker sets one style alone and ends the first-line reset.
void StyleMarker(TText& s, size_t within, uint8_t style, bool& first, const TWorkingFont& working, TTextStyle& out) {
  size_t at = s.find(U'/');
  if (at != TText::npos && at < within) {
    s.erase(at, 1);
    out.Style = style;
    first = false;
  } else if (first) {
    out.Style = working.Style;
  }
}

}  // namespace

std::vector<TText> SplitDisplayLines(const TText& text) {
  std::vector<TText> lines{text};
  for (const TText& separator : {TText(U"|"), TText(U"\\N")}) {
    for (size_t i = 0; i < lines.size() && lines.size() < 3; ++i) {
      size_t at = lines[i].find(separator);
      if (at == TText::npos) continue;
      lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(i) + 1, lines[i].substr(at + separator.size()));
      lines[i].erase(at);
    }
  }
  for (TText& line : lines) line.resize(std::min(line.size(), MaxSubtitleChars));
  return lines;
}

int FindSplitPoint(const TText& s) {
  int length = static_cast<int>(s.size());
  TText t = length > 15 ? s.substr(9, length - 15) : TText();
  if (size_t at = t.find(U"..."); at != TText::npos) return static_cast<int>(at) + 1 + 12;
  if (size_t at = t.find(U','); at != TText::npos) return static_cast<int>(at) + 1 + 10;
  if (size_t at = t.find(U'.'); at != TText::npos) return static_cast<int>(at) + 1 + 10;
  int k = length / 3;
  if (k == 0) return 0;
  TText u = s.substr(k - 1);
  if (u.find_first_of(U"{}") != TText::npos) return 0;
  size_t blank = u.find(U' ');
  return blank == TText::npos ? k : k + static_cast<int>(blank) + 1;
}

TText ApplyStyleTags(TText s, bool first, const TWorkingFont& working, TTextStyle& style) {
  if (size_t at = FindNoCase(s, U"{F:"); at != TText::npos && s.find(U'}', at) != TText::npos) {
    size_t end = s.find(U'}', at);
    style.FontName = EncodeUtf8(s.substr(at + 3, end - at - 3));
    s.erase(at, end - at + 1);
  } else if (first) {
    style.FontName = working.Name;
  }
  if (size_t at = FindNoCase(s, U"{C:$"); at != TText::npos) {
    if (int64_t bgr = HexColor(s, at + 4); bgr >= 0) {
      style.Color = static_cast<uint32_t>(bgr);
      s.erase(at, 11);
    }
  }
  if (size_t at = FindNoCase(s, U"<FONT COLOR=\"#"); at != TText::npos) {
    if (int64_t rgb = HexColor(s, at + 14); rgb >= 0) {
      style.Color = static_cast<uint32_t>(((rgb & 0xFF) << 16) | (rgb & 0xFF00) | (rgb >> 16));
      s.erase(at, 22);
    }
  }
  if (size_t at = FindNoCase(s, U"</FONT"); at != TText::npos) s.erase(at);
  ReplaceAll(s, U"<i>", U"/");
  ReplaceAll(s, U"</i>", U"");
  for (const TText& tag : {TText(U"{Y:I}"), TText(U"{Y I}"), TText(U"{Y: I}")}) ReplaceAllNoCase(s, tag, U"/");
  StyleMarker(s, 4, fsItalic, first, working, style);
  for (const TText& tag : {TText(U"{Y:B}"), TText(U"{Y: B}")}) ReplaceAllNoCase(s, tag, U"/");
  StyleMarker(s, 1, fsBold, first, working, style);
  ReplaceAllNoCase(s, U"{Y:U}", U"/");
  StyleMarker(s, 1, fsUnderline, first, working, style);
  return s;
}

}  // namespace vidora
