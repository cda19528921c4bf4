// What the desktop hears of a conversion, on a session bus the test starts
// itself, with the test standing in for the notification service and the task bar.
#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <chrono>
#include <filesystem>

#include "app/main_window.h"
#include "options/option_form.h"
#include "test_support.h"

namespace vidora::app {
namespace {

namespace fs = std::filesystem;
using namespace Qt::StringLiterals;

// A notification service and a task bar reading the launcher entry's updates.
class TDesktopListener : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

 public:
  struct TNotification {
    QString Icon, Summary, Body;
    QVariantMap Hints;
  };
  std::vector<TNotification> Notifications;
  std::vector<std::pair<QString, QVariantMap>> Updates;

 public slots:
  Q_SCRIPTABLE uint Notify(const QString&, uint, const QString& icon, const QString& summary, const QString& body,
                           const QStringList&, const QVariantMap& hints, int) {
    Notifications.push_back({icon, summary, body, hints});
    return static_cast<uint>(Notifications.size());
  }
  void Update(const QString& uri, const QVariantMap& properties) { Updates.emplace_back(uri, properties); }
};

std::string Described(const QVariantMap& properties) {
  QStringList parts;
  for (auto it = properties.begin(); it != properties.end(); ++it) parts << it.key() + u'=' + it.value().toString();
  return parts.join(u", "_s).toStdString();
}

TEST(DesktopNotices, AConvertedFilmIsAnnouncedAndItsProgressShownOnTheTaskBar) {
  if (QStandardPaths::findExecutable(u"dbus-daemon"_s).isEmpty())
    GTEST_SKIP() << "dbus-daemon is not installed (Debian package dbus): no session bus to test on";
  QProcess daemon;
  daemon.start(u"dbus-daemon"_s, {u"--session"_s, u"--nofork"_s, u"--print-address"_s});
  ASSERT_TRUE(daemon.waitForReadyRead(5000)) << "dbus-daemon gave no address";
  QString address = QString::fromUtf8(daemon.readLine()).trimmed();

  TDesktopListener listener;
  {
    QDBusConnection desktop = QDBusConnection::connectToBus(address, u"desktop"_s);
    ASSERT_TRUE(desktop.registerObject(u"/org/freedesktop/Notifications"_s, &listener,
                                       QDBusConnection::ExportScriptableSlots));
    ASSERT_TRUE(desktop.registerService(u"org.freedesktop.Notifications"_s));
    ASSERT_TRUE(desktop.connect({}, {}, u"com.canonical.Unity.LauncherEntry"_s, u"Update"_s, &listener,
                                SLOT(Update(QString, QVariantMap))));
  }

  test::TTempFolder folder;
  fs::path clip = folder.Path() / "clip.mp4";
  fs::copy_file(std::string(CLIPS_DIR) + "/clip.mp4", clip);
  {
    TfrmOption options;
    TfrmMain window(options, false);
    window.Notices = TDesktopNotices(QDBusConnection::connectToBus(address, u"window"_s));
    window.show();
    window.AddFile(clip.string());
    window.btnStartConvertClick();
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    auto hidden = [&] { return !listener.Updates.empty() && !listener.Updates.back().second[u"progress-visible"_s].toBool(); };
    while ((listener.Notifications.empty() || !hidden()) && std::chrono::steady_clock::now() < end) QTest::qWait(5);
  }

  ASSERT_EQ(listener.Notifications.size(), 1u);
  const TDesktopListener::TNotification& note = listener.Notifications[0];
  double kilobytes = static_cast<double>(fs::file_size(folder.Path() / "clip_(Vidora)_3GP.3gp")) / 1000;
  EXPECT_EQ(note.Summary, u"Converted: clip_(Vidora)_3GP.3gp, %1 kB"_s.arg(kilobytes, 0, 'f', 1));
  EXPECT_EQ(note.Body, QString::fromStdString(folder.Str()));
  EXPECT_EQ(note.Icon, u"vidora3gp"_s);
  EXPECT_EQ(note.Hints[u"desktop-entry"_s].toString(), u"vidora3gp"_s);

  // Shown from 0 upwards while converting, hidden at the end, always for the installed desktop file.
  ASSERT_GE(listener.Updates.size(), 2u);
  double last = -1;
  for (const auto& [uri, properties] : listener.Updates) {
    EXPECT_EQ(uri, u"application://vidora3gp.desktop"_s);
    if (&properties == &listener.Updates.back().second) break;
    EXPECT_TRUE(properties[u"progress-visible"_s].toBool());
    double progress = properties[u"progress"_s].toDouble();
    EXPECT_TRUE(progress > last && progress < 1) << progress << " after " << last;
    last = progress;
  }
  EXPECT_EQ(Described(listener.Updates.front().second), "progress=0, progress-visible=true");
  EXPECT_EQ(Described(listener.Updates.back().second), "progress-visible=false");
  EXPECT_TRUE(fs::exists(fs::path(SOURCE_DIR) / "data" / (std::string(DesktopFileName) + ".desktop")))
      << "the name task bars are given is the desktop file's";

  QDBusConnection::disconnectFromBus(u"window"_s);
  QDBusConnection::disconnectFromBus(u"desktop"_s);
}

}  // namespace
}  // namespace vidora::app

#include "desktop_notices_test.moc"
