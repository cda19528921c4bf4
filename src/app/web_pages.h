// The web pages the window opens: the update server's information page, the
// phone page, or the help page installed with the program when no server is set.
#pragma once

#include <QUrl>

#include <functional>
#include <string>

namespace vidora::app {

// The update server's address: the setting "Server" under "Vidora"/"3GP",
// else the one the build was given; empty for none.
std::string ServerAddress();
// "/LiveUpdate/info.php?prg=VidoraTo3GP&ver=…&info=1" on the server, or the help page.
QUrl InformationPage(const std::string& server, const std::string& version);
// "/showphone" on the server, or the help page.
QUrl PhonePage(const std::string& server);
// The help page beside the program, in the installed data folder, or in the source tree.
QUrl HelpPage();

// Opens pages in the user's browser; tests put a recorder in its place.
struct TUrlOpener {
  std::function<void(const QUrl&)> Open;
  TUrlOpener();
};

}  // namespace vidora::app
