// vidora3gp: the window.
#include <QApplication>
#include <QIcon>
#include <QLocale>
#include <QScreen>

#include <QSocketNotifier>

#include <sys/socket.h>
#include <unistd.h>

#include <clocale>
#include <csignal>
#include <cstring>

#include "app/main_window.h"
#include "app/qt_hand_over.h"
#include "app/translations.h"
#include "media/base/ff_utils.h"
#include "media/base/loader.h"
#include "options/option_form.h"
#include "options/settings_store.h"

namespace {

int SignalPipe[2] = {-1, -1};

void OnStopSignal(int) {
  char byte = 1;
  [[maybe_unused]] ssize_t written = write(SignalPipe[1], &byte, 1);
}

// SIGTERM, SIGHUP and SIGINT (a logout, a service manager, Ctrl-C) close the
// window as its close key does, without asking: a running conversion finishes its file.
void CloseOnStopSignals(vidora::app::TfrmMain& window) {
  if (socketpair(AF_UNIX, SOCK_STREAM, 0, SignalPipe) != 0) return;
  auto* notifier = new QSocketNotifier(SignalPipe[0], QSocketNotifier::Read, &window);
  QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window] {
    char byte;
    [[maybe_unused]] ssize_t read = ::read(SignalPipe[0], &byte, 1);
    window.CloseWithoutAsking();
  });
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int signal : {SIGTERM, SIGHUP, SIGINT}) sigaction(signal, &action, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace vidora;
  using namespace Qt::StringLiterals;
  std::setlocale(LC_ALL, "");
  QApplication application(argc, argv);
  QApplication::setApplicationName(u"Vidora to 3GP"_s);
  QApplication::setWindowIcon(QIcon(u":/icons/vidora3gp.png"_s));
  QApplication::setDesktopFileName(QLatin1String(app::DesktopFileName));  // where Wayland's task bar finds the icon
  app::TQtMainThreadHandOver handOver;
  SetMainThreadHandOver(&handOver);
  FFLoader().SetLibraryPath(ProgramFolder() + "LibAV");

  app::TTranslations translations(QLocale::system());
  // The information picture is art, not text: it follows the locale by itself.
  bool polish = QLocale::system().language() == QLocale::Polish;
  TfrmOption options;
  int status;
  {
    app::TfrmMain window(options, polish);
    // The options holder's start-up: the sister player's subtitle style, who we are.
    options.ReadSubtitleSettings(SettingsStore(SisterOrganisation, SisterApplication));
    SettingsStore own(OwnOrganisation, OwnApplication);
    std::string skin =
        options.WriteIdentity(own, QCoreApplication::applicationFilePath().toStdString(), app::TfrmMain::ProgramVersion);
    window.StartWithSkin(skin);

    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    window.SetEchoLog(arguments.removeAll(u"-v"_s) > 0);
    window.move(window.screen()->availableGeometry().center() - window.rect().center());
    CloseOnStopSignals(window);
    window.show();
    window.OpenArguments(arguments);
    status = QApplication::exec();
  }
  SetMainThreadHandOver(nullptr);
  return status;
}
