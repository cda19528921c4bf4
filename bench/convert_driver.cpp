// Converts one file with the engine, for the benchmark against the ffmpeg tool.
// Usage: convert_driver INPUT OUTPUT [OPTION VALUE]...
#include <clocale>
#include <cstdio>

#include "media/base/loader.h"
#include "media/engine/ffmpeg.h"

int main(int argc, char** argv) {
  using namespace vidora;
  std::setlocale(LC_ALL, "");
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
