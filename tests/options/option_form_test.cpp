#include <gtest/gtest.h>

#include <QSettings>

#include "../media/base/test_support.h"
#include "media/decode/decoder.h"
#include "options/option_form.h"
#include "options/settings_store.h"

namespace vidora::test {
namespace {

// Settings files go to a folder of the test's own.
class OptionForm : public ::testing::Test {
 protected:
  void SetUp() override {
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(FFolder.Str()));
  }
  TTempFolder FFolder;
};

void WriteFullSister(SettingsStore& sister) {
  sister.WriteFloat("FWidth", 80);
  sister.WriteInteger("IQTime", 3000);
  sister.WriteBool("IQDziel", false);
  sister.WriteBool("IQZmniejsz", false);
  sister.WriteString("EFontName", "Tahoma");
  sister.WriteFloat("EFontSize", 30.7);
  sister.WriteInteger("FontColor", 0x00FFFF);
  sister.WriteBinary("FontStyle", std::string(1, fsBold | fsItalic));
  sister.WriteInteger("FontCharset", 0);
  sister.WriteFloat("EObwodka", 2);
  sister.WriteBool("IQNapisow", false);
  sister.WriteBool("FontAutoHeight", false);
  sister.WriteFloat("FontVol", 12);
  sister.WriteFloat("NapisyCzas", 2.5);
  sister.WriteFloat("NapisBottom", 7.5);
  sister.WriteInteger("FontType", 2);
  sister.Sync();
}

TEST_F(OptionForm, WithoutTheSisterPlayerTheDefaultsStay) {
  TfrmOption form;
  form.ReadSubtitleSettings(SettingsStore(SisterOrganisation, SisterApplication));
  EXPECT_EQ(form.Subtitles.FWidth(), 95);
  EXPECT_EQ(form.Subtitles.IQTime(), 4000);
  EXPECT_EQ(form.Subtitles.NapisyCzasTag(), 4000);
  EXPECT_EQ(form.Subtitles.FontType(), TSubtitleType::Transparent);
  EXPECT_EQ(form.Font.Name, "Arial");
  EXPECT_EQ(form.Font.Height, 27);
  EXPECT_EQ(form.Font.Size(), 20);
  EXPECT_EQ(form.Font.Color, clWhite);
}

TEST_F(OptionForm, SisterSettingsAreReadUntilTheFirstMissingOrMistypedValue) {
  {
    SettingsStore sister(SisterOrganisation, SisterApplication);
    WriteFullSister(sister);
  }
  TfrmOption full;
  full.ReadSubtitleSettings(SettingsStore(SisterOrganisation, SisterApplication));
  const TSubtitleSettings& s = full.Subtitles;
  EXPECT_EQ(s.FWidth(), 80);
  EXPECT_EQ(s.IQTime(), 3000);
  EXPECT_FALSE(s.IQDziel);
  EXPECT_FALSE(s.IQText);
  EXPECT_FALSE(s.FontAutoHeight);
  EXPECT_EQ(s.NapisyCzasTag(), 2500);
  EXPECT_EQ(s.NapisBottom(), 7.5);
  EXPECT_EQ(s.FontType(), TSubtitleType::SemiTransparent);
  EXPECT_EQ(full.Font.Name, "Tahoma");
  EXPECT_EQ(full.Font.Size(), 30) << "the size is truncated to whole points";
  EXPECT_EQ(full.Font.Height, 40);
  EXPECT_EQ(full.Font.Color, 0x00FFFFu);
  EXPECT_EQ(full.Font.Style, fsBold | fsItalic);
  EXPECT_EQ(full.Font.Charset, 0);

  {
    SettingsStore sister(SisterOrganisation, SisterApplication);
    sister.WriteString("IQDziel", "maybe");
    sister.Sync();
  }
  TfrmOption partial;
  partial.ReadSubtitleSettings(SettingsStore(SisterOrganisation, SisterApplication));
  EXPECT_EQ(partial.Subtitles.FWidth(), 80);
  EXPECT_EQ(partial.Subtitles.IQTime(), 3000);
  EXPECT_TRUE(partial.Subtitles.IQDziel) << "a mistyped value ends the reading";
  EXPECT_TRUE(partial.Subtitles.IQText);
  EXPECT_EQ(partial.Font.Name, "Arial") << "the font is built only when all its values were read";
}

TEST_F(OptionForm, OnlyTwoValuesStoredAndValuesOutOfRange) {
  {
    SettingsStore sister(SisterOrganisation, SisterApplication);
    sister.WriteFloat("FWidth", 120);
    sister.WriteInteger("IQTime", 3700);
    sister.Sync();
  }
  TfrmOption form;
  form.ReadSubtitleSettings(SettingsStore(SisterOrganisation, SisterApplication));
  EXPECT_EQ(form.Subtitles.FWidth(), 99) << "the control's maximum";
  EXPECT_EQ(form.Subtitles.IQTime(), 3500) << "the nearest step";
  EXPECT_TRUE(form.Subtitles.IQDziel);
  EXPECT_EQ(form.Subtitles.Obwodka(), 4);

  TSubtitleSettings s;
  s.SetNapisyCzas(0.2);
  EXPECT_EQ(s.NapisyCzasTag(), 1000);
  s.SetFontType(7);
  EXPECT_EQ(s.FontType(), TSubtitleType::SemiTransparentXP);
}

TEST_F(OptionForm, IdentityIsWrittenAndTheSkinNameRead) {
  TfrmOption form;
  {
    SettingsStore own(OwnOrganisation, OwnApplication);
    EXPECT_EQ(form.WriteIdentity(own, "/opt/vidora/vidora3gp", "0.1.0"), "Standard");
    own.WriteString("SkinName", "Phone320");
    own.Sync();
  }
  SettingsStore own(OwnOrganisation, OwnApplication);
  EXPECT_EQ(own.ReadString("Name"), "Vidora to 3GP/GSM Phone");
  EXPECT_EQ(own.ReadString("ShortName"), "3GP/GSM Phone");
  EXPECT_EQ(own.ReadString("Path"), "/opt/vidora/vidora3gp");
  EXPECT_EQ(own.ReadString("Version"), "0.1.0");
  EXPECT_EQ(form.WriteIdentity(own, "/opt/vidora/vidora3gp", "0.1.0"), "Phone320");
  EXPECT_FALSE(SettingsStore(SisterOrganisation, SisterApplication).Exists()) << "the sister's key is never written";
}

TEST_F(OptionForm, RecordsComeFromTheFileBeingAdded) {
  LoadMediaLibraries();
  TTempFolder media;
  std::string clip = media.Str() + "/clip.mp4", tone = media.Str() + "/tone.wav";
  const std::string ffmpeg = "ffmpeg -nostdin -loglevel error -f lavfi -i ";
  ASSERT_EQ(std::system((ffmpeg + "testsrc=size=64x48:rate=30:duration=0.2 '" + clip + "'").c_str()), 0);
  ASSERT_EQ(std::system((ffmpeg + "sine=duration=0.2 '" + tone + "'").c_str()), 0);
  TfrmOption form;
  TOutputOptions output;
  EXPECT_THROW(form.GetOutputOptions(output, false), std::logic_error);
  TFFDecoder decoder;
  ASSERT_TRUE(decoder.LoadFile(clip)) << decoder.LastErrMsg();
  EXPECT_DOUBLE_EQ(SubtitleFrameRate(decoder), 30);
  form.SetSourceDecoder(&decoder);
  EXPECT_EQ(form.FirstVideoStreamIndex(), 0);
  form.GetOutputOptions(output, false);
  EXPECT_EQ(output.FileName, media.Str() + "/clip_(Vidora)_3GP.3gp");
  TInputOptions input;
  input.ExtOptions = "left over";
  form.GetInputOptions(input);
  EXPECT_EQ(input.FileName, clip);
  EXPECT_EQ(input.ExtOptions, "") << "the record starts from its defaults";
  ASSERT_TRUE(decoder.LoadFile(tone));
  EXPECT_DOUBLE_EQ(SubtitleFrameRate(decoder), 0) << "no video";
  std::string mixed = media.Str() + "/audio_first.mkv";
  ASSERT_EQ(std::system((ffmpeg + "sine=duration=0.2 -f lavfi -i testsrc=size=64x48:rate=30:duration=0.2 -map 0 -map 1 '" +
                         mixed + "'").c_str()),
            0);
  ASSERT_TRUE(decoder.LoadFile(mixed));
  EXPECT_DOUBLE_EQ(SubtitleFrameRate(decoder), 30) << "the first video stream, though stream 0 is audio";
}

}  // namespace
}  // namespace vidora::test
