// vidora3gp-cli: the converter without a window.
#include <QGuiApplication>

#include <clocale>
#include <cstdio>
#include <unistd.h>

#include "cli_options.h"
#include "convert.h"
#include "media/base/ff_utils.h"
#include "media/base/library_report.h"
#include "media/base/loader.h"
#include "media/base/main_thread.h"
#include "media/decode/decoder.h"

namespace {

using namespace vidora;
using namespace vidora::cli;

// Qt's notes (a missing runtime folder, font substitutions) matter only when asked for.
bool ShowQtNotes = false;

void OnQtMessage(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (ShowQtNotes || type == QtCriticalMsg || type == QtFatalMsg)
    std::fprintf(stderr, "vidora3gp-cli: %s\n", message.toLocal8Bit().constData());
}

int Fail(const std::string& message, int status = 1) {
  std::fprintf(stderr, "vidora3gp-cli: %s\n", message.c_str());
  return status;
}

int ShowInfo(const std::vector<std::string>& inputs) {
  TFFDecoder decoder;
  for (const std::string& input : inputs) {
    if (!decoder.LoadFile(input)) return Fail(decoder.LastErrMsg());
    for (const std::string& line : decoder.FileInfoText()) std::printf("%s\n", line.c_str());
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  TCliOptions options;
  try {
    options = ParseCommandLine(argc, argv);
  } catch (const std::exception& error) {
    Fail(error.what());
    std::fputs(Usage, stderr);
    return 2;
  }
  if (options.Help) {
    std::fputs(Usage, stdout);
    return 0;
  }
  if (options.Version) {
    std::printf("vidora3gp-cli %s\n", VIDORA_VERSION);
    return 0;
  }
  // A "LibAV" folder beside the program is searched before the system's libraries.
  FFLoader().SetLibraryPath(ProgramFolder() + "LibAV");
  if (options.Libraries) {
    std::fputs(LibraryReport().c_str(), stdout);
    return FFLoader().Loaded(EncoderLibraries) ? 0 : 1;
  }
  if (options.Inputs.empty()) {
    std::fputs(Usage, stderr);
    return 2;
  }
  // Subtitles are drawn with Qt's text engine; no window is ever opened.
  std::unique_ptr<QGuiApplication> textEngine;
  if (!options.Subtitles.empty()) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ShowQtNotes = options.Verbosity > 0;
    qInstallMessageHandler(OnQtMessage);
    textEngine = std::make_unique<QGuiApplication>(argc, argv);
  }
  if (!FFLoader().Load(EncoderLibraries)) return Fail(FFLoader().LastErrMsg());

  TMainThreadQueue queue;
  SetMainThreadHandOver(&queue);
  TFFLogger logger;
  logger.SetLogLevel(options.Verbosity < 0 ? TLogLevel::llQuiet : options.Verbosity > 0 ? TLogLevel::llVerbose
                                                                                        : TLogLevel::llError);
  // On a terminal a log line first clears the progress bar it interrupts.
  const char* clearLine = isatty(fileno(stderr)) ? "\r\033[K" : "";
  // Quiet, the converter's own lines alone say how each input went: the
  // engine's line of a failure would say it twice.
  bool quiet = options.Verbosity < 0;
  logger.SetOnLog([&](const void*, uint32_t, TLogLevel level, const std::string& line) {
    if (!quiet && level <= logger.LogLevel()) std::fprintf(stderr, "%s%s\n", clearLine, line.c_str());
  });
  int status;
  try {
    status = options.Info ? ShowInfo(options.Inputs) : Convert(options);
  } catch (const std::exception& error) {
    status = Fail(error.what());
  }
  SetMainThreadHandOver(nullptr);
  return status;
}
