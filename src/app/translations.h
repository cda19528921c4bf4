// The window's language, chosen by the locale: our own texts and Qt's.
#pragma once

#include <QLocale>
#include <QTranslator>

namespace vidora::app {

// Installed into the application while it lives. English is the language the
// texts are written in; a language we have no translation for stays English,
// Qt's standard buttons included, so that one window never mixes two languages.
class TTranslations {
 public:
  explicit TTranslations(const QLocale& locale);
  ~TTranslations();
  TTranslations(const TTranslations&) = delete;
  TTranslations& operator=(const TTranslations&) = delete;

 private:
  QTranslator FOwn;
  QTranslator FQt;
};

}  // namespace vidora::app
