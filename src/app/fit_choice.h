// The phone menu's "Fit into" choices: a size the converted file may take,
// or parts that each take at most that size; and the words the window uses
// for sizes, for what fits and for the parts written.
#pragma once

#include <QCoreApplication>
#include <QString>

#include <cstdint>
#include <span>
#include <string>

namespace vidora::app {

struct TFitChoice {
  const char* Key;  // as the settings keep it
  int64_t Limit;    // bytes; 0: no limit
  bool Split;       // numbered parts that each fit, instead of one file
};

// In the menu's order; the first is no limit.
std::span<const TFitChoice> FitChoices();
// The choice stored as `key`; no limit for a key no choice has.
const TFitChoice& FitChoiceByKey(const std::string& key);

class TFitWords {
  Q_DECLARE_TR_FUNCTIONS(TFitWords)

 public:
  // "300 KB", "1,4 MB": in the window's language.
  static QString Size(int64_t bytes);
  // The menu item: "None", "300 KB", "Split into 300 KB parts".
  static QString Caption(const TFitChoice& choice);
  // What the film's file will take: "about 1.4 MB" without a limit
  // (`expectedBytes` -1: unknown, empty), "at most 300 KB", "in 300 KB parts".
  static QString ExpectedSize(const TFitChoice& choice, int64_t expectedBytes);
  // Why the film cannot be converted at this size, and what to choose instead.
  static QString Refusal(const TFitChoice& choice, double longestSeconds);
  // Why the first pass found that the film's picture cannot be made small enough.
  static QString TooBusy(const TFitChoice& choice);

 private:
  static QString Advice(const TFitChoice& choice);
};

}  // namespace vidora::app
