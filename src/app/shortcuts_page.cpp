#include "app/shortcuts_page.h"

#include <QPainter>

#include <algorithm>

#include "app/shortcut_keys.h"

namespace vidora::app {

using namespace Qt::StringLiterals;

namespace {

QFont PageFont(int pixels, bool bold) {
  QFont font(u"Liberation Sans"_s);
  font.setPixelSize(pixels);
  font.setBold(bold);
  return font;
}

}  // namespace

TShortcutsPage::TShortcutsPage(QWidget* parent) : QWidget(parent), FHighlight(0x5f, 0xd0, 0xff) {
  setObjectName(u"ShortcutsPage"_s);
  setAccessibleName(tr("Keyboard shortcuts"));
  QStringList plain;
  for (const auto& [keys, action] : Lines()) plain << keys + u": "_s + action;
  setAccessibleDescription(plain.join(u"; "_s));
  hide();
}

std::vector<std::pair<QString, QString>> TShortcutsPage::Lines() {
  return {
      {shortcut::Text(shortcut::AddFilm), tr("add a film")},
      {shortcut::Text(shortcut::AddSubtitles), tr("add subtitles")},
      {shortcut::Text(shortcut::Convert), tr("convert")},
      {shortcut::Text(shortcut::PauseResume), tr("pause, resume")},
      {u"\u2190 \u2192"_s, tr("seek 5 s")},
      {u"\u2191 \u2193"_s, tr("volume")},
      {shortcut::Text(shortcut::Information), tr("this view")},
      {shortcut::Text(shortcut::NextPage), tr("next page")},
      {shortcut::Text(Qt::Key_F12), tr("the log")},
      {shortcut::Text(Qt::Key_Tab), tr("next key")},
      {shortcut::Text(shortcut::Close), tr("close")},
  };
}

void TShortcutsPage::SetHighlight(const QColor& colour) {
  FHighlight = colour;
  update();
}

void TShortcutsPage::SetKeepOut(int top, int bottom) {
  FKeepOutTop = top;
  FKeepOutBottom = bottom;
  update();
}

// As the information picture: a dark card with a thin blue-grey edge, the
// title in the highlight colour, then one row per shortcut.
void TShortcutsPage::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.fillRect(rect(), QColor(0x05, 0x07, 0x0a));
  painter.setPen(QColor(0x2a, 0x45, 0x60));
  painter.drawRoundedRect(QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5), 5.5, 5.5);

  constexpr int Left = 12;
  painter.setFont(PageFont(13, true));
  painter.setPen(FHighlight);
  painter.drawText(QRect(Left, 8, width() - 2 * Left, 18), Qt::AlignLeft | Qt::AlignVCenter, tr("Keyboard"));

  const QFont keyFont = PageFont(10, true), actionFont = PageFont(10, false);
  const QFontMetrics keyMetrics(keyFont), actionMetrics(actionFont);
  const int line = std::max(keyMetrics.height(), actionMetrics.height()) + 1;
  int keyWidth = 0;
  for (const auto& row : Lines()) keyWidth = std::max(keyWidth, keyMetrics.horizontalAdvance(row.first));
  keyWidth = std::min(keyWidth + 8, (width() - 2 * Left) / 2);
  const int actionWidth = width() - 2 * Left - keyWidth;
  int y = 32;
  for (const auto& [keys, action] : Lines()) {
    if (y + line > FKeepOutTop && y <= FKeepOutBottom) y = FKeepOutBottom + 4;
    if (y + line > height() - 4) break;
    painter.setFont(keyFont);
    painter.setPen(FHighlight);
    painter.drawText(QRect(Left, y, keyWidth, line), Qt::AlignLeft | Qt::AlignVCenter,
                     keyMetrics.elidedText(keys, Qt::ElideRight, keyWidth - 4));
    painter.setFont(actionFont);
    painter.setPen(QColor(0xe3, 0xe9, 0xef));
    painter.drawText(QRect(Left + keyWidth, y, actionWidth, line), Qt::AlignLeft | Qt::AlignVCenter,
                     actionMetrics.elidedText(action, Qt::ElideRight, actionWidth));
    y += line;
  }
}

}  // namespace vidora::app
