// What went wrong with a film or a subtitle file, in words a person
// understands: the file by its base name, the reason without library jargon.
#pragma once

#include <QCoreApplication>
#include <QString>

#include <string>

namespace vidora::app {

// A file's name without its folder, as the window shows it.
QString BaseName(const std::string& path);

class TPlainWords {
  Q_DECLARE_TR_FUNCTIONS(TPlainWords)

 public:
  // `message` is the engine's; `writing` says whether the film was read or
  // its output was being made beside it.
  static QString FilmFailure(const std::string& film, const std::string& message, bool writing);
  static QString NoSuchFilm(const std::string& film);
  static QString NoSubtitles(const std::string& file);
  // The loader's own words stay as they are: a library's file name and the system's reason.
  static QString NoLibraries(const std::string& message);
  // A finished output that lacks the picture (or the sound) of its film.
  // `shortfall`: the engine's words for what the finished output lacks.
  static QString Shortfall(const std::string& film, const std::string& output, const std::string& shortfall);

 private:
  static QString Reason(const std::string& film, const std::string& message, bool writing);
  // Whether the file begins as a container we know: unreadable then means cut short.
  static bool StartsLikeMedia(const std::string& film);
};

}  // namespace vidora::app
