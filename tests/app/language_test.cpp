// The window in the desktop's language, through the translations the program installs.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QTest>
#include <QTimer>

#include <vector>

#include "app/log_window.h"
#include "app/main_window.h"
#include "app/translations.h"
#include "options/option_form.h"
#include "skin/region_button.h"

namespace vidora::app {
namespace {

using namespace Qt::StringLiterals;

// Opens a file dialog through `open`, notes its title and filters and cancels it.
template <typename Open>
std::pair<QString, QStringList> DialogSeen(Open open) {
  std::pair<QString, QStringList> seen;
  auto* poll = new QTimer;
  QObject::connect(poll, &QTimer::timeout, [&seen, poll] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (!dialog) return;
    seen = {dialog->windowTitle(), dialog->nameFilters()};
    poll->stop();
    dialog->reject();
  });
  poll->start(10);
  open();
  delete poll;
  return seen;
}

TEST(WindowLanguage, PolishUnderAPolishLocaleAndEnglishUnderAnyOther) {
  std::vector<QImage> convertKeys;
  for (QLocale locale : {QLocale(QLocale::Polish, QLocale::Poland), QLocale(QLocale::German, QLocale::Germany)}) {
    const bool polish = locale.language() == QLocale::Polish;
    SCOPED_TRACE(locale.name().toStdString());
    TTranslations translations(locale);
    TfrmOption options;
    TfrmMain window(options, polish);
    window.show();
    EXPECT_EQ(window.LProgress->text(), polish ? u"Postęp:  0%"_s : u"Progress:  0%"_s);
    EXPECT_EQ(window.GetPhone->text(), polish ? u"Pobierz Swój Telefon"_s : u"Get Your Phone"_s);
    EXPECT_EQ(window.LogWindow->windowTitle(), polish ? u"Vidora to 3GP: dziennik"_s : u"Vidora to 3GP: log"_s);
    // The key's word is part of its picture: the phone carries a Polish one.
    convertKeys.push_back(window.btnStartConvert->grab().toImage());

    auto [title, filters] = DialogSeen([&window] { window.btnAddSubClick(); });
    EXPECT_EQ(title, polish ? u"Mirvo - Wybierz Tekst"_s : u"Mirvo - Choose Subtitles"_s);
    const QStringList subtitleFilters =
        polish ? QStringList{u"Teksty do Filmów (*.txt *.sub *.srt *.ssa *.smi *.ass)"_s, u"Wszystkie Pliki (*)"_s}
               : QStringList{u"Subtitle Files (*.txt *.sub *.srt *.ssa *.smi *.ass)"_s, u"All Files (*)"_s};
    EXPECT_EQ(filters, subtitleFilters);
    std::tie(title, filters) = DialogSeen([&window] { window.btnAddClick(); });
    ASSERT_EQ(filters.size(), 4);
    EXPECT_TRUE(filters[0].startsWith(polish ? u"Pliki Wideo i Audio (*.AVI "_s : u"Video/Audio Files (*.AVI "_s))
        << filters[0].toStdString();
    EXPECT_TRUE(filters[0].endsWith(u" *.NSV *.MP3 *.AAC *.WAV *.WMA *.CDA *.FLAC *.M4A *.MID *.MKA *.MP2 *.MPA *.MPC "
                                    u"*.APE *.OFR *.OGG *.RA *.WV *.TTA *.AC3 *.DTS)"_s))
        << filters[0].toStdString();
    window.close();
  }
  EXPECT_NE(convertKeys.front(), convertKeys.back());
}

}  // namespace
}  // namespace vidora::app
