// The daily update check: at most once a day, the server may name a page to open.
#include <QTimer>

#include "app/main_window.h"
#include "media/base/ff_utils.h"
#include "options/settings_store.h"
#include "update/update_rules.h"

namespace vidora::app {

void TfrmMain::TimerCheckVersionTimer() {
  TimerCheckVersion->stop();
  double now = NowAsDateTime();
  std::optional<double> lastStart;
  {
    // The last start is rewritten at every start, whether a check follows or not.
    SettingsStore own(OwnOrganisation, OwnApplication);
    lastStart = DecodeLastStart(own.ReadBinary(setting::LastStart).value_or(""));
    own.WriteBinary(setting::LastStart, EncodeLastStart(now));
    own.Sync();
  }
  std::string server = UpdateServer();
  if (!UpdateCheckDue(lastStart, now) || server.empty()) return;
  FUpdate.Start(server + UpdateCheckPath, UpdateCheckBody(ProgramVersion), [this](bool ok, const std::string& body) {
    std::optional<std::string> address = ok ? AddressInAnswer(body) : std::nullopt;
    if (!address) return;  // failures and answers without an address end the check silently
    QUrl url(QString::fromStdString(*address));
    QMetaObject::invokeMethod(this, [this, url] { UrlOpener.Open(url); }, Qt::QueuedConnection);
  });
}

}  // namespace vidora::app
