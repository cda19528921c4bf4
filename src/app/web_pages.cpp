#include "app/web_pages.h"

#include <QDesktopServices>

#include <filesystem>

#include "media/base/ff_utils.h"
#include "options/settings_store.h"

namespace vidora::app {

std::string ServerAddress() {
  SettingsStore own(OwnOrganisation, OwnApplication);
  std::string server = own.ReadString("Server").value_or(VIDORA_SERVER_URL);
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
  for (const std::string& candidate : {ProgramFolder() + "help.html", ProgramFolder() + "../share/vidora3gp/help.html",
                                       std::string(VIDORA_DATA_DIR) + "/help.html"}) {
    std::error_code error;
    if (std::filesystem::is_regular_file(candidate, error))
      return QUrl::fromLocalFile(QString::fromStdString(std::filesystem::weakly_canonical(candidate).string()));
  }
  return {};
}

TUrlOpener::TUrlOpener() : Open([](const QUrl& url) { QDesktopServices::openUrl(url); }) {}

}  // namespace vidora::app
