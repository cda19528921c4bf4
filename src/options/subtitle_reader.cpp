#include "options/subtitle_reader.h"

#include <uchardet/uchardet.h>
#include <strings.h>

#include <algorithm>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

#include "media/base/text_codec.h"
#include "media/base/text_convert.h"
#include "options/subtitle_text.h"

namespace vidora {


namespace {

bool ContainsNoCase(const std::string& text, const char* what) { return Upper(text).find(what) != std::string::npos; }

// At most `count` characters (not bytes) of UTF-8 text, from byte `start`.
std::string Characters(const std::string& text, size_t start, size_t count) {
  if (start >= text.size()) return {};
  size_t end = start;
  for (size_t taken = 0; end < text.size() && taken < count; ++taken) {
    ++end;
    while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) ++end;
  }
  return text.substr(start, end - start);
}

size_t CharacterCount(const std::string& text) {
  return std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; });
}

bool StartsNoCase(const std::string& text, const char* what) { return strncasecmp(text.c_str(), what, strlen(what)) == 0; }

bool IsBlank(const std::string& text) { return text.find_first_not_of(" \t") == std::string::npos; }

std::optional<int> Integer(const std::string& text) {
  try {
    return StrToInt(text);
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

// The integer before the first `mark`, and the text after it.
std::optional<int> IntegerBefore(std::string text, char mark, std::string& rest) {
  size_t at = text.find(mark);
  if (at == std::string::npos) return std::nullopt;
  rest = text.substr(at + 1);
  return Integer(text.substr(0, at));
}

std::string After(const std::string& text, char mark) {
  size_t at = text.find(mark);
  return at == std::string::npos ? text : text.substr(at + 1);
}

std::string ToUTF8(const std::string& bytes, const char* from) {
  return Recode(bytes, from, "UTF-8", true).value_or(bytes);
}

// A cue as a file gives it: times in milliseconds.
struct TCue {
  int64_t Start = 0;
  int64_t End = -1;  // -1: the file gives no end
  std::string Text;
};

// A whole number of digits only (no sign), or nothing.
std::optional<int64_t> Digits(const std::string& text) {
  if (text.empty() || text.size() > 12 || text.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
  return std::stoll(text);
}

// "H:MM:SS", "HH:MM:SS,mmm" or "H:MM:SS.cc" in milliseconds; nothing for a
// time that does not parse (a negative one included).
std::optional<int64_t> ClockTime(const std::string& clock) {
  std::string text = Trim(clock, " \t");
  size_t first = text.find(':');
  size_t second = first == std::string::npos ? first : text.find(':', first + 1);
  if (second == std::string::npos) return std::nullopt;
  size_t dot = text.find_first_of(",.", second);
  auto hours = Digits(text.substr(0, first)), minutes = Digits(text.substr(first + 1, second - first - 1));
  auto seconds = Digits(text.substr(second + 1, dot == std::string::npos ? dot : dot - second - 1));
  if (!hours || !minutes || !seconds || *minutes > 59 || *seconds > 59) return std::nullopt;
  int64_t milliseconds = ((*hours * 60 + *minutes) * 60 + *seconds) * 1000;
  if (dot != std::string::npos) {
    std::string fraction = text.substr(dot + 1, 3);
    if (!Digits(fraction)) return std::nullopt;
    fraction.resize(3, '0');
    milliseconds += *Digits(fraction);
  }
  return milliseconds;
}

// A SubStation override block as the tags the renderer has: italic, bold and
// underline switched on and off; everything else in it has no counterpart.
std::string OverrideTags(const std::string& block) {
  std::string tags;
  for (size_t at = block.find('\\'); at != std::string::npos; at = block.find('\\', at + 1)) {
    std::string code = block.substr(at + 1, 2);
    for (const char* style : {"i", "b", "u"}) {
      if (code == std::string(style) + "1") tags += std::string("<") + style + ">";
      if (code == std::string(style) + "0") tags += std::string("</") + style + ">";
    }
  }
  return tags;
}

// SubStation dialogue text with the renderer's markup: override blocks become
// tags or go, "\N" and "\n" break the line, "\h" is a blank.
std::string SubStationText(const std::string& text) {
  std::string out;
  size_t close = text.find('}');  // the first "}" from i on
  for (size_t i = 0; i < text.size(); ++i) {
    if (close != std::string::npos && close < i) close = text.find('}', i);
    if (text[i] == '{' && close != std::string::npos) {
      out += OverrideTags(text.substr(i + 1, close - i - 1));
      i = close;
    } else if (text[i] == '\\' && i + 1 < text.size() && (text[i + 1] == 'N' || text[i + 1] == 'n')) {
      out += '|';
      ++i;
    } else if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == 'h') {
      out += ' ';
      ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

// The SubStation dialogue lines as cues; nothing without "[EVENTS]". The
// format line may come after dialogue lines; without one the standard order
// of fields applies.
std::optional<std::vector<TCue>> ReadSubStation(const std::vector<std::string>& lines) {
  auto events = std::find_if(lines.begin(), lines.end(), [](const std::string& line) { return ContainsNoCase(line, "[EVENTS]"); });
  if (events == lines.end()) return std::nullopt;
  std::vector<std::string> format{"FORMAT: LAYER", "START", "END", "STYLE", "NAME", "MARGINL", "MARGINR", "MARGINV", "EFFECT", "TEXT"};
  auto formatLine = std::find_if(events, lines.end(), [](const std::string& line) { return StartsNoCase(line, "FORMAT:"); });
  if (formatLine != lines.end()) format = SplitFields(Upper(*formatLine));
  size_t start = std::find(format.begin(), format.end(), "START") - format.begin();
  size_t end = std::find(format.begin(), format.end(), "END") - format.begin();
  size_t text = std::find(format.begin(), format.end(), "TEXT") - format.begin();
  std::vector<TCue> cues;
  if (start >= format.size() || text >= format.size()) return cues;
  for (auto line = events + 1; line != lines.end(); ++line) {
    // Comments and the lines of later sections are no dialogue.
    if (!StartsNoCase(*line, "DIALOGUE:")) continue;
    std::vector<std::string> fields = SplitFields(*line);
    if (start >= fields.size() || text >= fields.size()) continue;
    // The text is the last field: everything after its comma, commas and all.
    size_t at = 0;
    for (size_t comma = 0; comma < text && at != std::string::npos; ++comma) {
      at = line->find(',', at);
      if (at != std::string::npos) ++at;
    }
    std::optional<int64_t> from = ClockTime(fields[start]);
    std::string dialogue = at == std::string::npos ? "" : SubStationText(Trim(line->substr(at), " \t"));
    if (!from || IsBlank(dialogue)) continue;
    std::optional<int64_t> to = end < fields.size() ? ClockTime(fields[end]) : std::nullopt;
    cues.push_back({*from, to.value_or(-1), dialogue});
  }
  return cues;
}

int FormatCode(const std::vector<std::string>& lines, const std::string& extension, bool subRip) {
  const std::string& first = lines.front();
  if (extension == ".SMI") return 4;
  if (!first.empty() && first[0] == '{') return 2;
  if (!first.empty() && first[0] == '[') return first.size() >= 7 && first[6] == ']' && first[3] != '[' ? 3 : 1;
  return subRip ? 5 : 0;
}

// A last line "00:00:00:" with no text ends some files; it is no subtitle.
bool IsTMPlayerTerminator(std::string line) {
  if (line.size() > 1 && line[1] == ':') line = "0" + line;
  return line.rfind("00:00:00", 0) == 0 && IsBlank(line.substr(std::min<size_t>(line.size(), 9)));
}

void ReadTMPlayer(std::vector<std::string>& lines, std::vector<TCue>& cues) {
  if (IsTMPlayerTerminator(lines.back())) lines.pop_back();
  for (size_t i = 0; i < lines.size() && i <= 3000; ++i) {
    std::string line = lines[i];
    if (line.size() > 1 && line[1] == ':') line = "0" + line;
    if (line.size() < 8 || line[2] != ':' || line[5] != ':') continue;
    auto hours = Integer(line.substr(0, 2)), minutes = Integer(line.substr(3, 2)), seconds = Integer(line.substr(6, 2));
    if (!hours || !minutes || !seconds || *hours > 23 || *minutes > 59 || *seconds > 59 || *hours < 0 || *minutes < 0 ||
        *seconds < 0)
      continue;
    int64_t milliseconds = ((*hours * 60 + *minutes) * 60 + *seconds) * int64_t{1000};
    std::string text = Characters(line, 9, MaxSubtitleChars);
    if (!IsBlank(text)) cues.push_back({milliseconds, -1, text});
  }
}

bool IsTimingLine(const std::string& line) { return line.size() >= 8 && line.find("-->") != std::string::npos; }

// Replaces every `what` (upper case) found in the upper-case form of `text`.
void ReplaceAllNoCase(std::string& text, const std::string& what, const std::string& with) {
  std::string upper = Upper(text), out;
  size_t from = 0;
  for (size_t at = upper.find(what); at != std::string::npos; at = upper.find(what, from)) {
    out += text.substr(from, at - from) + with;
    from = at + what.size();
  }
  text = out + text.substr(from);
}

// The text of a SAMI cue: "<BR>" breaks the line, the paragraph tags and the
// common entities go; other tags stay for the renderer.
std::string SAMIText(std::string text) {
  for (const char* lineBreak : {"<BR>", "<BR/>", "<BR />"}) ReplaceAllNoCase(text, lineBreak, "|");
  // Paragraph tags "<P ...>" and "</P>".
  std::string kept;
  size_t end = text.find('>');  // the first ">" from i on
  for (size_t i = 0; i < text.size(); ++i) {
    if (end != std::string::npos && end < i) end = text.find('>', i);
    std::string name = text[i] != '<' || end == std::string::npos ? "" : Upper(text.substr(i + 1, std::min<size_t>(end - i - 1, 3)));
    if (name == "P" || name.rfind("P ", 0) == 0 || name == "/P")
      i = end;
    else
      kept += text[i];
  }
  text = kept;
  for (auto [entity, character] : {std::pair{"&NBSP;", " "}, {"&LT;", "<"}, {"&GT;", ">"}, {"&QUOT;", "\""}, {"&AMP;", "&"}})
    ReplaceAllNoCase(text, entity, character);
  return Trim(text, " \t");
}

// The end field of MicroDVD and MPL2 lines, "{m}" or "[m]" at the start of
// `rest`, in the file's units; -1 when it is empty or does not parse.
int64_t EndField(const std::string& rest, char open, char close) {
  size_t end = rest.find(close);
  if (rest.empty() || rest[0] != open || end == std::string::npos) return -1;
  return Digits(rest.substr(1, end - 1)).value_or(-1);
}

// The cue of line `i` for codes 1 to 5; nothing when the line does not parse
// or its time is negative. SubRip and SAMI move `i` past their text lines. A
// SAMI cue may be blank: it ends the one before.
std::optional<TCue> ReadLine(int code, const std::vector<std::string>& lines, size_t& i, double frameRate) {
  const std::string& line = lines[i];
  std::string rest = line.empty() ? std::string() : line.substr(1);
  switch (code) {
    case 2: {
      auto frame = IntegerBefore(rest, '}', rest);
      if (!frame || *frame < 0 || frameRate <= 0) return std::nullopt;
      int64_t end = EndField(rest, '{', '}');
      auto milliseconds = [&](int64_t frames) { return static_cast<int64_t>(std::floor(frames * 1000 / frameRate)); };
      return TCue{milliseconds(*frame), end < 0 ? -1 : milliseconds(end), After(rest, '}')};
    }
    case 1: {
      auto tenths = IntegerBefore(rest, ']', rest);
      if (!tenths || *tenths < 0) return std::nullopt;
      int64_t end = EndField(rest, '[', ']');
      return TCue{int64_t{*tenths} * 100, end < 0 ? -1 : end * 100, After(rest, ']')};
    }
    case 3: {
      if (rest.size() < 5) return std::nullopt;
      auto minutes = Digits(rest.substr(0, 2)), seconds = Digits(rest.substr(3, 2));
      if (!minutes || !seconds) return std::nullopt;
      rest = After(rest, ']');
      return TCue{(*minutes * 60 + *seconds) * 1000, -1, After(rest, ']')};
    }
    case 4: {
      if (!StartsNoCase(rest, "SYNC ")) return std::nullopt;
      rest = After(rest, '=');
      auto milliseconds = IntegerBefore(rest, '>', rest);
      if (!milliseconds || *milliseconds < 0) return std::nullopt;
      // The text may go on over the lines up to the next cue or the end of the body.
      while (i + 1 < lines.size() && !StartsNoCase(lines[i + 1], "<SYNC") && !StartsNoCase(lines[i + 1], "</BODY"))
        rest += " " + lines[++i];
      return TCue{*milliseconds, -1, SAMIText(rest)};
    }
    case 5: {
      if (!IsTimingLine(line)) return std::nullopt;
      size_t arrow = line.find("-->");
      std::string to = Trim(line.substr(arrow + 3), " \t");
      auto start = ClockTime(line.substr(0, arrow)), end = ClockTime(to.substr(0, to.find(' ')));
      if (!start) return std::nullopt;
      // A cue's text ends at a blank line, at the next timing line and at the
      // number before it; a cue without text gives no row. Short lines are text.
      auto isText = [&](size_t at) {
        return at < lines.size() && !IsBlank(lines[at]) && !IsTimingLine(lines[at]) &&
               !(at + 1 < lines.size() && IsTimingLine(lines[at + 1]));
      };
      if (!isText(i + 1)) return std::nullopt;
      std::string text = lines[++i];
      while (isText(i + 1)) text += "|" + lines[++i];
      return TCue{*start, end.value_or(-1), text};
    }
  }
  return std::nullopt;
}

// "<SYNC" and "</BODY" open lines of their own: a SAMI file may be written on one line.
std::vector<std::string> SplitAtSync(const std::vector<std::string>& lines) {
  std::vector<std::string> split;
  for (const std::string& line : lines) {
    std::string upper = Upper(line);
    size_t from = 0;
    auto next = [&](size_t after) { return std::min(upper.find("<SYNC", after), upper.find("</BODY", after)); };
    for (size_t at = next(1); at != std::string::npos; at = next(at + 1)) {
      split.push_back(line.substr(from, at - from));
      from = at;
    }
    split.push_back(line.substr(from));
  }
  return split;
}

// The rows of the cues, after the banner: ordered by start (the file's order
// among equal starts), cues that start together joined into one row.
void AppendCues(std::vector<TCue>& cues, TSubtitleTable& table) {
  std::stable_sort(cues.begin(), cues.end(), [](const TCue& a, const TCue& b) { return a.Start < b.Start; });
  int64_t lastStart = -1;
  for (TCue& cue : cues) {
    if (cue.End <= cue.Start) cue.End = -1;  // an end before the start says nothing
    if (cue.Start == lastStart) {
      TSubtitleRow& row = table.back();
      row.Text = Characters(row.Text + "|" + cue.Text, 0, MaxSubtitleChars);
      row.End = std::max(row.End, cue.End);
      continue;
    }
    table.push_back({std::to_string(cue.Start), Characters(cue.Text, 0, MaxSubtitleChars), cue.End});
    lastStart = cue.Start;
  }
}

// A first MicroDVD row whose text is only a number, "{1}{1}23.976", gives
// the frame rate the file was timed for; 0 when there is none.
double MicroDVDHeaderRate(const std::string& line) {
  std::string rest = After(After(line, '}'), '}');
  if (rest.empty() || rest.find_first_not_of("0123456789.,") != std::string::npos) return 0;
  std::replace(rest.begin(), rest.end(), ',', '.');
  double rate = 0;
  auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), rate);
  return error == std::errc() && end == rest.data() + rest.size() && std::isfinite(rate) && rate > 0 ? rate : 0;
}

// The rate frame numbers are read at: the video's, else the file's header,
// else 25 frames/s; without a video, `note` says which.
double MicroDVDRate(double videoRate, double headerRate, std::string* note) {
  if (videoRate > 0) return videoRate;
  char text[160];
  if (headerRate > 0)
    std::snprintf(text, sizeof text, "No video stream: frame-numbered subtitles are timed at %g frames/s, from the subtitle file's header", headerRate);
  else
    std::snprintf(text, sizeof text, "No video stream: frame-numbered subtitles are timed at 25 frames/s");
  if (note) *note = text;
  return headerRate > 0 ? headerRate : 25;
}

}  // namespace

std::vector<std::string> SplitFields(const std::string& text) {
  std::vector<std::string> fields;
  std::string rest = text;
  while (true) {
    size_t comma = rest.find(',');
    if (comma == std::string::npos) {
      fields.push_back(Trim(rest, " \t"));
      return fields;
    }
    fields.push_back(Trim(rest.substr(0, comma), " \t"));
    rest = rest.substr(comma + 1, MaxSubtitleChars);
  }
}

// "UTF-16LE" or "UTF-16BE" for text with zero bytes at every other position
// (most characters of a subtitle file are ASCII) and none between; else null.
const char* UTF16WithoutMark(const std::string& bytes) {
  size_t pairs = std::min<size_t>(bytes.size() / 2, 4096), zeros[2] = {0, 0};
  for (size_t i = 0; i < 2 * pairs; ++i) zeros[i % 2] += bytes[i] == 0;
  if (pairs < 2) return nullptr;
  if (zeros[0] == 0 && zeros[1] * 2 > pairs) return "UTF-16LE";
  if (zeros[1] == 0 && zeros[0] * 2 > pairs) return "UTF-16BE";
  return nullptr;
}

// The character set uchardet sees in the bytes; empty when it cannot tell.
std::string DetectCharset(const std::string& bytes) {
  uchardet_t detector = uchardet_new();
  std::string charset;
  if (uchardet_handle_data(detector, bytes.data(), bytes.size()) == 0) {
    uchardet_data_end(detector);
    charset = uchardet_get_charset(detector);
  }
  uchardet_delete(detector);
  return charset == "ASCII" ? std::string() : charset;
}

size_t CountOf(const std::u32string& text, const std::u32string& letters) {
  return std::count_if(text.begin(), text.end(), [&](char32_t c) { return letters.find(c) != std::u32string::npos; });
}

// A short Central European text may be guessed Western: its letters then
// show as signs rare in every language ("Za¿ó³æ gêœl¹"). When a Central
// European page reads those bytes as at least as many common Polish letters,
// it is that page.
std::string CentralEuropeanIfMisread(const std::string& bytes, const std::string& guessed) {
  std::u32string text = DecodeUtf8(guessed);
  size_t rare = CountOf(text, U"\u00B3\u00B9\u00B6\u00BC\u00BE\u00B1\u00A5\u00AF");  // ³ ¹ ¶ ¼ ¾ ± ¥ ¯
  size_t odd = rare + CountOf(text, U"\u00BF\u0153\u0178\u00E6");                        // ¿ œ Ÿ æ
  if (rare == 0 || odd < 2) return guessed;
  std::string best = guessed;
  size_t bestLetters = odd - 1;
  for (const char* page : {"WINDOWS-1250", "ISO-8859-2"}) {
    std::optional<std::string> candidate = Recode(bytes, page, "UTF-8", true);
    if (!candidate) continue;
    size_t letters = CountOf(DecodeUtf8(*candidate), U"ąćęłńóśźżĄĆĘŁŃÓŚŹŻ");
    if (letters > bestLetters) {
      best = *candidate;
      bestLetters = letters;
    }
  }
  return best;
}

std::string DecodeSubtitleText(const std::string& bytes, bool centralEuropean) {
  if (bytes.rfind("\xEF\xBB\xBF", 0) == 0) return bytes.substr(3);
  if (bytes.rfind("\xFF\xFE", 0) == 0) return ToUTF8(bytes.substr(2), "UTF-16LE");
  if (bytes.rfind("\xFE\xFF", 0) == 0) return ToUTF8(bytes.substr(2), "UTF-16BE");
  if (const char* utf16 = UTF16WithoutMark(bytes)) return ToUTF8(bytes, utf16);
  bool valid = false;
  DecodeUtf8(bytes, &valid);
  if (valid) return bytes;
  std::string charset = DetectCharset(bytes);
  if (!charset.empty())
    if (std::optional<std::string> text = Recode(bytes, charset.c_str(), "UTF-8", true))
      return CentralEuropeanIfMisread(bytes, *text);
  return ToUTF8(bytes, centralEuropean ? "WINDOWS-1250" : "WINDOWS-1252");
}

bool LoadTXTLines(std::vector<std::string> lines, const std::string& extension, double frameRate,
                  TSubtitleTable& table, std::string* note) {
  std::string ext = Upper(extension);
  std::vector<TCue> cues;
  if (ext == ".SSA" || ext == ".ASS") {
    std::optional<std::vector<TCue>> dialogue = ReadSubStation(lines);
    if (!dialogue) return false;
    table.clear();
    table.push_back({"0", SubtitleBanner});
    AppendCues(*dialogue, table);
    return true;
  }
  bool subRip = ext == ".SRT";
  if (ext == ".SMI") lines = SplitAtSync(lines);
  if (subRip) {
    // Blank lines end a cue's text; those before the first cue say nothing.
    lines.erase(lines.begin(), std::find_if(lines.begin(), lines.end(), [](const std::string& line) { return !IsBlank(line); }));
  } else if (ext != ".SMI") {
    // The text of a SAMI cue may go on over short lines.
    std::vector<std::string> kept;
    for (size_t i = 0; i < lines.size(); ++i)
      if (i > 5000 || (CharacterCount(lines[i]) >= 3 && !ContainsNoCase(lines[i], "SUBEDIT"))) kept.push_back(lines[i]);
    lines.swap(kept);
  }
  table.clear();
  table.push_back({"0", SubtitleBanner});
  if (lines.empty()) return false;

  int code = FormatCode(lines, ext, subRip);
  if (code == 0) {
    ReadTMPlayer(lines, cues);
  } else {
    if (code == 2) {
      double headerRate = MicroDVDHeaderRate(lines.front());
      if (headerRate > 0) lines.erase(lines.begin());
      frameRate = MicroDVDRate(frameRate, headerRate, note);
    }
    std::optional<size_t> open;  // the last SAMI cue, until the next one ends it
    for (size_t i = 0; i < lines.size(); ++i) {
      std::optional<TCue> cue = ReadLine(code, lines, i, frameRate);
      if (!cue) continue;
      if (open && cue->Start > cues[*open].Start) cues[*open].End = cue->Start;
      open.reset();
      if (IsBlank(cue->Text)) continue;
      cues.push_back(std::move(*cue));
      if (code == 4) open = cues.size() - 1;
    }
  }
  AppendCues(cues, table);
  return true;
}

bool LoadTXT(const std::string& fileName, double frameRate, TSubtitleTable& table, std::string* note) {
  std::ifstream file(fileName, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(file)), {});
  const char* locale = std::setlocale(LC_MESSAGES, nullptr);
  bool centralEuropean = false;
  for (const char* language : {"pl", "cs", "sk", "hu", "sl", "hr", "ro"})
    if (locale && std::strncmp(locale, language, 2) == 0) centralEuropean = true;
  std::vector<std::string> lines = SplitLines(DecodeSubtitleText(bytes, centralEuropean));
  return LoadTXTLines(std::move(lines), std::filesystem::path(fileName).extension().string(), frameRate, table, note);
}

}  // namespace vidora
