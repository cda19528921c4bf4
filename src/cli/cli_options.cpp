#include "cli_options.h"

#include <strings.h>

#include <filesystem>
#include <stdexcept>

#include "media/base/text_convert.h"
#include "options/size_budget.h"

namespace vidora::cli {

const char* const Usage =
    "Usage: vidora3gp-cli [options] INPUT [SUBTITLES]\n"
    "       vidora3gp-cli [options] -j N INPUT...\n"
    "Converts a video into a phone file written next to it: NAME_(Vidora)_3GP.3gp\n"
    "(H.263 176x144 at 150 kbit/s, AMR-NB 8000 Hz mono at 12.2 kbit/s).\n"
    "SUBTITLES (.srt .sub .txt .ssa .ass .smi) are burned into the picture.\n"
    "\n"
    "  -o FILE            write to FILE (one input only); an existing FILE is kept\n"
    "  --overwrite        let -o replace an existing file\n"
    "  --lo               the fixed set: 320x240 MPEG-4 at 512 kbit/s, AAC 22050 Hz stereo\n"
    "  --skin NAME        the phone profile of a skin (Skins/NAME/skin.all)\n"
    "  --set FIELD=VALUE  change a profile field (FrameSize, VideoBitrate, AudioCodec, FileExt, ...)\n"
    "  --ext TEXT         further engine options, name=value lines or joined with <CRLF>\n"
    "  --fit pad|stretch  keep the picture's shape with black bars, or fill the frame (the default)\n"
    "  --size SIZE        make each file at most SIZE (300k, 1.5M, 600KiB) in two passes\n"
    "  --split SIZE       cut each film into numbered parts of at most SIZE, each playable alone\n"
    "  -j N               convert N inputs at a time\n"
    "  -q, -v             less or more log output\n"
    "  --info             describe the inputs and stop\n"
    "  --libraries        report the media libraries and stop\n"
    "  --help, --version\n"
    "  --                 what follows is a file name, even when it starts with -\n"
    "\n"
    "Exit status: 0 all converted, 1 an input failed or was stopped, 2 a wrong command line or value.\n"
    "SIGINT, SIGTERM and SIGHUP finish the outputs up to where they got; a second one aborts.\n";

bool IsSubtitleFile(const std::string& name) {
  std::string extension = std::filesystem::path(name).extension().string();
  for (const char* known : {".txt", ".sub", ".srt", ".ssa", ".smi", ".ass"})
    if (strcasecmp(extension.c_str(), known) == 0) return true;
  return false;
}

namespace {

// A subtitle file right after the first input goes with it.
void AddName(TCliOptions& options, const std::string& name) {
  if (options.Inputs.size() == 1 && options.Subtitles.empty() && IsSubtitleFile(name))
    options.Subtitles = name;
  else
    options.Inputs.push_back(name);
}

}  // namespace

TCliOptions ParseCommandLine(int argc, char** argv) {
  TCliOptions options;
  auto value = [&](int& i, const std::string& name) -> std::string {
    if (i + 1 >= argc) throw std::invalid_argument(name + " needs a value");
    return argv[++i];
  };
  bool names = false;  // after "--"
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (names) {
      AddName(options, arg);
    } else if (arg == "--") {
      names = true;
    } else if (arg == "-o") {
      options.Output = value(i, arg);
    } else if (arg == "--overwrite") {
      options.Overwrite = true;
    } else if (arg == "--lo") {
      options.Lo = true;
    } else if (arg == "--skin") {
      options.Skin = value(i, arg);
    } else if (arg == "--set") {
      std::string assignment = value(i, arg);
      size_t equals = assignment.find('=');
      if (equals == std::string::npos || equals == 0)
        throw std::invalid_argument("--set takes FIELD=VALUE, not \"" + assignment + "\"");
      options.Sets.emplace_back(assignment.substr(0, equals), assignment.substr(equals + 1));
    } else if (arg == "--ext") {
      options.Ext = value(i, arg);
    } else if (arg == "--fit") {
      options.Fit = value(i, arg);
      if (options.Fit != "pad" && options.Fit != "stretch")
        throw std::invalid_argument("--fit takes pad or stretch, not \"" + options.Fit + "\"");
    } else if (arg == "--size" || arg == "--split") {
      std::string size = value(i, arg);
      try {
        (arg == "--size" ? options.Size : options.SplitSize) = ParseFileSize(size);
      } catch (const std::invalid_argument& error) {
        throw std::invalid_argument(arg + ": " + error.what());
      }
    } else if (arg == "-j") {
      std::string jobs = value(i, arg);
      try {
        options.Jobs = StrToInt(jobs);
      } catch (const std::exception&) {
        options.Jobs = 0;
      }
      if (options.Jobs < 1) throw std::invalid_argument("-j takes a number of 1 or more, not \"" + jobs + "\"");
    } else if (arg == "-q") {
      --options.Verbosity;
    } else if (arg == "-v") {
      ++options.Verbosity;
    } else if (arg == "--info") {
      options.Info = true;
    } else if (arg == "--libraries") {
      options.Libraries = true;
    } else if (arg == "--help" || arg == "-h") {
      options.Help = true;
    } else if (arg == "--version") {
      options.Version = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      throw std::invalid_argument("unknown option " + arg);
    } else {
      AddName(options, arg);
    }
  }
  if (!options.Output.empty() && options.Inputs.size() > 1)
    throw std::invalid_argument("-o names one output: give one input with it");
  if (options.Size && options.SplitSize) throw std::invalid_argument("give --size or --split, not both");
  if (!options.Subtitles.empty() && options.Inputs.size() > 1)
    throw std::invalid_argument("subtitles go with one input: give one input with them");
  return options;
}

}  // namespace vidora::cli
