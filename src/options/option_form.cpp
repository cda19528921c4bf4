#include "options/option_form.h"

#include <stdexcept>

#include "media/decode/decoder.h"
#include "options/settings_store.h"

namespace vidora {

double SubtitleFrameRate(TFFDecoder& decoder) {
  TVideoStreamInfo info;
  int video = decoder.FirstVideoStreamIndex();
  if (video < 0 || !decoder.GetVideoStreamInfo(video, info) || info.FrameRate.num <= 0 || info.FrameRate.den <= 0)
    return 0;
  return static_cast<double>(info.FrameRate.num) / info.FrameRate.den;
}

void TfrmOption::SetSourceDecoder(TFFDecoder* decoder) {
  FDecoder = decoder;
  FFirstVideoStreamIndex = decoder ? decoder->FirstVideoStreamIndex() : -1;
  FFirstAudioStreamIndex = decoder ? decoder->FirstAudioStreamIndex() : -1;
}

void TfrmOption::GetOutputOptions(TOutputOptions& options, bool fixedMode, const TNameTaken& handedOut) const {
  if (!FDecoder) throw std::logic_error("no file is being added");
  options = Profile.GetOutputOptions(FDecoder->FileName(), fixedMode, handedOut);
}

void TfrmOption::GetInputOptions(TInputOptions& options) const {
  if (!FDecoder) throw std::logic_error("no file is being added");
  options = TInputOptions();
  options.FileName = FDecoder->FileName();
  options.ForceFormat = FDecoder->ForceFormat();
}

namespace {
// Ends the reading at the first value that is missing or of another type.
struct TStopReading {};

template <typename T>
T Need(std::optional<T> value) {
  if (!value) throw TStopReading();
  return *value;
}
}  // namespace

void TfrmOption::ReadSubtitleSettings(const SettingsStore& sister) {
  if (!sister.Exists()) return;
  TSubtitleSettings& s = Subtitles;
  try {
    s.SetFWidth(Need(sister.ReadFloat("FWidth")));
    s.SetIQTime(Need(sister.ReadInteger("IQTime")));
    s.IQDziel = Need(sister.ReadBool("IQDziel"));
    s.IQZmniejsz = Need(sister.ReadBool("IQZmniejsz"));
    s.FontName = Need(sister.ReadString("EFontName"));
    s.SetFontSize(Need(sister.ReadFloat("EFontSize")));
    s.FontColor = static_cast<uint32_t>(Need(sister.ReadInteger("FontColor")));
    std::string style = Need(sister.ReadBinary("FontStyle"));
    if (style.size() != 1) throw TStopReading();
    s.FontStyle = static_cast<uint8_t>(style[0]);
    s.FontCharset = Need(sister.ReadInteger("FontCharset"));
    Font.Charset = s.FontCharset;
    Font.Color = s.FontColor;
    Font.Name = s.FontName;
    Font.SetSize(static_cast<int>(s.FontSize()));
    Font.Style = s.FontStyle;
    s.SetObwodka(Need(sister.ReadFloat("EObwodka")));
    s.IQText = Need(sister.ReadBool("IQNapisow"));
    s.FontAutoHeight = Need(sister.ReadBool("FontAutoHeight"));
    s.SetFontVol(Need(sister.ReadFloat("FontVol")));
    s.SetNapisyCzas(Need(sister.ReadFloat("NapisyCzas")));
    s.SetNapisBottom(Need(sister.ReadFloat("NapisBottom")));
    s.SetFontType(Need(sister.ReadInteger("FontType")));
    // The sister's own subtitle-folder settings follow; nothing here uses them.
  } catch (const TStopReading&) {
  }
}

std::string TfrmOption::WriteIdentity(SettingsStore& own, const std::string& executable,
                                      const std::string& version) const {
  own.WriteString(setting::Name, ProgramName);
  own.WriteString(setting::ShortName, ProgramShortName);
  own.WriteString(setting::Path, executable);
  own.WriteString(setting::Version, version);
  own.Sync();
  return own.ReadString(setting::SkinName).value_or("Standard");
}

}  // namespace vidora
