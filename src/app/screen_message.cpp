#include "app/screen_message.h"

#include <QAccessible>
#include <QAccessibleWidget>

#include "app/accessible_factory.h"

namespace vidora::app {

using namespace Qt::StringLiterals;

namespace {

class TAlertAccessible : public QAccessibleWidget {
 public:
  explicit TAlertAccessible(TScreenMessage* message) : QAccessibleWidget(message, QAccessible::AlertMessage) {}

  // The whole message, not the lines the screen had room for.
  QString text(QAccessible::Text kind) const override {
    if (kind == QAccessible::Name) return static_cast<TScreenMessage*>(widget())->FullText();
    return QAccessibleWidget::text(kind);
  }
};

}  // namespace

TScreenMessage::TScreenMessage(QWidget* parent) : TFittedLabel(parent) {
  InstallAccessibleFactory<TScreenMessage, TAlertAccessible>();
  // The last picture may still be on the screen: it is dimmed behind the
  // message, or red text over a bright picture cannot be read.
  setStyleSheet(u"color: #ff6060; background: rgba(0, 0, 0, 200);"_s);
  setContentsMargins(4, 4, 4, 4);
  hide();
}

void TScreenMessage::Say(const QString& text) {
  hide();
  SetFittedText(text, text);
  show();
  raise();
}

}  // namespace vidora::app
