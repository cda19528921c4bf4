#include "app/fitted_label.h"

#include <QFontMetrics>

#include <algorithm>

namespace vidora::app {

TFittedLabel::TFittedLabel(QWidget* parent) : QLabel(parent) {
  setAlignment(Qt::AlignCenter);
  setTextFormat(Qt::PlainText);
}

void TFittedLabel::SetFittedText(const QString& text, const QString& toolTip) {
  FText = text;
  setToolTip(toolTip);
  Fit();
}

void TFittedLabel::resizeEvent(QResizeEvent* event) {
  QLabel::resizeEvent(event);
  Fit();
}

void TFittedLabel::Fit() {
  QFontMetrics metrics(font());
  const QRect room = contentsRect();
  int lines = std::max(1, room.height() / std::max(1, metrics.lineSpacing()));
  setText(FittedLines(FText, metrics, room.width(), lines).join(u'\n'));
}

QStringList TFittedLabel::FittedLines(const QString& text, const QFontMetrics& metrics, int width, int lines) {
  QStringList fitted;
  QString line;
  const QStringList words = text.split(u' ', Qt::SkipEmptyParts);
  for (qsizetype i = 0; i < words.size(); ++i) {
    QString longer = line.isEmpty() ? words[i] : line + u' ' + words[i];
    if (line.isEmpty() || metrics.horizontalAdvance(longer) <= width) {
      line = longer;
      continue;
    }
    if (fitted.size() + 1 == lines) {
      // The last line there is room for takes the rest, cut short.
      QStringList rest = words.mid(i);
      rest.prepend(line);
      line = rest.join(u' ');
      break;
    }
    fitted << metrics.elidedText(line, Qt::ElideMiddle, width);
    line = words[i];
  }
  if (!line.isEmpty()) fitted << metrics.elidedText(line, fitted.size() + 1 == lines ? Qt::ElideRight : Qt::ElideMiddle, width);
  return fitted;
}

}  // namespace vidora::app
