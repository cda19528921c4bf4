// Rules of the window's controls that need no window: the quality pair,
// dropped files, log lines and the long time format.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace vidora::app {

// The exclusive Hi/Lo pair after a click on one of them has toggled it:
// exactly one is down; a click on the only enabled one leaves it down.
struct TQualityPair {
  bool HiDown, HiEnabled, LoDown, LoEnabled;
};
TQualityPair AfterQualityClick(TQualityPair pair, bool clickedHi);

// What a drop of files on the window does.
struct TDropAction {
  enum TKind { None, AddFile, LoadSubtitles } Kind = None;
  std::string FileName;
};
TDropAction DropAction(const std::vector<std::string>& files, bool addEnabled, bool addSubEnabled);
// ".TXT", ".SUB", ".SRT", ".SSA", ".SMI", ".ASS" in any letter case.
bool HasSubtitleExtension(const std::string& fileName);

// "#" + thread id + "." + level ordinal + ": " + message.
std::string LogLine(uint32_t threadId, int level, const std::string& message);

// The newest lines, at most `capacity`.
class TBoundedLog {
 public:
  explicit TBoundedLog(size_t capacity) : FCapacity(capacity) {}
  // Returns whether the oldest line was dropped to make room.
  bool Add(std::string line);
  const std::deque<std::string>& Lines() const { return FLines; }

 private:
  size_t FCapacity;
  std::deque<std::string> FLines;
};

// A locale's long time format without its time-zone part ("HH:mm:ss t" → "HH:mm:ss").
std::string WithoutTimeZone(const std::string& format);

}  // namespace vidora::app
