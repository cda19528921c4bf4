#include "app/control_rules.h"

#include <strings.h>

#include <filesystem>

namespace vidora::app {

TQualityPair AfterQualityClick(TQualityPair pair, bool clickedHi) {
  bool& clicked = clickedHi ? pair.HiDown : pair.LoDown;
  bool& other = clickedHi ? pair.LoDown : pair.HiDown;
  bool otherEnabled = clickedHi ? pair.LoEnabled : pair.HiEnabled;
  // The click toggled the clicked one. Up now: it was down, and the other
  // one takes over if it can; otherwise it stays down.
  if (clicked || !otherEnabled) {
    clicked = true;
    other = false;
  } else {
    other = true;
  }
  return pair;
}

bool HasSubtitleExtension(const std::string& fileName) {
  std::string extension = std::filesystem::path(fileName).extension().string();
  for (const char* known : {".TXT", ".SUB", ".SRT", ".SSA", ".SMI", ".ASS"})
    if (strcasecmp(extension.c_str(), known) == 0) return true;
  return false;
}

TDropAction DropAction(const std::vector<std::string>& files, bool addEnabled, bool addSubEnabled) {
  if (files.empty()) return {};
  const std::string& first = files.front();
  if (HasSubtitleExtension(first)) return addSubEnabled ? TDropAction{TDropAction::LoadSubtitles, first} : TDropAction{};
  std::error_code error;
  if (files.size() == 1 && addEnabled && std::filesystem::exists(first, error)) return {TDropAction::AddFile, first};
  return {};
}

std::string LogLine(uint32_t threadId, int level, const std::string& message) {
  return "#" + std::to_string(threadId) + "." + std::to_string(level) + ": " + message;
}

bool TBoundedLog::Add(std::string line) {
  FLines.push_back(std::move(line));
  if (FLines.size() <= FCapacity) return false;
  FLines.pop_front();
  return true;
}

std::string WithoutTimeZone(const std::string& format) {
  std::string result;
  bool quoted = false;
  for (size_t i = 0; i < format.size(); ++i) {
    char c = format[i];
    if (c == '\'') quoted = !quoted;
    if (!quoted && c == 't') {
      // The zone and the blank that separates it from the time.
      while (!result.empty() && result.back() == ' ') result.pop_back();
      while (i + 1 < format.size() && format[i + 1] == 't') ++i;
      continue;
    }
    result += c;
  }
  return result;
}

}  // namespace vidora::app
