#include "log_folding.h"

#include "text_format.h"

namespace vidora {

std::vector<std::string> TRepeatFolder::Take(const std::string& line) {
  for (TSeen& seen : FSeen)
    if (seen.line == line) {
      ++seen.repeats;
      return {};
    }
  std::vector<std::string> lines = Flush();
  lines.push_back(line);
  FSeen.push_back({line, 0});
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
