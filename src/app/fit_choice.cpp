#include "app/fit_choice.h"

#include <QLocale>

#include <algorithm>
#include <cmath>

#include "options/size_budget.h"

namespace vidora::app {

using namespace Qt::StringLiterals;

namespace {

// A picture message takes 300 KB, some carriers' 600 KB or 1 MB.
constexpr TFitChoice Choices[] = {
    {"None", 0, false}, {"300k", 300000, false}, {"600k", 600000, false}, {"1M", 1000000, false},
    {"Split300k", 300000, true},
};

}  // namespace

std::span<const TFitChoice> FitChoices() { return Choices; }

const TFitChoice& FitChoiceByKey(const std::string& key) {
  auto found = std::find_if(std::begin(Choices), std::end(Choices), [&](const TFitChoice& c) { return key == c.Key; });
  return found == std::end(Choices) ? Choices[0] : *found;
}

QString TFitWords::Size(int64_t bytes) {
  // The command line's wording, with the window language's decimal point;
  // the number and its unit stay on one line.
  return QString::fromStdString(LimitText(bytes)).replace(u"."_s, QLocale().decimalPoint()).replace(u' ', QChar::Nbsp);
}

QString TFitWords::Caption(const TFitChoice& choice) {
  if (choice.Limit == 0) return tr("None");
  return choice.Split ? tr("Split into %1 parts").arg(Size(choice.Limit)) : Size(choice.Limit);
}

QString TFitWords::ExpectedSize(const TFitChoice& choice, int64_t expectedBytes) {
  if (choice.Split) return tr("in %1 parts").arg(Size(choice.Limit));
  if (choice.Limit > 0) return tr("at most %1").arg(Size(choice.Limit));
  return expectedBytes < 0 ? QString() : tr("about %1").arg(Size(expectedBytes));
}

QString TFitWords::Refusal(const TFitChoice& choice, double longestSeconds) {
  const QString size = Size(choice.Limit);
  if (choice.Split) return tr("A part of %1 cannot hold even a second of this film.").arg(size) + u' ' + Advice(choice);
  QString holds = longestSeconds < 1 ? tr("%1 holds less than a second of this film.").arg(size)
                  : longestSeconds < 90
                      ? tr("%1 holds about %2 s of this film.").arg(size).arg(std::floor(longestSeconds))
                      : tr("%1 holds about %2 min of this film.").arg(size).arg(std::floor(longestSeconds / 60));
  return holds + u' ' + Advice(choice);
}

QString TFitWords::TooBusy(const TFitChoice& choice) {
  return tr("Even at the lowest quality this film's picture needs more than %1.").arg(Size(choice.Limit)) + u' ' +
         Advice(choice);
}

QString TFitWords::Advice(const TFitChoice& choice) {
  if (choice.Split) return tr("Choose a larger size.");
  // Parts of the limit's size hold a film of any length: the menu's split choice is the way out at any size.
  const TFitChoice& split = Choices[std::size(Choices) - 1];
  bool larger = std::any_of(std::begin(Choices), std::end(Choices),
                            [&](const TFitChoice& other) { return !other.Split && other.Limit > choice.Limit; });
  return larger ? tr("Choose “%1” or a larger size.").arg(Caption(split)) : tr("Choose “%1”.").arg(Caption(split));
}

}  // namespace vidora::app
