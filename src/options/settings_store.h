// The per-user settings of one application, typed: QSettings underneath
// (the registry on Windows, ~/.config/<organisation>/<application>.conf here).
#pragma once

#include <memory>
#include <optional>
#include <string>

class QSettings;

namespace vidora {

// Our own settings, and the sister media player's, whose subtitle style we reuse.
inline constexpr const char* OwnOrganisation = "Vidora";
inline constexpr const char* OwnApplication = "3GP";
inline constexpr const char* SisterOrganisation = "Qennet";
inline constexpr const char* SisterApplication = "Mirvo";

// The names of our own settings, each spelled here once.
namespace setting {
inline constexpr const char* Name = "Name";
inline constexpr const char* ShortName = "ShortName";
inline constexpr const char* Path = "Path";
inline constexpr const char* Version = "Version";
inline constexpr const char* SkinName = "SkinName";
inline constexpr const char* Server = "Server";           // the update server, over the build's
inline constexpr const char* LastStart = "LastLU";        // when the last daily check was due
inline constexpr const char* AlwaysOnTop = "AlwaysOnTop";  // the phone stays above other windows
inline constexpr const char* LogWindowPlace = "LogWindow";  // the log window's geometry, as Qt saves it
inline constexpr const char* LastFolder = "LastFolder";    // where the file dialogs open
inline constexpr const char* FitInto = "FitInto";          // the size a film must fit, or its parts
}  // namespace setting

class SettingsStore {
 public:
  SettingsStore(const std::string& organisation, const std::string& application);
  ~SettingsStore();
  SettingsStore(const SettingsStore&) = delete;
  SettingsStore& operator=(const SettingsStore&) = delete;

  // Whether the application has any value stored.
  bool Exists() const;
  bool Contains(const std::string& name) const;

  // Nothing for a value that is missing or not of the asked type.
  std::optional<double> ReadFloat(const std::string& name) const;
  std::optional<int> ReadInteger(const std::string& name) const;
  std::optional<bool> ReadBool(const std::string& name) const;
  std::optional<std::string> ReadString(const std::string& name) const;
  std::optional<std::string> ReadBinary(const std::string& name) const;

  void WriteString(const std::string& name, const std::string& value);
  void WriteFloat(const std::string& name, double value);
  void WriteInteger(const std::string& name, int value);
  void WriteBool(const std::string& name, bool value);
  void WriteBinary(const std::string& name, const std::string& bytes);
  // Writes what is pending to the file.
  void Sync();

 private:
  std::unique_ptr<QSettings> FSettings;
};

}  // namespace vidora
