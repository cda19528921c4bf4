#include "skin/region_button.h"

#include <QAccessible>
#include <QEnterEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QTimer>

#include "skin/region_button_accessible.h"
#include "skin/skin_values.h"

namespace vidora {

namespace {

constexpr int kCaptionLimit = 255;

// The transparent colour of a face: its bottom-left pixel.
QRgb KeyColour(const QImage& face) { return face.pixel(0, face.height() - 1); }

bool SameRgb(QRgb a, QRgb b) { return (a & RGB_MASK) == (b & RGB_MASK); }

int GreyLevel(QRgb pixel) { return (qRed(pixel) * 77 + qGreen(pixel) * 150 + qBlue(pixel) * 29) / 256; }

// The press and release tests count the row just below the button as inside.
bool Inside(QPoint pos, QSize size) {
  return pos.x() >= 0 && pos.x() < size.width() && pos.y() >= 0 && pos.y() <= size.height();
}

TGlyphState FaceForPress(bool disabled, bool pressed) {
  if (disabled) return gsDisabled;
  return pressed ? gsDown : gsUp;
}

}  // namespace

TRegionButton::TRegionButton(QWidget* parent) : QAbstractButton(parent), FFocusColour(DefaultFocusColour) {
  InstallKeyAccessibility();
  // Tab reaches the key; a click does not take the focus from the key Tab reached.
  setFocusPolicy(Qt::TabFocus);
  resize(40, 40);
  UpdateShape();
}

// Faces and properties.

void TRegionButton::SetGlyph(TGlyphState face, const QImage& picture) {
  if (face < gsDisabled || face > gsOver) return;
  FGlyphs[face] = picture;
  UpdateShape();
  update();
}

void TRegionButton::ClearGlyphs() {
  for (QImage& face : FGlyphs) face = QImage();
  UpdateShape();
  update();
}

void TRegionButton::SetCaption(const QString& caption) { setText(caption); }  // repaints on change only

void TRegionButton::SetTextPosition(TTextPos position) {
  if (position == FTextPosition) return;
  FTextPosition = position;
  update();
}

void TRegionButton::SetTransparent(bool on) {
  if (on == FTransparent) return;
  FTransparent = on;
  setAttribute(Qt::WA_OpaquePaintEvent, !on);
  UpdateShape();
  update();
}

void TRegionButton::SetGlyphTransparent(bool on) {
  if (on == FGlyphTransparent) return;
  FGlyphTransparent = on;
  update();
}

void TRegionButton::SetGlyphState(TGlyphState state) {
  if (state == FGlyphState) return;
  ShowFace(state);
  update();
}

void TRegionButton::SetButtonStyle(TButtonStyle style) {
  if (style == FButtonStyle) return;
  FButtonStyle = style;
  update();
}

void TRegionButton::SetDown(bool down) {
  down = down && IsSpeed();
  if (down == FDown) return;
  ChangeDown(down);
  FPressState = down ? psLatched : psUp;
  Refresh();
}

// Screen readers hear a latching key go down or up, as the window does.
void TRegionButton::ChangeDown(bool down) {
  FDown = down;
  QAccessible::State changed;
  changed.checked = true;
  changed.pressed = true;
  QAccessibleStateChangeEvent event(this, changed);
  QAccessible::updateAccessibility(&event);
  emit DownChanged(down);
}

void TRegionButton::SetFocusColour(const QColor& colour) {
  if (colour == FFocusColour) return;
  FFocusColour = colour;
  if (FocusShown()) update();
}

void TRegionButton::SetBorder(bool on) {
  if (on == FBorder) return;
  FBorder = on;
  update();
}

void TRegionButton::SetMargin(int margin) {
  if (margin < -1 || margin == FMargin) return;
  FMargin = margin;
  update();
}

QMenu* TRegionButton::DropDownMenu() const { return FMenu; }

void TRegionButton::SetDropDownMenu(QMenu* menu) {
  if (menu == FMenu) return;
  FMenu = menu;
  update();
}

void TRegionButton::SetMarkDropDown(bool on) {
  if (on == FMarkDropDown) return;
  FMarkDropDown = on;
  if (FMenu) update();
}

// Layout.

QPoint TRegionButton::PicturePosition(TTextPos position, QSize button, QSize picture) {
  const int centreX = (button.width() - picture.width()) / 2;
  const int centreY = (button.height() - picture.height()) / 2;
  switch (position) {
    case TTextPos::tpLeft: return {button.width() - picture.width(), centreY};
    case TTextPos::tpRight: return {0, centreY};
    case TTextPos::tpAbove: return {centreX, button.height() - picture.height()};
    case TTextPos::tpBelow: return {centreX, 0};
    case TTextPos::tpNone: break;
  }
  return {centreX, centreY};
}

QRect TRegionButton::CaptionRect(TTextPos position, QSize button, QSize picture) {
  QRect area(QPoint(0, 0), button);
  switch (position) {
    case TTextPos::tpNone: return {};
    case TTextPos::tpLeft: area.setRight(area.right() - picture.width()); break;
    case TTextPos::tpRight: area.setLeft(picture.width()); break;
    case TTextPos::tpAbove: area.setBottom(area.bottom() - picture.height()); break;
    case TTextPos::tpBelow: area.setTop(picture.height()); break;
  }
  return area;
}

QPoint TRegionButton::MenuAnchor(TDropDownMenuPos position, Qt::Alignment alignment, QSize button) {
  const int width = button.width();
  const int height = button.height();
  if (alignment & Qt::AlignHCenter) return {width / 2, height};
  const bool right = alignment & Qt::AlignRight;
  if (position == dmpBottom) return right ? QPoint(width + 1, height) : QPoint(-1, height);
  return right ? QPoint(-1, -1) : QPoint(width, -1);
}

// State and shape.

void TRegionButton::ShowFace(TGlyphState state) {
  if (state == FGlyphState) return;
  FGlyphState = state;
  UpdateShape();
}

// Brings the press state and the face shown in line with Enabled and Down.
void TRegionButton::SyncPressState() {
  if (!isEnabled()) {
    FPressState = psDisabled;
    if (FGlyphState != gsNone) ShowFace(gsDisabled);
    FPressing = false;
  } else if (FPressState == psDisabled) {
    FPressState = FDown ? psLatched : psUp;
  }
  if (FDown && FPressState != psDisabled) FPressState = psPressed;
  if (FGlyphState != gsOver && FGlyphState != gsNone)
    ShowFace(FaceForPress(FPressState == psDisabled, FPressState == psPressed));
}

// A repaint: the state painting would settle now, the pixels when Qt paints.
void TRegionButton::Refresh() {
  SyncPressState();
  update();
}

const QImage& TRegionButton::Face(TGlyphState state, bool upFallback) const {
  static const QImage none;
  if (state == gsNone) return none;
  const QImage& face = FGlyphs[state];
  return face.isNull() && upFallback ? FGlyphs[gsUp] : face;
}

void TRegionButton::UpdateShape() {
  if (FGlyphState == gsNone) return;
  const QImage& face = Face(FGlyphState, false);
  if (!FTransparent || face.isNull()) {
    ApplyShape(QRegion(rect()));
  } else {
    ApplyShape(BitmapToRegion(face, KeyColour(face)));
  }
}

void TRegionButton::ApplyShape(const QRegion& shape) {
  FShape = shape;
  // Qt takes an empty mask for "no mask"; a pixel beside the button masks all of it.
  setMask(shape.isEmpty() ? QRegion(-1, -1, 1, 1) : shape);
}

bool TRegionButton::hitButton(const QPoint& pos) const { return FShape.contains(pos); }

// Events.

void TRegionButton::changeEvent(QEvent* event) {
  QAbstractButton::changeEvent(event);
  if (event->type() != QEvent::EnabledChange) return;
  SyncPressState();
  UpdateShape();
}

void TRegionButton::resizeEvent(QResizeEvent* event) {
  QAbstractButton::resizeEvent(event);
  UpdateShape();
}

void TRegionButton::enterEvent(QEnterEvent*) {
  if (FHover || !isEnabled() || QWidget::mouseGrabber()) return;
  FHover = true;
  if (IsFlat()) update();
  if (FGlyphState != gsNone && !GlyphOver().isNull() && !FDown) SetGlyphState(gsOver);
  emit MouseEnter();
}

void TRegionButton::leaveEvent(QEvent*) {
  if (FHover && isEnabled() && !FPressing) {
    FHover = false;
    if (IsFlat()) update();
    if (FGlyphState != gsNone && !GlyphOver().isNull()) SetGlyphState(gsUp);
    emit MouseLeave();
  } else {
    FPressState = psUp;
    Refresh();
  }
  UpdateShape();
}

void TRegionButton::mousePressEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  if (!hitButton(pos)) {
    event->ignore();
    return;
  }
  const bool left = event->button() == Qt::LeftButton;
  // The click that closed this button's menu over it must not press it again.
  if (FMenuOpen || FPressing || (left && FMenuJustClosed)) return;
  if (left) emit pressed();
  if (!FHover) {
    FHover = true;
    Refresh();
  }
  if (!left) return;
  if (!FDown) {
    FPressState = psPressed;
    if (FGlyphState != gsNone) SetGlyphState(gsDown);
  }
  FPressing = true;
  if (FMenu) PopUpMenu(pos);
}

void TRegionButton::mouseMoveEvent(QMouseEvent* event) {
  if (!FPressing) return;
  const TPressState next = FDown ? psLatched : Inside(event->position().toPoint(), size()) ? psPressed : psUp;
  if (next == FPressState) return;
  FPressState = next;
  Refresh();
}

void TRegionButton::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !FPressing) return;
  const QPoint pos = event->position().toPoint();
  const QPointer<TRegionButton> alive(this);
  emit released();
  // The click sees Down as it was: a speed button toggles after it.
  if (alive && Inside(pos, size())) {
    update();
    emit clicked(false);
  }
  if (alive && FPressing) FinishPress(pos);
}

void TRegionButton::mouseDoubleClickEvent(QMouseEvent* event) {
  if (FMenuOpen || FIgnoresDoubleClick) return;
  mousePressEvent(event);  // the second press of a double click presses the button
}

void TRegionButton::FinishPress(QPoint pos) {
  FPressing = false;
  FPressState = psUp;
  if (Inside(pos, size())) {
    if (IsSpeed()) {
      ChangeDown(!FDown);
      if (FDown) FPressState = psPressed;
    }
  } else {
    FHover = false;
    FPressState = FDown ? psLatched : psUp;
  }
  Refresh();
  UpdateShape();
}

// Runs the menu to its end, then ends the press where it began. A right-to-
// left menu is aligned by its right edge, as Qt's own push buttons do.
void TRegionButton::PopUpMenu(QPoint pressPoint) {
  const QPointer<TRegionButton> alive(this);
  const QPointer<QMenu> menu = FMenu;
  const bool rightAligned = menu->layoutDirection() == Qt::RightToLeft;
  QPoint at = mapToGlobal(MenuAnchor(FMenuPosition, rightAligned ? Qt::AlignRight : Qt::AlignLeft, size()));
  if (rightAligned) at.rx() -= menu->sizeHint().width();
  FMenuOpen = true;
  update();
  menu->exec(at);
  if (!alive) return;
  FMenuOpen = false;
  emit released();
  if (!alive) return;
  FinishPress(pressPoint);
  // Qt hands the click that closed the menu on to the widget under it, as a
  // press queued behind this one.
  FMenuJustClosed = true;
  QTimer::singleShot(0, this, [this] { FMenuJustClosed = false; });
}

// Painting.

bool TRegionButton::EdgeShown() const {
  if (FButtonStyle == btSpeed || FButtonStyle == btNormal) return FBorder;
  return (FHover || FDown) && FPressState != psDisabled;
}

void TRegionButton::paintEvent(QPaintEvent*) {
  SyncPressState();
  QPainter painter(this);
  if (!FTransparent) painter.fillRect(rect(), palette().color(QPalette::Button));
  if (EdgeShown()) DrawEdge(painter);
  if (FGlyphState != gsNone) {
    DrawFace(painter);
  } else if (FMenu) {
    DrawArrow(painter, FMenuOpen ? QPoint(width() - 9, height() / 2 + 1) : QPoint(width() - 10, height() / 2));
  }
  if (FocusShown()) DrawFocusRing(painter);
}

// One pixel all round, lit from the top left: raised when up, sunken when
// pressed or latched.
void TRegionButton::DrawEdge(QPainter& painter) const {
  const bool sunken = FPressState == psPressed || FPressState == psLatched;
  const QColor light = palette().color(QPalette::Light);
  const QColor dark = palette().color(QPalette::Dark);
  const QColor& topLeft = sunken ? dark : light;
  const QColor& bottomRight = sunken ? light : dark;
  const int w = width();
  const int h = height();
  painter.fillRect(0, 0, w - 1, 1, topLeft);
  painter.fillRect(0, 0, 1, h - 1, topLeft);
  painter.fillRect(0, h - 1, w, 1, bottomRight);
  painter.fillRect(w - 1, 0, 1, h, bottomRight);
}

void TRegionButton::DrawFace(QPainter& painter) {
  const QImage& face = Face(FGlyphState, true);
  // A face drawn for a scaled screen is placed by its size on the window.
  const QSize faceSize = face.deviceIndependentSize().toSize();
  QPoint at = PicturePosition(FTextPosition, size(), faceSize);
  if ((FPressState == psPressed || FDown) && FBorder) at += QPoint(1, 1);
  if (FMargin != -1) at.rx() += FMargin;
  if (!face.isNull()) painter.drawImage(at, FacePicture(face));
  if (FMenu) DrawArrow(painter, at + QPoint(faceSize.width(), faceSize.height() / 2));
  if (FTextPosition != TTextPos::tpNone) DrawCaption(painter, CaptionRect(FTextPosition, size(), faceSize));
}

// The face as drawn: its key colour left out when GlyphTransparent, and in
// grey while a flat button is not hovered.
QImage TRegionButton::FacePicture(const QImage& face) const {
  QImage picture = face.convertToFormat(QImage::Format_ARGB32);
  const QRgb key = KeyColour(face);
  const QRgb buttonFace = palette().color(QPalette::Button).rgb();
  const bool grey = IsFlat() && !FHover;
  for (int y = 0; y < picture.height(); ++y) {
    QRgb* line = reinterpret_cast<QRgb*>(picture.scanLine(y));
    for (int x = 0; x < picture.width(); ++x) {
      if (SameRgb(line[x], key)) {
        if (FGlyphTransparent) line[x] = qRgba(0, 0, 0, 0);
      } else if (grey && !SameRgb(line[x], buttonFace)) {
        const int level = GreyLevel(line[x]);
        line[x] = qRgba(level, level, level, qAlpha(line[x]));
      }
    }
  }
  return picture;
}

// Centred on one line as high as "W", over a shadow one pixel right and down;
// engraved when disabled.
void TRegionButton::DrawCaption(QPainter& painter, QRect area) const {
  const int lineHeight = fontMetrics().size(Qt::TextSingleLine, QStringLiteral("W")).height();
  QRect line(area.left(), area.top() + (area.height() - lineHeight) / 2, area.width(), lineHeight);
  const bool enabled = isEnabled();
  const int shift = FBorder && (enabled ? FPressState == psPressed : FDown) ? 1 : 0;
  line.translate(shift, shift);
  const int flags = Qt::AlignCenter | Qt::TextSingleLine | Qt::TextShowMnemonic;
  const QString caption = text().left(kCaptionLimit);
  painter.setFont(font());
  painter.setPen(enabled ? QColor(128, 128, 128) : palette().color(QPalette::Light));
  painter.drawText(line.translated(1, 1), flags, caption);
  painter.setPen(enabled ? palette().color(foregroundRole()) : palette().color(QPalette::Dark));
  painter.drawText(line, flags, caption);
}

// A triangle pointing down, rows of 7, 5, 3 and 1 pixels, the widest at y − 1.
void TRegionButton::DrawArrow(QPainter& painter, QPoint at) const {
  const QColor colour = palette().color(QPalette::ButtonText);
  for (int row = 0; row < 4; ++row) painter.fillRect(at.x() + row, at.y() - 1 + row, 7 - 2 * row, 1, colour);
}

// The keyboard.

void TRegionButton::Press() {
  if (!isEnabled() || FPressing || FMenuOpen) return;
  const QPoint middle = rect().center();
  const QPointer<TRegionButton> alive(this);
  emit pressed();
  if (!alive) return;
  FPressing = true;
  if (FMenu) {
    PopUpMenu(middle);
    return;
  }
  emit released();
  if (alive) emit clicked(false);
  if (alive && FPressing) FinishPress(middle);
}

// Space and Enter press the key the ring is on; without the ring they stay
// the window's shortcuts. The arrows are the window's too (seek and volume),
// not a walk between the keys.
bool TRegionButton::event(QEvent* event) {
  if (event->type() == QEvent::ShortcutOverride && FocusShown() && PressesKey(*static_cast<QKeyEvent*>(event))) {
    event->accept();
    return true;
  }
  return QAbstractButton::event(event);
}

bool TRegionButton::PressesKey(const QKeyEvent& key) {
  const bool press = key.key() == Qt::Key_Space || key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter;
  return press && key.modifiers() == Qt::NoModifier;
}

void TRegionButton::keyPressEvent(QKeyEvent* event) {
  if (FocusShown() && PressesKey(*event)) {
    if (!event->isAutoRepeat()) Press();
    return;
  }
  event->ignore();
}

void TRegionButton::focusInEvent(QFocusEvent* event) {
  // Back from another window or a menu, the ring is as it was.
  const Qt::FocusReason reason = event->reason();
  if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
    FFocusShown = reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason || reason == Qt::ShortcutFocusReason;
  QAbstractButton::focusInEvent(event);
  update();
}

void TRegionButton::focusOutEvent(QFocusEvent* event) {
  // Another window or a menu taking the focus keeps the ring for the return.
  if (event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason) FFocusShown = false;
  QAbstractButton::focusOutEvent(event);
  update();
}

// Two pixels along the inside of the key's shape: the ring follows a round
// key round, and nothing outside the shape could show anyway.
void TRegionButton::DrawFocusRing(QPainter& painter) const {
  // The shape shrunk by `by` pixels on every side.
  auto shrunk = [this](int by) {
    QRegion inner = FShape;
    for (QPoint step : {QPoint(by, 0), QPoint(-by, 0), QPoint(0, by), QPoint(0, -by)}) inner &= FShape.translated(step);
    return inner;
  };
  const QRegion ring = shrunk(2), line = shrunk(3);
  painter.save();
  painter.setClipRegion(FShape.subtracted(ring));
  painter.fillRect(rect(), FFocusColour);
  // A dark line inside the ring keeps it seen on a face of its own colour.
  painter.setClipRegion(ring.subtracted(line));
  painter.fillRect(rect(), QColor(0, 0, 0, 190));
  painter.restore();
}

}  // namespace vidora
