#include "app/web_pages.h"

#include <QDesktopServices>

#include "options/data_folders.h"
#include "options/server_address.h"
#include "options/settings_store.h"

namespace vidora::app {

std::string ServerAddress() {
  SettingsStore own(OwnOrganisation, OwnApplication);
  std::string server = own.ReadString(setting::Server).value_or(BuildServerAddress);
  while (!server.empty() && server.back() == '/') server.pop_back();
  return server;
}

QUrl InformationPage(const std::string& server, const std::string& version) {
  if (server.empty()) return HelpPage();
  return QUrl(QString::fromStdString(server + "/LiveUpdate/info.php?prg=VidoraTo3GP&ver=" + version + "&info=1"));
}

QUrl PhonePage(const std::string& server) {
  if (server.empty()) return HelpPage();
  return QUrl(QString::fromStdString(server + "/showphone"));
}

QUrl HelpPage() {
  std::string page = FindDataFile("help.html");
  if (page.empty()) return {};
  return QUrl::fromLocalFile(QString::fromStdString(page));
}

TUrlOpener::TUrlOpener() : Open([](const QUrl& url) { QDesktopServices::openUrl(url); }) {}

}  // namespace vidora::app
