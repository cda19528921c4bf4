#include "app/translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>

namespace vidora::app {

using namespace Qt::StringLiterals;

TTranslations::TTranslations(const QLocale& locale) {
  // The build compiles translations/*.ts into the program's resources under this folder.
  if (!FOwn.load(locale, u"vidora3gp"_s, u"_"_s, u":/i18n"_s)) return;
  QCoreApplication::installTranslator(&FOwn);
  // Qt's own file dialog and message box buttons, where the system carries their translation.
  if (FQt.load(locale, u"qtbase"_s, u"_"_s, QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    QCoreApplication::installTranslator(&FQt);
}

TTranslations::~TTranslations() {
  QCoreApplication::removeTranslator(&FQt);
  QCoreApplication::removeTranslator(&FOwn);
}

}  // namespace vidora::app
