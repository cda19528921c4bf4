// The program's store of conversion settings: the output profile, the
// subtitle settings with their working font, the subtitle time table and the
// file being added. Never shown; the main window and the converter ask it
// for the option records of each new job.
#pragma once

#include <string>

#include "media/encoder/options.h"
#include "options/output_profile.h"
#include "options/subtitle_settings.h"

namespace vidora {

class TFFDecoder;
class SettingsStore;

inline constexpr const char* ProgramName = "Vidora to 3GP/GSM Phone";
inline constexpr const char* ProgramShortName = "3GP/GSM Phone";

// What turns MicroDVD frame numbers into seconds: the frame rate of the first
// video stream, or 0 when the input has none.
double SubtitleFrameRate(TFFDecoder& decoder);

class TfrmOption {
 public:
  TOutputProfile Profile;
  TSubtitleSettings Subtitles;
  TWorkingFont Font;  // what the renderer draws with

  // Remembers the file being added and its first video and audio streams.
  void SetSourceDecoder(TFFDecoder* decoder);
  TFFDecoder* SourceDecoder() const { return FDecoder; }
  int FirstVideoStreamIndex() const { return FFirstVideoStreamIndex; }
  int FirstAudioStreamIndex() const { return FFirstAudioStreamIndex; }

  // Throws std::invalid_argument for a profile number field that is not a
  // number, and std::logic_error when no source decoder is set.
  void GetOutputOptions(TOutputOptions& options, bool fixedMode, const TNameTaken& handedOut = {}) const;
  void GetInputOptions(TInputOptions& options) const;
  void ApplyProfile(const std::string& scrambledLine) { Profile.ApplyProfile(scrambledLine); }

  // Start-up: the sister player's subtitle settings, in their order; the
  // first missing or mistyped value silently ends the reading.
  void ReadSubtitleSettings(const SettingsStore& sister);
  // Start-up: writes who we are and returns the skin name to load.
  std::string WriteIdentity(SettingsStore& own, const std::string& executable, const std::string& version) const;

 private:
  TFFDecoder* FDecoder = nullptr;
  int FFirstVideoStreamIndex = -1;
  int FFirstAudioStreamIndex = -1;
};

}  // namespace vidora
