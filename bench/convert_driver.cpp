// Converts one file with the engine, for the benchmark against the ffmpeg tool.
// Usage: convert_driver [--text-hook] INPUT OUTPUT [OPTION VALUE]...
// --text-hook: an input video hook like a subtitle renderer's: nothing on
// nine pictures out of ten, a 40-character line drawn on the tenth.
#include <clocale>
#include <cstdio>
#include <cstring>

#include "media/base/loader.h"
#include "media/engine/ffmpeg.h"

namespace {

// 40 glyph cells of 8x14 pixels, lit in a checker of strokes, near the bottom.
void DrawTextLine(vidora::TBitmap& bitmap) {
  int bytesPerPixel = bitmap.BitsPerPixel() / 8;
  int top = bitmap.Height() * 4 / 5;
  for (int glyph = 0; glyph < 40; ++glyph)
    for (int y = 0; y < 14 && top + y < bitmap.Height(); ++y) {
      uint8_t* row = bitmap.ScanLine(top + y);
      for (int x = 0; x < 8; ++x) {
        int column = 4 + glyph * 8 + x;
        if (column >= bitmap.Width() || (x + y + glyph) % 3) continue;
        std::memset(row + column * bytesPerPixel, 255, bytesPerPixel);
      }
    }
}

}  // namespace

int main(int argc, char** argv) {
  using namespace vidora;
  std::setlocale(LC_ALL, "");
  bool textHook = argc > 1 && std::strcmp(argv[1], "--text-hook") == 0;
  if (textHook) {
    ++argv;
    --argc;
  }
  if (argc < 3 || argc % 2 == 0) {
    std::fprintf(stderr, "Usage: %s INPUT OUTPUT [OPTION VALUE]...\n", argv[0]);
    return 2;
  }
  if (!FFLoader().Load(EncoderLibraries)) {
    std::fprintf(stderr, "%s\n", FFLoader().LastErrMsg().c_str());
    return 1;
  }
  TFFLogger logger;
  logger.SetLogLevel(TLogLevel::llError);
  logger.SetTriggerEventInMainThread(false);
  logger.SetOnLog([](const void*, uint32_t, TLogLevel, const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); });
  TFFmpeg engine;
  engine.Reset();
  if (textHook)
    engine.SetOnInputVideoHook([](const void*, TBitmap& bitmap, int frameNumber, int64_t, bool& update, bool&) {
      if (frameNumber % 10 == 0)
        DrawTextLine(bitmap);
      else
        update = false;
    });
  engine.ParseOption("v", "-1");
  if (!engine.OpenInputFile(argv[1])) {
    std::fprintf(stderr, "%s\n", engine.LastErrMsg().c_str());
    return 1;
  }
  for (int i = 3; i + 1 < argc; i += 2) engine.ParseOption(argv[i], argv[i + 1]);
  if (engine.OpenOutputFile(argv[2], false) < 0) {
    std::fprintf(stderr, "%s\n", engine.LastErrMsg().c_str());
    return 1;
  }
  engine.StartConvert(false);
  if (engine.FatalException()) std::fprintf(stderr, "%s\n", engine.FatalMessage().c_str());
  return engine.Finished() ? 0 : 1;
}
