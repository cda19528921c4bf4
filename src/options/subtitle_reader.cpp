#include "options/subtitle_reader.h"

#include <uchardet/uchardet.h>
#include <strings.h>

#include <algorithm>
#include <clocale>
#include <cmath>
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

// The SubStation events as "H:MM:SS. text" lines; false without "[EVENTS]".
bool ConvertSubStation(std::vector<std::string>& lines) {
  auto events = std::find_if(lines.begin(), lines.end(), [](const std::string& line) { return ContainsNoCase(line, "[EVENTS]"); });
  if (events == lines.end()) return false;
  lines.erase(lines.begin(), events + 1);
  if (lines.empty()) return true;
  std::vector<std::string> format = SplitFields(Upper(lines.front()));
  lines.erase(lines.begin());
  size_t start = std::find(format.begin(), format.end(), "START") - format.begin();
  size_t text = std::find(format.begin(), format.end(), "TEXT") - format.begin();
  if (start >= format.size() || text >= format.size()) start = text = 0;
  for (std::string& line : lines) {
    std::vector<std::string> fields = SplitFields(line);
    if (start >= fields.size() || text >= fields.size() || fields[text].empty()) continue;
    size_t at = line.find(fields[text]);
    if (at == std::string::npos) continue;
    line = fields[start].substr(0, 8) + " " + Characters(line, at, MaxSubtitleChars);
    size_t open = line.find('{'), close = line.find('}');
    if (open != std::string::npos && close != std::string::npos && open < close) line.erase(open, close - open + 1);
  }
  return true;
}

int FormatCode(const std::vector<std::string>& lines, const std::string& extension, bool subRip) {
  const std::string& first = lines.front();
  if (extension == ".SMI") return 4;
  if (!first.empty() && first[0] == '{') return 2;
  if (!first.empty() && first[0] == '[') return first.size() >= 7 && first[6] == ']' && first[3] != '[' ? 3 : 1;
  return subRip ? 5 : 0;
}

void ReadTMPlayer(std::vector<std::string>& lines, TSubtitleTable& table) {
  if (lines.back().rfind("00:00", 0) == 0) lines.pop_back();
  for (size_t i = 0; i < lines.size() && i <= 3000; ++i) {
    std::string line = lines[i];
    if (line.size() > 1 && line[1] == ':') line = "0" + line;
    if (line.size() < 8 || line[2] != ':' || line[5] != ':') continue;
    auto hours = Integer(line.substr(0, 2)), minutes = Integer(line.substr(3, 2)), seconds = Integer(line.substr(6, 2));
    if (!hours || !minutes || !seconds || *hours > 23 || *minutes > 59 || *seconds > 59 || *hours < 0 || *minutes < 0 ||
        *seconds < 0)
      continue;
    int64_t milliseconds = ((*hours * 60 + *minutes) * 60 + *seconds) * int64_t{1000};
    table.push_back({std::to_string(milliseconds), Characters(line, 9, MaxSubtitleChars)});
  }
}

// The start in whole seconds and the text of line `i` for codes 1 to 5;
// nothing when the line does not parse. SubRip moves `i` past its text lines.
std::optional<std::pair<int64_t, std::string>> ReadLine(int code, const std::vector<std::string>& lines, size_t& i,
                                                        double frameRate) {
  const std::string& line = lines[i];
  std::string rest = line.empty() ? std::string() : line.substr(1);
  switch (code) {
    case 2: {
      auto frame = IntegerBefore(rest, '}', rest);
      if (!frame || frameRate <= 0) return std::nullopt;
      return std::pair{static_cast<int64_t>(std::trunc(*frame / frameRate)), After(rest, '}')};
    }
    case 1: {
      auto tenths = IntegerBefore(rest, ']', rest);
      if (!tenths) return std::nullopt;
      return std::pair{static_cast<int64_t>(*tenths / 10), After(rest, ']')};
    }
    case 3: {
      if (rest.size() < 5) return std::nullopt;
      auto minutes = Integer(rest.substr(0, 2)), seconds = Integer(rest.substr(3, 2));
      if (!minutes || !seconds) return std::nullopt;
      rest = After(rest, ']');
      return std::pair{int64_t{*minutes} * 60 + *seconds, After(rest, ']')};
    }
    case 4: {
      if (strncasecmp(rest.c_str(), "SYNC ", 5) != 0 || ContainsNoCase(rest, "CLASS") || rest.back() == ';')
        return std::nullopt;
      rest = After(rest, '=');
      auto milliseconds = IntegerBefore(rest, '>', rest);
      if (!milliseconds) return std::nullopt;
      size_t lineBreak = Upper(rest).find("<BR>");
      if (lineBreak != std::string::npos) rest.replace(lineBreak, 4, "|");
      return std::pair{static_cast<int64_t>(*milliseconds / 1000), After(rest, '>')};
    }
    case 5: {
      if (line.size() < 8 || i + 1 >= lines.size()) return std::nullopt;
      auto hours = Integer(line.substr(0, 2)), minutes = Integer(line.substr(3, 2)), seconds = Integer(line.substr(6, 2));
      if (!hours || !minutes || !seconds) return std::nullopt;
      std::string text = lines[++i];
      while (i + 1 < lines.size() && lines[i + 1].size() > 4) text += "|" + lines[++i];
      return std::pair{int64_t{*hours} * 3600 + *minutes * 60 + *seconds, text};
    }
  }
  return std::nullopt;
}

bool HasTextAt(const TSubtitleTable& table, const std::string& key) {
  return std::any_of(table.begin(), table.end(), [&](const TSubtitleRow& row) { return row.Key == key && !row.Text.empty(); });
}

// Equal keys on neighbouring rows: the later one moves a second on.
void SeparateEqualKeys(TSubtitleTable& table) {
  for (size_t i = 0; i + 1 < table.size(); ++i) {
    auto key = Integer(table[i].Key), next = Integer(table[i + 1].Key);
    if (key && next && *key == *next) table[i + 1].Key = std::to_string(*key + 1000);
  }
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

std::string DecodeSubtitleText(const std::string& bytes, bool centralEuropean) {
  if (bytes.rfind("\xEF\xBB\xBF", 0) == 0) return bytes.substr(3);
  if (bytes.rfind("\xFF\xFE", 0) == 0) return ToUTF8(bytes.substr(2), "UTF-16LE");
  if (bytes.rfind("\xFE\xFF", 0) == 0) return ToUTF8(bytes.substr(2), "UTF-16BE");
  bool valid = false;
  DecodeUtf8(bytes, &valid);
  if (valid) return bytes;
  std::string charset = DetectCharset(bytes);
  if (!charset.empty())
    if (std::optional<std::string> text = Recode(bytes, charset.c_str(), "UTF-8", true)) return *text;
  return ToUTF8(bytes, centralEuropean ? "WINDOWS-1250" : "WINDOWS-1252");
}

bool LoadTXTLines(std::vector<std::string> lines, const std::string& extension, double frameRate,
                  TSubtitleTable& table) {
  std::string ext = Upper(extension);
  if ((ext == ".SSA" || ext == ".ASS") && !ConvertSubStation(lines)) return false;
  bool subRip = ext == ".SRT";
  if (subRip) {
    lines.erase(std::remove_if(lines.begin(), lines.end(), [](const std::string& line) { return line.empty(); }),
                lines.end());
  } else {
    std::vector<std::string> kept;
    for (size_t i = 0; i < lines.size(); ++i)
      if (i > 5000 || (lines[i].size() >= 3 && !ContainsNoCase(lines[i], "SUBEDIT"))) kept.push_back(lines[i]);
    lines.swap(kept);
  }
  table.clear();
  table.push_back({"0", SubtitleBanner});
  if (lines.empty()) return false;

  int code = FormatCode(lines, ext, subRip);
  if (code == 0) {
    ReadTMPlayer(lines, table);
  } else {
    for (size_t i = 0; i < lines.size(); ++i) {
      auto row = ReadLine(code, lines, i, frameRate);
      if (!row) continue;
      int64_t seconds = row->first;
      while (HasTextAt(table, std::to_string(seconds * 1000))) ++seconds;
      table.push_back({std::to_string(seconds * 1000), Characters(row->second, 0, MaxSubtitleChars)});
    }
  }
  SeparateEqualKeys(table);
  return true;
}

bool LoadTXT(const std::string& fileName, double frameRate, TSubtitleTable& table) {
  std::ifstream file(fileName, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(file)), {});
  const char* locale = std::setlocale(LC_MESSAGES, nullptr);
  bool centralEuropean = false;
  for (const char* language : {"pl", "cs", "sk", "hu", "sl", "hr", "ro"})
    if (locale && std::strncmp(locale, language, 2) == 0) centralEuropean = true;
  std::vector<std::string> lines = SplitLines(DecodeSubtitleText(bytes, centralEuropean));
  return LoadTXTLines(std::move(lines), std::filesystem::path(fileName).extension().string(), frameRate, table);
}

}  // namespace vidora
