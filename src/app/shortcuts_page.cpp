#include "app/shortcuts_page.h"

#include <QKeySequence>

namespace vidora::app {

using namespace Qt::StringLiterals;

namespace {

QString KeyName(QKeyCombination keys) { return QKeySequence(keys).toString(QKeySequence::NativeText); }

}  // namespace

TShortcutsPage::TShortcutsPage(QWidget* parent) : QLabel(parent) {
  setObjectName(u"ShortcutsPage"_s);
  setTextFormat(Qt::RichText);
  setAlignment(Qt::AlignTop | Qt::AlignLeft);
  setMargin(8);
  setAccessibleName(tr("Keyboard shortcuts"));
  QStringList plain;
  for (const auto& [keys, action] : Lines()) plain << keys + u": "_s + action;
  setAccessibleDescription(plain.join(u"; "_s));
  SetHighlight(QColor(0x5f, 0xd0, 0xff));
  hide();
}

std::vector<std::pair<QString, QString>> TShortcutsPage::Lines() {
  const QString slash = u" / "_s;
  return {
      {KeyName(Qt::CTRL | Qt::Key_O), tr("add a film")},
      {KeyName(Qt::CTRL | Qt::Key_T), tr("add subtitles")},
      {KeyName(Qt::Key_Enter), tr("convert")},
      {KeyName(Qt::Key_Space), tr("pause or resume")},
      {u"\u2190 \u2192"_s, tr("seek 5 s in the preview")},
      {u"\u2191 \u2193"_s, tr("volume up, down")},
      {KeyName(Qt::Key_F1), tr("information; %1 next page").arg(KeyName(Qt::Key_PageDown))},
      {KeyName(Qt::Key_F12), tr("the log")},
      {KeyName(Qt::Key_Tab), tr("next key; %1 or %2 presses it").arg(KeyName(Qt::Key_Space), KeyName(Qt::Key_Enter))},
      {KeyName(Qt::CTRL | Qt::Key_Q) + slash + KeyName(Qt::ALT | Qt::Key_F4), tr("close")},
  };
}

void TShortcutsPage::SetHighlight(const QColor& colour) {
  setStyleSheet(u"QLabel { background: #05070a; color: #e3e9ef; border: 1px solid #2a4560; border-radius: 5px;"
                " font-family: 'Liberation Sans'; font-size: 10px; }"_s);
  QString rows;
  for (const auto& [keys, action] : Lines())
    rows += u"<tr><td style='color:%1; font-weight:bold; padding-right:6px'>%2</td><td>%3</td></tr>"_s.arg(
        colour.name(), keys.toHtmlEscaped(), action.toHtmlEscaped());
  setText(u"<div style='color:%1; font-size:13px; font-weight:bold'>%2</div><table style='margin-top:6px'>%3</table>"_s.arg(
      colour.name(), tr("Keyboard").toHtmlEscaped(), rows));
}

}  // namespace vidora::app
