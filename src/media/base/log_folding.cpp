#include "log_folding.h"

#include <cctype>

#include "text_format.h"

namespace vidora {

namespace {

// The line without the addresses of its contexts: a decoder running on
// several threads says the same thing from a copy of its context on each.
std::string WithoutAddresses(const std::string& line) {
  std::string key;
  for (size_t at = 0; at < line.size();) {
    size_t found = line.find("@ 0x", at);
    if (found == std::string::npos) {
      key.append(line, at);
      break;
    }
    key.append(line, at, found + 2 - at);
    at = found + 4;
    while (at < line.size() && std::isxdigit(static_cast<unsigned char>(line[at]))) ++at;
  }
  return key;
}

}  // namespace

std::vector<std::string> TRepeatFolder::Take(const std::string& line) {
  std::string key = WithoutAddresses(line);
  for (TSeen& seen : FSeen)
    if (seen.key == key) {
      ++seen.repeats;
      return {};
    }
  std::vector<std::string> lines = Flush();
  lines.push_back(line);
  FSeen.push_back({line, key, 0});
  if (FSeen.size() > Remembered) FSeen.pop_front();
  return lines;
}

std::vector<std::string> TRepeatFolder::Flush() {
  std::vector<std::string> lines;
  for (size_t i = 0; i < FSeen.size(); ++i) {
    TSeen& seen = FSeen[i];
    if (!seen.repeats) continue;
    // A line that only repeated itself is the last one shown; lines repeated in turn are named.
    bool onlyLast = i + 1 == FSeen.size() && lines.empty();
    lines.push_back(onlyLast ? Format("    Last message repeated %d times", seen.repeats)
                             : Format("    %s \xE2\x80\xA6 repeated %d times", seen.line.c_str(), seen.repeats));
    seen.repeats = 0;
  }
  return lines;
}

}  // namespace vidora
