#include "options/data_folders.h"

#include <cstdlib>
#include <filesystem>

#include "media/base/ff_utils.h"

namespace vidora {

namespace {

// The data folder of a copy laid out as bin/ beside share/vidora3gp/.
std::string RelocatedDataFolder() { return ProgramFolder() + "../share/vidora3gp"; }

bool IsAbsoluteFolder(const char* value) { return value && value[0] == '/'; }

// The source tree serves a program run from its build folder only: an
// installed or relocated copy that fell back on it would hide a missing install.
bool RunFromBuild() {
  std::error_code error;
  std::string build = std::filesystem::weakly_canonical(VIDORA_BUILD_DIR, error).string() + "/";
  return !error && ProgramFolder().starts_with(build);
}

}  // namespace

std::string UserDataFolder() {
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  if (IsAbsoluteFolder(dataHome)) return std::string(dataHome) + "/vidora3gp";
  const char* home = std::getenv("HOME");
  if (IsAbsoluteFolder(home)) return std::string(home) + "/.local/share/vidora3gp";
  return {};
}

std::vector<std::string> SkinRoots() {
  std::vector<std::string> roots;
  if (std::string user = UserDataFolder(); !user.empty()) roots.push_back(user + "/Skins");
  roots.push_back(ProgramFolder() + "Skins");
  roots.push_back(RelocatedDataFolder() + "/Skins");
  roots.push_back(std::string(VIDORA_INSTALLED_DATA_DIR) + "/Skins");
  if (RunFromBuild()) roots.push_back(VIDORA_SOURCE_SKINS_DIR);
  return roots;
}

std::string FindDataFile(const std::string& name) {
  std::vector<std::string> folders = {ProgramFolder(), RelocatedDataFolder() + "/", std::string(VIDORA_INSTALLED_DATA_DIR) + "/"};
  if (RunFromBuild()) folders.push_back(std::string(VIDORA_SOURCE_DATA_DIR) + "/");
  for (const std::string& folder : folders) {
    std::error_code error;
    std::filesystem::path candidate = folder + name;
    if (std::filesystem::is_regular_file(candidate, error)) return std::filesystem::weakly_canonical(candidate, error).string();
  }
  return {};
}

}  // namespace vidora
