#include "app/progress_box.h"

#include <QAccessible>
#include <QAccessibleWidget>

#include <algorithm>

#include "app/accessible_factory.h"

namespace vidora::app {

namespace {

class TProgressAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
 public:
  explicit TProgressAccessible(TProgressBox* bar) : QAccessibleWidget(bar, QAccessible::ProgressBar) {}

  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::ValueInterface) return static_cast<QAccessibleValueInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
  }

  QString text(QAccessible::Text kind) const override {
    if (kind == QAccessible::Value) return QString::number(Bar()->Percent()) + QLatin1Char('%');
    return QAccessibleWidget::text(kind);
  }

  QAccessible::State state() const override {
    QAccessible::State state = QAccessibleWidget::state();
    state.readOnly = true;
    return state;
  }

  QVariant currentValue() const override { return Bar()->Percent(); }
  void setCurrentValue(const QVariant&) override {}  // the conversion sets it, not the user
  QVariant maximumValue() const override { return 100; }
  QVariant minimumValue() const override { return 0; }
  QVariant minimumStepSize() const override { return 1; }

 private:
  TProgressBox* Bar() const { return static_cast<TProgressBox*>(widget()); }
};

}  // namespace

TProgressBox::TProgressBox(QWidget* parent) : TImageBox(parent) {
  InstallAccessibleFactory<TProgressBox, TProgressAccessible>();
}

void TProgressBox::SetPercent(int percent) {
  percent = std::clamp(percent, 0, 100);
  if (percent == FPercent) return;
  FPercent = percent;
  QAccessibleValueChangeEvent event(this, percent);
  QAccessible::updateAccessibility(&event);
}

}  // namespace vidora::app
