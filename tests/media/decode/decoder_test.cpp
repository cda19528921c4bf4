#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

#include "media/base/bindings.h"
#include "media/base/loader.h"
#include "media/decode/decoder.h"
#include "media/engine/ffmpeg.h"
#include "../base/test_support.h"

namespace vidora::test {
namespace {

std::string Clip(const std::string& name) { return std::string(CLIPS_DIR) + "/" + name; }

class DecoderTest : public ::testing::Test {
 protected:
  void SetUp() override { LoadMediaLibraries(); }
  bool HasLine(const std::vector<std::string>& lines, const std::string& text) {
    return std::any_of(lines.begin(), lines.end(), [&](const std::string& line) { return line.find(text) != std::string::npos; });
  }
  TFFDecoder FDecoder;
};

TEST_F(DecoderTest, StreamInformationOfAKnownClip) {
  ASSERT_TRUE(FDecoder.LoadFile(Clip("clip.mp4"))) << FDecoder.LastErrMsg();
  EXPECT_EQ(FDecoder.StreamCount(), 2);
  EXPECT_EQ(FDecoder.VideoStreamCount(), 1);
  EXPECT_EQ(FDecoder.AudioStreamCount(), 1);
  EXPECT_EQ(FDecoder.SubtitleStreamCount(), 0);
  EXPECT_EQ(FDecoder.FirstVideoStreamIndex(), 0);
  EXPECT_EQ(FDecoder.FirstAudioStreamIndex(), 1);
  EXPECT_EQ(FDecoder.FirstSubtitleStreamIndex(), -1);
  EXPECT_EQ(FDecoder.FormatName(), "mov,mp4,m4a,3gp,3g2,mj2");
  EXPECT_GT(FDecoder.FileSize(), 100000);

  TVideoStreamInfo video = FDecoder.FirstVideoStreamInfo();
  EXPECT_EQ(video.Width, 320);
  EXPECT_EQ(video.Height, 240);
  EXPECT_EQ(video.FrameRate.num, 25);
  EXPECT_EQ(video.FrameRate.den, 1);
  EXPECT_EQ(video.DurationScaled, 3000000);
  EXPECT_EQ(video.StartTimeScaled, 0);
  EXPECT_FLOAT_EQ(video.AspectRatio, 4.0f / 3.0f);
  EXPECT_EQ(video.PixFmt, AV_PIX_FMT_YUV420P);
  EXPECT_EQ(video.CodecName, "mpeg4 (MPEG-4 part 2)");
  EXPECT_EQ(video.Language, "und");

  TAudioStreamInfo audio;
  ASSERT_TRUE(FDecoder.GetAudioStreamInfo(1, audio));
  EXPECT_EQ(audio.Channels, 2);
  EXPECT_EQ(audio.SampleRate, 44100);
  EXPECT_EQ(audio.CodecName, "aac (AAC (Advanced Audio Coding))");

  TFileStreamInfo file = FDecoder.FileStreamInfo();
  EXPECT_NEAR(static_cast<double>(file.Duration), 3000000, 50000);
  EXPECT_EQ(file.Year, -1);
  EXPECT_EQ(file.Title, "");
}

TEST_F(DecoderTest, WrongStreamsGiveTheirMessages) {
  TVideoStreamInfo video;
  EXPECT_FALSE(FDecoder.GetVideoStreamInfo(0, video));
  EXPECT_EQ(FDecoder.LastErrMsg(), "file not loaded.");

  ASSERT_TRUE(FDecoder.LoadFile(Clip("tone.wav")));
  EXPECT_FALSE(FDecoder.GetVideoStreamInfo(0, video));
  EXPECT_EQ(FDecoder.LastErrMsg(), "stream #0 is not video stream.");
  EXPECT_EQ(video.FrameRate.num, -1);
  EXPECT_EQ(video.FrameRate.den, -1);
  EXPECT_FALSE(FDecoder.GetVideoStreamInfo(-1, video));
  EXPECT_EQ(FDecoder.LastErrMsg(), "no video stream.");
  TSubtitleStreamInfo subtitles;
  EXPECT_FALSE(FDecoder.GetSubtitleStreamInfo(5, subtitles));
  EXPECT_EQ(FDecoder.LastErrMsg(), "stream index #5 is invalid.");
  EXPECT_FALSE(FDecoder.Decode());
  EXPECT_EQ(FDecoder.LastErrMsg(), "no video stream.");

  EXPECT_FALSE(FDecoder.LoadFile(Clip("clip.mp4"), "no_such_format"));
  EXPECT_EQ(FDecoder.LastErrMsg(), "Unknown input format: no_such_format");
  EXPECT_EQ(FDecoder.StreamCount(), -1) << "nothing stays open";
  EXPECT_FALSE(FDecoder.LoadFile(Clip("noise.mp4")));
  EXPECT_EQ(FDecoder.LastErrMsg(), Clip("noise.mp4") + ": Invalid data found when processing input");
}

TEST_F(DecoderTest, FileInfoTextDescribesTheFile) {
  ASSERT_TRUE(FDecoder.LoadFile(Clip("clip.mp4")));
  std::vector<std::string> lines = FDecoder.FileInfoText();
  ASSERT_GE(lines.size(), 8u);
  EXPECT_EQ(lines[0], "File Name: " + Clip("clip.mp4"));
  EXPECT_EQ(lines[1], "Format Name: mov,mp4,m4a,3gp,3g2,mj2");
  EXPECT_EQ(lines[4].rfind("Duration: 00:00:03.0", 0), 0u) << lines[4];
  EXPECT_EQ(lines[5], "StartTime: 0.000000");
  EXPECT_TRUE(HasLine(lines, "Stream #0[0x1](und): Video: mpeg4 (Simple Profile)"));
  EXPECT_TRUE(HasLine(lines, ", 25 fps, 25 tbr, 12800 tbn"));
  EXPECT_TRUE(HasLine(lines, "Stream #1[0x2](und): Audio: aac (LC)"));
  EXPECT_TRUE(HasLine(lines, "  major_brand     : isom"));

  ASSERT_TRUE(FDecoder.LoadFile(Clip("tagged.mkv")));
  lines = FDecoder.FileInfoText();
  EXPECT_TRUE(HasLine(lines, "  album           : Holiday"));
  EXPECT_TRUE(HasLine(lines, "  title           : Song"));
  EXPECT_TRUE(HasLine(lines, "  artist          : Band"));
}

TEST_F(DecoderTest, SteppingForwardAndBack) {
  ASSERT_TRUE(FDecoder.LoadFile(Clip("clip.mp4")));
  ASSERT_TRUE(FDecoder.Decode());
  EXPECT_EQ(FDecoder.FrameInfo().PTS, 0);
  EXPECT_TRUE(FDecoder.FrameInfo().IsKeyFrame);
  EXPECT_EQ(FDecoder.FrameInfo().PictureType, ptI);
  ASSERT_TRUE(FDecoder.Decode());
  EXPECT_EQ(FDecoder.FrameInfo().PTS, 40000);
  EXPECT_FALSE(FDecoder.FrameInfo().IsKeyFrame);

  ASSERT_TRUE(FDecoder.DecodeNextKeyFrame());
  EXPECT_EQ(FDecoder.FrameInfo().PTS, 480000) << "key frames every 12 pictures";
  EXPECT_TRUE(FDecoder.FrameInfo().IsKeyFrame);
  for (int i = 0; i < 8; ++i) ASSERT_TRUE(FDecoder.Decode());
  EXPECT_EQ(FDecoder.FrameInfo().PTS, 800000);
  ASSERT_TRUE(FDecoder.DecodePreviousFrame());
  EXPECT_EQ(FDecoder.FrameInfo().PTS, 760000);
  ASSERT_TRUE(FDecoder.DecodePreviousKeyFrame());
  EXPECT_EQ(FDecoder.FrameInfo().PTS, 480000);
  ASSERT_TRUE(FDecoder.DecodePreviousKeyFrame());
  EXPECT_EQ(FDecoder.FrameInfo().PTS, 0);
}

TEST_F(DecoderTest, SeekingByTimeAndByByte) {
  ASSERT_TRUE(FDecoder.LoadFile(Clip("clip.mp4")));
  ASSERT_TRUE(FDecoder.Seek(2000000, sfBackward));
  ASSERT_TRUE(FDecoder.Decode());
  EXPECT_EQ(FDecoder.FrameInfo().PTS, 1920000);
  ASSERT_TRUE(FDecoder.Seek(0));
  ASSERT_TRUE(FDecoder.Decode());
  EXPECT_EQ(FDecoder.FrameInfo().PTS, 0);

  ASSERT_TRUE(FDecoder.LoadFile(Clip("clip.ts")));
  ASSERT_TRUE(FDecoder.Seek(FDecoder.FileSize() / 4, sfByte));
  ASSERT_TRUE(FDecoder.Decode());
  EXPECT_GT(FDecoder.FrameInfo().PTS, 400000) << "a quarter into the file";
  EXPECT_LT(FDecoder.FrameInfo().PTS, 1500000);
}

TEST_F(DecoderTest, TheEndAndBeyond) {
  ASSERT_TRUE(FDecoder.LoadFile(Clip("clip.mp4")));
  FDecoder.Seek(60000000);
  int decoded = 0;
  while (FDecoder.Decode()) ++decoded;
  EXPECT_LT(decoded, 30) << "at most the last group of pictures";
  EXPECT_EQ(FDecoder.LastErrMsg(), "stream eof reached.");
  EXPECT_FALSE(FDecoder.Decode(7));
  EXPECT_EQ(FDecoder.LastErrMsg(), "stream index #7 is invalid.");
  EXPECT_FALSE(FDecoder.Decode(1));
  EXPECT_EQ(FDecoder.LastErrMsg(), "stream #1 is not video stream.");
}

TEST_F(DecoderTest, EveryPictureIncludingTheDecodersLast) {
  ASSERT_TRUE(FDecoder.LoadFile(Clip("clip.mp4")));
  int decoded = 0;
  while (FDecoder.Decode()) ++decoded;
  EXPECT_EQ(decoded, 75);
  EXPECT_TRUE(FDecoder.Eof());

  ASSERT_TRUE(FDecoder.LoadFile(Clip("corrupt.avi")));
  decoded = 0;
  while (FDecoder.Decode()) ++decoded;
  EXPECT_GT(decoded, 50) << "damaged pictures are skipped, the rest decode";
}

TEST_F(DecoderTest, BitmapsOfTheCurrentPicture) {
  ASSERT_TRUE(FDecoder.LoadFile(Clip("clip.mp4")));
  TBitmap bitmap;
  EXPECT_FALSE(FDecoder.CopyToBitmap(bitmap));
  EXPECT_EQ(FDecoder.LastErrMsg(), "picture not ready, please decode first");
  ASSERT_TRUE(FDecoder.Decode());
  ASSERT_TRUE(FDecoder.CopyToBitmap(bitmap));
  EXPECT_EQ(bitmap.Width(), 320);
  EXPECT_EQ(bitmap.Height(), 240);
  EXPECT_EQ(bitmap.BitsPerPixel(), 24);
  FDecoder.SetBitmapBitsPixel(32);
  const TBitmap* own = FDecoder.GetBitmapPtr();
  ASSERT_NE(own, nullptr);
  EXPECT_EQ(own->BitsPerPixel(), 32);
}

TEST_F(DecoderTest, AStillPictureDecodesOnce) {
  ASSERT_TRUE(FDecoder.LoadFile(Clip("still.jpg"), "image2"));
  ASSERT_TRUE(FDecoder.Decode());
  EXPECT_TRUE(FDecoder.Decode()) << "no second read";
  EXPECT_FALSE(FDecoder.Seek(0));
  EXPECT_EQ(FDecoder.LastErrMsg(), "\"image2\" format cannot to be seeked.");
}

TEST_F(DecoderTest, AttachedFilesAreReadOnly) {
  TFFmpeg engine;
  engine.Reset();
  ASSERT_TRUE(engine.OpenInputFile(Clip("clip.mp4")));
  FDecoder.SetFileHandle(engine.InputFile(0).ctx.get());
  EXPECT_EQ(FDecoder.StreamCount(), 2);
  EXPECT_EQ(FDecoder.FirstVideoStreamInfo().Width, 320);
  EXPECT_THROW(FDecoder.Seek(0), std::runtime_error);
  EXPECT_EQ(FDecoder.LastErrMsg(), "file cannot be seeked, handle is readonly.");
  FDecoder.CloseFile();  // the engine still owns it
  EXPECT_EQ(engine.InputFile(0).ctx->nb_streams, 2u);
}

TEST_F(DecoderTest, LibrariesAreChecked) {
  FFLoader().Unload(TLibrary::swScale);
  EXPECT_THROW(
      {
        try {
          FDecoder.LoadFile(Clip("clip.mp4"));
        } catch (const std::runtime_error& error) {
          EXPECT_STREQ(error.what(), "LibSwScale not loaded.");
          throw;
        }
      },
      std::runtime_error);
  LoadMediaLibraries();
}

}  // namespace
}  // namespace vidora::test
