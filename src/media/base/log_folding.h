// Folds repeated library lines. A damaged stream makes a decoder say the
// same few lines for every packet, in turn; only the first of each is shown,
// and a count of the rest once something else is said (or the run ends).
#pragma once

#include <deque>
#include <string>
#include <vector>

namespace vidora {

class TRepeatFolder {
 public:
  // The lines to show for one complete line (without its line feed).
  std::vector<std::string> Take(const std::string& line);
  // The counts still held back.
  std::vector<std::string> Flush();

 private:
  struct TSeen {
    std::string line;
    std::string key;  // what makes two lines the same
    int repeats = 0;
  };
  static constexpr size_t Remembered = 16;  // distinct lines a cycle may have
  std::deque<TSeen> FSeen;  // most recent last
};

}  // namespace vidora
