// vidora3gp-cli: the converter without a window.
#include <clocale>
#include <cstdio>
#include <cstring>
#include <string>

#include "media/base/ff_utils.h"
#include "media/base/library_report.h"
#include "media/base/loader.h"

namespace {

constexpr const char* Usage =
    "Usage: vidora3gp-cli [options]\n"
    "  --libraries   load the media libraries and report each one\n"
    "  --version     print the program version\n"
    "  --help        print this help\n";

}  // namespace

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  // A "LibAV" folder beside the program is searched before the system's libraries.
  vidora::FFLoader().SetLibraryPath(vidora::ProgramFolder() + "LibAV");

  if (argc == 2 && std::strcmp(argv[1], "--libraries") == 0) {
    std::string report = vidora::LibraryReport();
    std::fputs(report.c_str(), stdout);
    return vidora::FFLoader().Loaded(vidora::EncoderLibraries) ? 0 : 1;
  }
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("vidora3gp-cli %s\n", VIDORA_VERSION);
    return 0;
  }
  std::fputs(Usage, argc == 2 && std::strcmp(argv[1], "--help") == 0 ? stdout : stderr);
  return argc == 2 && std::strcmp(argv[1], "--help") == 0 ? 0 : 2;
}
