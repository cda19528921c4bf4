// Gives every widget of one class an accessible interface of our own, for
// screen readers: the factory is installed once, by the first widget made.
#pragma once

#include <QAccessible>
#include <QLatin1StringView>

namespace vidora::app {

template <typename TWidget, typename TAccessible>
void InstallAccessibleFactory() {
  static const bool installed = [] {
    QAccessible::installFactory([](const QString& className, QObject* object) -> QAccessibleInterface* {
      if (className != QLatin1StringView(TWidget::staticMetaObject.className())) return nullptr;
      auto* widget = qobject_cast<TWidget*>(object);
      return widget ? new TAccessible(widget) : nullptr;
    });
    return true;
  }();
  (void)installed;
}

}  // namespace vidora::app
