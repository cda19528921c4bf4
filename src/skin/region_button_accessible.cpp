#include "skin/region_button_accessible.h"

#include <QAccessibleWidget>

#include "skin/region_button.h"

namespace vidora {

namespace {

// Qt's own interface for buttons reads a latch from QAbstractButton's checked
// state; a key latches on its own (Down), so it is read from there.
class TKeyAccessible : public QAccessibleWidget {
 public:
  explicit TKeyAccessible(TRegionButton* key) : QAccessibleWidget(key, QAccessible::Button) {}

  QAccessible::Role role() const override {
    if (Key()->DropDownMenu()) return QAccessible::ButtonMenu;
    return Latching() ? QAccessible::CheckBox : QAccessible::Button;
  }

  QAccessible::State state() const override {
    QAccessible::State state = QAccessibleWidget::state();
    if (Latching()) {
      state.checkable = true;
      state.checked = Key()->Down();
    }
    if (Key()->DropDownMenu()) state.hasPopup = true;
    return state;
  }

  QString text(QAccessible::Text kind) const override {
    // A key without a name of its own is called by its caption, as a push button is.
    if (kind == QAccessible::Name && Key()->accessibleName().isEmpty()) return Key()->Caption();
    return QAccessibleWidget::text(kind);
  }

  QStringList actionNames() const override {
    if (!Key()->isEnabled()) return {};
    return {Latching() ? toggleAction() : pressAction()};
  }

  void doAction(const QString& action) override {
    if (action == pressAction() || action == toggleAction()) Key()->Press();
  }

 private:
  TRegionButton* Key() const { return static_cast<TRegionButton*>(widget()); }
  bool Latching() const { return Key()->ButtonStyle() == btSpeed || Key()->ButtonStyle() == btSpeedFlat; }
};

QAccessibleInterface* KeyFactory(const QString& className, QObject* object) {
  if (className != QLatin1StringView(TRegionButton::staticMetaObject.className())) return nullptr;
  auto* key = qobject_cast<TRegionButton*>(object);
  return key ? new TKeyAccessible(key) : nullptr;
}

}  // namespace

void InstallKeyAccessibility() {
  static const bool installed = [] {
    QAccessible::installFactory(KeyFactory);
    return true;
  }();
  (void)installed;
}

}  // namespace vidora
