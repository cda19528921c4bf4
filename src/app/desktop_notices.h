// What the desktop hears from the program beyond its window: a notification
// when a film is converted, and the conversion's progress on the program's
// task bar entry (the launcher-entry signal that docks and task bars read).
// Both go over the session bus and wait for no answer: without a bus, or
// without a service that shows notifications, nothing is said and nothing waits.
#pragma once

#include <QDBusConnection>
#include <QString>

#include <optional>

namespace vidora::app {

// The name of the desktop file the program installs, without ".desktop";
// task bars match the progress to the program's entry by it.
inline constexpr const char* DesktopFileName = "vidora3gp";

class TDesktopNotices {
 public:
  // On the session bus, when there is one.
  TDesktopNotices();
  explicit TDesktopNotices(const QDBusConnection& bus);

  void Notify(const QString& summary, const QString& body) const;
  // Progress from 0 to 1 on the task bar entry; none hides it.
  void ShowProgress(std::optional<double> progress) const;

 private:
  QDBusConnection FBus;
};

}  // namespace vidora::app
