#include "app/plain_words.h"

#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>

#include <QLocale>

#include "session/conversion_session.h"

namespace vidora::app {

namespace {

namespace fs = std::filesystem;

bool Mentions(const std::string& message, const char* text) { return message.find(text) != std::string::npos; }

}  // namespace

QString BaseName(const std::string& path) { return QString::fromStdString(fs::path(path).filename().string()); }

QString TPlainWords::FilmFailure(const std::string& film, const std::string& message, bool writing) {
  return tr("%1: %2").arg(BaseName(film), Reason(film, message, writing));
}

QString TPlainWords::NoSuchFilm(const std::string& film) {
  return tr("%1: %2").arg(BaseName(film), tr("there is no such file"));
}

QString TPlainWords::NoSubtitles(const std::string& file) { return tr("no subtitles found in %1").arg(BaseName(file)); }

QString TPlainWords::NoLibraries(const std::string& message) {
  return tr("the FFmpeg libraries cannot be loaded: %1").arg(QString::fromStdString(message));
}

QString TPlainWords::Shortfall(const std::string& film, const std::string& output, const std::string& shortfall) {
  if (Mentions(shortfall, "input broke off at"))
    return tr("%1: %2").arg(BaseName(film), Reason(film, shortfall, false));
  return (shortfall.rfind("no picture", 0) == 0 ? tr("%1: no picture could be read from it; %2 holds only its sound")
                                                 : tr("%1: no sound could be read from it; %2 holds only its picture"))
      .arg(BaseName(film), BaseName(output));
}

QString TPlainWords::Reason(const std::string& film, const std::string& message, bool writing) {
  std::error_code error;
  if (Mentions(message, "No such file or directory"))
    return writing ? tr("the folder beside it is gone") : tr("there is no such file");
  if (Mentions(message, "Permission denied") || Mentions(message, "Read-only file system"))
    return writing ? tr("no permission to write next to it") : tr("no permission to read it");
  if (Mentions(message, "no space left") || Mentions(message, "No space left")) return tr("the disk is full");
  if (!writing && fs::is_regular_file(film, error) && fs::file_size(film, error) == 0) return tr("the file is empty");
  if (Mentions(message, "opening encoder")) return tr("the encoder refuses this phone's settings");
  // Its streams are there, but none of them is a picture or a sound the libraries know.
  if (Mentions(message, "does not contain any stream") || Mentions(message, NoPictureOrSound))
    return tr("no picture or sound could be found in it");
  // What came before the break is converted and kept.
  if (std::smatch at; std::regex_search(message, at, std::regex(R"(input broke off at (\d+\.\d) s)")))
    return tr("it breaks off at %1 s; what comes before is converted")
        .arg(QString::fromStdString(at[1]).replace(u'.', QLocale().decimalPoint()));
  if (Mentions(message, "End of file")) return tr("the file is cut short");
  if (Mentions(message, "Invalid data found"))
    return StartsLikeMedia(film) ? tr("the file is cut short") : tr("not a video or sound file");
  // Something rarer: the engine's own words, with the film's name instead of its paths.
  std::string words = message, base = BaseName(film).toStdString();
  auto replace = [&words](const std::string& path, const std::string& by) {
    for (size_t at = words.find(path); at != std::string::npos; at = words.find(path, at + by.size()))
      words.replace(at, path.size(), by);
  };
  if (!film.empty()) replace(film, base);
  std::string folder = fs::path(film).parent_path().string();
  if (!folder.empty()) replace(folder + "/", "");
  if (words.compare(0, base.size() + 2, base + ": ") == 0) words.erase(0, base.size() + 2);
  return QString::fromStdString(words);
}

bool TPlainWords::StartsLikeMedia(const std::string& film) {
  std::array<char, 12> head{};
  std::ifstream(film, std::ios::binary).read(head.data(), head.size());
  auto at = [&](size_t offset, const char* magic, size_t length) {
    return std::memcmp(head.data() + offset, magic, length) == 0;
  };
  return at(4, "ftyp", 4) || at(4, "moov", 4) || at(4, "mdat", 4) || at(0, "RIFF", 4) ||
         at(0, "\x1A\x45\xDF\xA3", 4) || at(0, "OggS", 4) || at(0, "fLaC", 4) || at(0, "FLV", 3) ||
         at(0, "\x30\x26\xB2\x75", 4) || at(0, "\x00\x00\x01\xBA", 4);
}

}  // namespace vidora::app
