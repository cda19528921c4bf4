// vidora3gp-cli: the converter without a window.
#include <strings.h>

#include <QGuiApplication>

#include <csignal>
#include <clocale>
#include <cstdio>
#include <filesystem>
#include <map>
#include <unistd.h>

#include "cli_options.h"
#include "media/base/ff_utils.h"
#include "media/base/library_report.h"
#include "media/base/loader.h"
#include "media/base/main_thread.h"
#include "media/encoder/encoder.h"
#include "options/option_form.h"
#include "options/settings_store.h"
#include "options/subtitle_scheduler.h"
#include "skin/skin_file.h"
#include "progress_display.h"

namespace {

using namespace vidora;
using namespace vidora::cli;

volatile std::sig_atomic_t Interrupts = 0;

void OnInterrupt(int) {
  // The first Ctrl-C finishes the outputs up to where they got; the second aborts.
  Interrupts = Interrupts + 1;
  if (Interrupts > 1) _exit(130);
}

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

// The profile field of that name in any letter case.
std::string ProfileFieldName(const TOutputProfile& profile, const std::string& name) {
  for (const auto& field : profile.Fields())
    if (strcasecmp(field.first.c_str(), name.c_str()) == 0) return field.first;
  throw std::invalid_argument("unknown profile field " + name);
}

int Convert(const TCliOptions& options) {
  TfrmOption form;
  // The subtitle style the user chose in the sister player.
  form.ReadSubtitleSettings(SettingsStore(SisterOrganisation, SisterApplication));
  TOutputProfile& profile = form.Profile;
  if (!options.Skin.empty()) {
    std::string folder = FindSkinFolder(options.Skin);
    TSkinFile skin;
    if (folder.empty() || !skin.Load(folder + "/skin.all")) return Fail("skin " + options.Skin + " not found");
    if (std::optional<std::string> line = skin.ProfileLine()) form.ApplyProfile(*line);
  }
  for (const auto& [field, value] : options.Sets) profile.SetField(ProfileFieldName(profile, field), value);
  if (!options.Ext.empty()) {
    const std::string& ext = profile.Field("ExtOptions");
    profile.SetField("ExtOptions", ext + (ext.empty() ? "" : "\n") + options.Ext);
  }

  TFFEncoder encoder;
  encoder.SetVerbose(options.Verbosity > 0 ? 1 : -1);
  std::vector<std::string> outputs;
  std::vector<std::unique_ptr<TSubtitleScheduler>> schedulers;
  for (const std::string& input : options.Inputs) {
    // Opened first, as a file being added: the profile and the subtitle times need it.
    TFFDecoder& decoder = encoder.Decoder();
    if (!decoder.LoadFile(input)) return Fail(decoder.LastErrMsg());
    if (!options.Subtitles.empty()) {
      // A file that gave nothing but the banner row holds no subtitles either.
      if (!form.LoadTXT(options.Subtitles, SubtitleFrameRate(decoder)) || form.TimeTXTEditor.size() < 2)
        return Fail(options.Subtitles + ": no subtitles could be read from it");
    }
    form.SetSourceDecoder(&decoder);
    TOutputOptions outputOptions;
    TInputOptions inputOptions;
    form.GetOutputOptions(outputOptions, options.Lo);
    form.GetInputOptions(inputOptions);
    form.SetSourceDecoder(nullptr);
    decoder.CloseFile();
    std::string output = options.Output.empty() ? outputOptions.FileName : options.Output;
    std::error_code error;
    if (std::filesystem::equivalent(input, output, error)) return Fail(output + ": would overwrite the input");
    int task = encoder.AddTask(input, &inputOptions);
    if (task < 0) return Fail(encoder.LastErrMsg());
    outputOptions.FileName = output;
    if (!encoder.SetOutputFile(task, output, &outputOptions)) return Fail(encoder.LastErrMsg());
    outputs.push_back(output);
    schedulers.push_back(std::make_unique<TSubtitleScheduler>(form.TimeTXTEditor, form.Subtitles, form.Font,
                                                              form.SubtitlesOn));
  }
  encoder.SetOnVideoInputHook([&](const void*, THookInfo* info) { schedulers.at(info->TaskIndex)->OnFrame(*info); });

  TProgressDisplay display(stderr);
  std::map<int, int64_t> reached, totals;
  std::vector<TTerminateInfo> ends(outputs.size());
  encoder.SetOnProgress([&](const void*, const TProgressInfo* info) {
    reached[info->TaskIndex] = info->CurrentDuration;
    totals[info->TaskIndex] = info->TotalDuration;
    if (options.Verbosity < 0) return;
    int64_t current = 0, total = 0;
    for (auto& [task, time] : reached) current += time;
    for (auto& [task, time] : totals) total = time < 0 || total < 0 ? -1 : total + time;
    std::string name = outputs.size() == 1 ? std::filesystem::path(outputs[0]).filename().string()
                                           : std::to_string(outputs.size()) + " files";
    display.Show(name, current, total);
  });
  encoder.SetOnTerminate([&](const void*, const TTerminateInfo& info) {
    if (info.TaskIndex >= 0) ends[info.TaskIndex] = info;
  });

  std::signal(SIGINT, OnInterrupt);
  encoder.Start(options.Jobs);
  bool stopping = false;
  auto* queue = static_cast<TMainThreadQueue*>(MainThreadHandOver());
  while (!encoder.Terminated()) {
    queue->WaitAndProcess(std::chrono::milliseconds(50));
    if (Interrupts && !stopping) {
      stopping = true;
      encoder.Stop(false);
    }
  }
  queue->ProcessPending();
  display.Finish();

  int status = 0;
  for (size_t i = 0; i < outputs.size(); ++i) {
    if (ends[i].Finished) {
      if (options.Verbosity >= 0) std::fprintf(stderr, "%s\n", outputs[i].c_str());
      continue;
    }
    status = 1;
    if (ends[i].Exception)
      Fail(options.Inputs[i] + ": " + ends[i].ExceptionMsg);
    else
      Fail(options.Inputs[i] + ": stopped; " + outputs[i] + " holds what was converted");
  }
  return status;
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
  logger.SetOnLog([&](const void*, uint32_t, TLogLevel level, const std::string& line) {
    if (level <= logger.LogLevel()) std::fprintf(stderr, "%s%s\n", clearLine, line.c_str());
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
