#include "skin/skin_file.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "media/base/ff_utils.h"
#include "media/base/text_codec.h"
#include "options/data_folders.h"

namespace vidora {

namespace {

std::string ToUTF8(const std::string& bytes, const char* from) {
  return Recode(bytes, from, "UTF-8", true).value_or(bytes);
}

}  // namespace

bool TSkinFile::Load(const std::string& fileName) {
  std::ifstream file(fileName, std::ios::binary);
  if (!file) return false;
  Parse(std::string((std::istreambuf_iterator<char>(file)), {}));
  return true;
}

void TSkinFile::Parse(const std::string& bytes) {
  FSections.clear();
  std::string text = bytes;
  FWide = true;
  if (bytes.rfind("\xEF\xBB\xBF", 0) == 0)
    text = bytes.substr(3);
  else if (bytes.rfind("\xFF\xFE", 0) == 0)
    text = ToUTF8(bytes.substr(2), "UTF-16LE");
  else if (bytes.rfind("\xFE\xFF", 0) == 0)
    text = ToUTF8(bytes.substr(2), "UTF-16BE");
  else
    FWide = false;

  std::vector<std::string> lines = SplitLines(text);
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (!line.empty() && line[0] == '[') {
      size_t close = line.find(']');
      FSections.push_back({line.substr(1, close == std::string::npos ? std::string::npos : close - 1), {},
                           i + 1 < lines.size() ? lines[i + 1] : std::string()});
      continue;
    }
    if (FSections.empty()) continue;  // before the first section
    size_t equals = line.find('=');
    if (equals == std::string::npos || equals == 0) continue;
    std::string key = line.substr(0, equals);
    std::string value = line.substr(equals + 1, 255);
    // Captions and hints go on over the following lines that hold no "=".
    if (key == "Text" || key == "Hint") {
      while (i + 1 < lines.size() && lines[i + 1].find('=') == std::string::npos) {
        if (!lines[++i].empty()) value += "\r\n" + lines[i];
      }
    }
    FSections.back().Values.emplace_back(key, value);
  }
}

const TSkinSection* TSkinFile::Section(const std::string& name) const {
  for (const TSkinSection& section : FSections)
    if (section.Name == name) return &section;
  return nullptr;
}

std::optional<std::string> TSkinFile::ProfileLine() const {
  const TSkinSection* settings = Section("Settings");
  if (!settings) return std::nullopt;
  return ProfileLine(*settings);
}

std::string TSkinFile::ProfileLine(const TSkinSection& settings) const {
  // A Unicode file carries the 8-bit line as characters below 256.
  if (!FWide) return settings.FirstLine;
  return Recode(settings.FirstLine, "UTF-8", "ISO-8859-1", true).value_or(settings.FirstLine);
}

std::string FindSkinFolder(const std::string& name) {
  for (const std::string& root : SkinRoots()) {
    std::filesystem::path folder = std::filesystem::path(root) / name;
    std::error_code error;
    if (std::filesystem::is_regular_file(folder / "skin.all", error)) return folder.string();
  }
  return {};
}

std::vector<std::string> SkinNames() {
  std::vector<std::string> names;
  for (const std::string& root : SkinRoots()) {
    std::error_code error;
    std::vector<std::string> found;
    for (std::filesystem::directory_iterator entry(root, error), end; !error && entry != end; entry.increment(error)) {
      std::error_code notFile;
      if (std::filesystem::is_regular_file(entry->path() / "skin.all", notFile))
        found.push_back(entry->path().filename().string());
    }
    std::sort(found.begin(), found.end());
    for (std::string& name : found)
      if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(std::move(name));
  }
  return names;
}

}  // namespace vidora
