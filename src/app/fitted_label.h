// A label whose text always fits its rectangle: broken into lines at blanks,
// the last line that fits elided, the whole text as its tooltip.
#pragma once

#include <QLabel>

namespace vidora::app {

class TFittedLabel : public QLabel {
  Q_OBJECT

 public:
  explicit TFittedLabel(QWidget* parent = nullptr);
  void SetFittedText(const QString& text, const QString& toolTip);
  const QString& FullText() const { return FText; }
  // The lines `text` takes in `width` pixels with `metrics`, at most `lines`.
  static QStringList FittedLines(const QString& text, const QFontMetrics& metrics, int width, int lines);

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Fit();
  QString FText;
};

}  // namespace vidora::app
