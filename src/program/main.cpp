// vidora3gp: the window.
#include <QApplication>
#include <QFileInfo>
#include <QLocale>
#include <QScreen>

#include <clocale>
#include <cstring>

#include "app/main_window.h"
#include "app/qt_hand_over.h"
#include "media/base/ff_utils.h"
#include "media/base/loader.h"
#include "options/option_form.h"
#include "options/settings_store.h"

int main(int argc, char** argv) {
  using namespace vidora;
  std::setlocale(LC_ALL, "");
  QApplication application(argc, argv);
  QApplication::setApplicationName("Vidora to 3GP");
  app::TQtMainThreadHandOver handOver;
  SetMainThreadHandOver(&handOver);
  FFLoader().SetLibraryPath(ProgramFolder() + "LibAV");

  bool polish = QLocale::system().language() == QLocale::Polish;
  TfrmOption options;
  int status;
  {
    app::TfrmMain window(options, polish);
    // The options holder's start-up: the sister player's subtitle style, who we are.
    options.ReadSubtitleSettings(SettingsStore(SisterOrganisation, SisterApplication));
    SettingsStore own(OwnOrganisation, OwnApplication);
    options.WriteIdentity(own, QCoreApplication::applicationFilePath().toStdString(), app::TfrmMain::ProgramVersion);

    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    window.SetEchoLog(arguments.removeAll("-v") > 0);
    window.move(window.screen()->availableGeometry().center() - window.rect().center());
    window.show();
    // A file named on the command line is added as if dropped; a subtitle file may follow it.
    if (!arguments.isEmpty() && QFileInfo::exists(arguments[0])) {
      window.AddFile(arguments[0].toStdString());
      if (arguments.size() > 1 && app::HasSubtitleExtension(arguments[1].toStdString()))
        window.LoadSubtitles(arguments[1].toStdString());
    }
    status = QApplication::exec();
  }
  SetMainThreadHandOver(nullptr);
  return status;
}
