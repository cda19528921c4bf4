// Reading a skin's description file ("skin.all"): sections of key=value lines.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vidora {

struct TSkinSection {
  std::string Name;
  std::vector<std::pair<std::string, std::string>> Values;  // in file order
  std::string FirstLine;  // the line right after the header ("Settings": the profile line)
};

class TSkinFile {
 public:
  // False when the file cannot be read.
  bool Load(const std::string& fileName);
  // From the file's bytes: a byte-order mark selects UTF-8 or UTF-16; other
  // files are 8-bit text and their bytes are kept as they are.
  void Parse(const std::string& bytes);
  const std::vector<TSkinSection>& Sections() const { return FSections; }
  const TSkinSection* Section(const std::string& name) const;
  // The scrambled profile line of the (first) "[Settings]" section, as 8-bit bytes.
  std::optional<std::string> ProfileLine() const;
  std::string ProfileLine(const TSkinSection& settings) const;

 private:
  std::vector<TSkinSection> FSections;
  bool FWide = false;  // the file was Unicode: its lines are UTF-8
};

// The folder of skin `name` in the first of the skin roots that holds a
// "skin.all" for it; empty when none does.
std::string FindSkinFolder(const std::string& name);

// The names of the skins found in the skin roots, each once, in the order the
// folders are enumerated (by name within a root, the roots in their order).
std::vector<std::string> SkinNames();

}  // namespace vidora
