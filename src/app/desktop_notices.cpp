#include "app/desktop_notices.h"

#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

namespace vidora::app {

using namespace Qt::StringLiterals;

namespace {

QString DesktopId() { return QLatin1String(DesktopFileName); }

}  // namespace

TDesktopNotices::TDesktopNotices() : FBus(QDBusConnection::sessionBus()) {}

TDesktopNotices::TDesktopNotices(const QDBusConnection& bus) : FBus(bus) {}

void TDesktopNotices::Notify(const QString& summary, const QString& body) const {
  if (!FBus.isConnected()) return;
  QDBusMessage call = QDBusMessage::createMethodCall(u"org.freedesktop.Notifications"_s, u"/org/freedesktop/Notifications"_s,
                                                     u"org.freedesktop.Notifications"_s, u"Notify"_s);
  // The hint names the program's desktop entry, so the notification carries its name and icon.
  QVariantMap hints{{u"desktop-entry"_s, DesktopId()}};
  // Servers that take markup in the body would read a '<' or '&' of a path as one.
  call << u"Vidora to 3GP"_s << 0u << DesktopId() << summary << body.toHtmlEscaped() << QStringList() << hints << -1;
  // Sent without waiting for the answer: a missing or hung service costs nothing.
  FBus.send(call);
}

void TDesktopNotices::ShowProgress(std::optional<double> progress) const {
  if (!FBus.isConnected()) return;
  QDBusMessage update = QDBusMessage::createSignal(u"/com/canonical/unity/launcherentry/"_s + DesktopId(),
                                                   u"com.canonical.Unity.LauncherEntry"_s, u"Update"_s);
  QVariantMap properties{{u"progress-visible"_s, progress.has_value()}};
  if (progress) properties.insert(u"progress"_s, *progress);
  update << u"application://"_s + DesktopId() + u".desktop"_s << properties;
  FBus.send(update);
}

}  // namespace vidora::app
