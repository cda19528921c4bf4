// The skinned button: four face pictures, a window shape cut to the face
// shown, a latching (speed) style, a flat grey style, a caption beside the
// picture and a drop-down menu. Tab reaches it; a ring on its face marks the
// keyboard focus, and Space or Enter press it as a click does.
#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QFont>
#include <QImage>
#include <QPointer>

#include "skin/button_kinds.h"

class QMenu;
class QPainter;

namespace vidora {

enum TDropDownMenuPos { dmpBottom, dmpRight };

class TRegionButton : public QAbstractButton {
  Q_OBJECT

 public:
  explicit TRegionButton(QWidget* parent = nullptr);  // 40 × 40

  // The four faces. The transparent colour of a face is its bottom-left pixel.
  const QImage& GlyphUp() const { return FGlyphs[gsUp]; }
  const QImage& GlyphDown() const { return FGlyphs[gsDown]; }
  const QImage& GlyphDisable() const { return FGlyphs[gsDisabled]; }
  const QImage& GlyphOver() const { return FGlyphs[gsOver]; }
  void SetGlyph(TGlyphState face, const QImage& picture);  // an empty image empties the face
  void ClearGlyphs();

  QString Caption() const { return text(); }
  void SetCaption(const QString& caption);
  TTextPos TextPosition() const { return FTextPosition; }
  void SetTextPosition(TTextPos position);
  bool Transparent() const { return FTransparent; }
  void SetTransparent(bool on);
  bool GlyphTransparent() const { return FGlyphTransparent; }
  void SetGlyphTransparent(bool on);
  TGlyphState GlyphState() const { return FGlyphState; }
  void SetGlyphState(TGlyphState state);
  TButtonStyle ButtonStyle() const { return FButtonStyle; }
  void SetButtonStyle(TButtonStyle style);
  // Latched state; only the speed styles can be down.
  bool Down() const { return FDown; }
  void SetDown(bool down);
  bool Border() const { return FBorder; }
  void SetBorder(bool on);
  bool Shadow() const { return FShadow; }
  void SetShadow(bool on) { FShadow = on; }
  // −1: none; otherwise added to the picture's left. Values below −1 are refused.
  int Margin() const { return FMargin; }
  void SetMargin(int margin);
  QMenu* DropDownMenu() const;  // out of line: QPointer needs the whole QMenu
  void SetDropDownMenu(QMenu* menu);
  bool MarkDropDown() const { return FMarkDropDown; }
  void SetMarkDropDown(bool on);
  TDropDownMenuPos MenuPosition() const { return FMenuPosition; }
  void SetMenuPosition(TDropDownMenuPos position) { FMenuPosition = position; }
  // A key that changes state acts once on a double click: its second press is
  // not taken for another click.
  void SetIgnoresDoubleClick(bool on) { FIgnoresDoubleClick = on; }
  // The ring that marks the keyboard focus.
  QColor FocusColour() const { return FFocusColour; }
  void SetFocusColour(const QColor& colour);
  // Whether the ring shows: the focus came by Tab, not with the window.
  bool FocusShown() const { return FFocusShown && hasFocus(); }
  // What a click in the key's middle does, down to a latching key latching;
  // for the keyboard, shortcuts and screen readers.
  void Press();
  int ModalResult() const { return FModalResult; }
  void SetModalResult(int result) { FModalResult = result; }

  // The window shape in force. Empty when the face shown is all key colour:
  // then nothing of the button is drawn or hit.
  QRegion Shape() const { return FShape; }
  // Where a picture w × h stands in the button, and the caption's rectangle.
  static QPoint PicturePosition(TTextPos position, QSize button, QSize picture);
  static QRect CaptionRect(TTextPos position, QSize button, QSize picture);
  // The menu's anchor in button coordinates for a menu position and alignment.
  static QPoint MenuAnchor(TDropDownMenuPos position, Qt::Alignment alignment, QSize button);

 signals:
  void MouseEnter();
  void MouseLeave();
  // A latching key went down or came up.
  void DownChanged(bool down);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void changeEvent(QEvent* event) override;
  bool event(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool hitButton(const QPoint& pos) const override;

 private:
  enum TPressState { psUp, psDisabled, psPressed, psLatched };
  bool IsSpeed() const { return FButtonStyle == btSpeed || FButtonStyle == btSpeedFlat; }
  bool IsFlat() const { return FButtonStyle == btFlat || FButtonStyle == btSpeedFlat; }
  void ShowFace(TGlyphState state);
  void ChangeDown(bool down);
  void SyncPressState();
  void Refresh();
  void UpdateShape();
  void ApplyShape(const QRegion& shape);
  const QImage& Face(TGlyphState state, bool upFallback) const;
  void PopUpMenu(QPoint pressPoint);
  void FinishPress(QPoint pos);
  bool EdgeShown() const;
  void DrawEdge(QPainter& painter) const;
  void DrawFace(QPainter& painter);
  QImage FacePicture(const QImage& face) const;
  void DrawCaption(QPainter& painter, QRect area) const;
  void DrawArrow(QPainter& painter, QPoint at) const;
  void DrawFocusRing(QPainter& painter) const;
  // Space or Enter alone: what presses the key the ring is on.
  static bool PressesKey(const QKeyEvent& key);

  QImage FGlyphs[4];  // indexed by TGlyphState (gsDisabled … gsOver)
  TTextPos FTextPosition = TTextPos::tpNone;
  bool FTransparent = true;
  bool FGlyphTransparent = true;
  TGlyphState FGlyphState = gsUp;
  TButtonStyle FButtonStyle = btSpeed;
  bool FDown = false;
  bool FBorder = true;
  bool FShadow = false;
  int FMargin = -1;
  QPointer<QMenu> FMenu;
  bool FMarkDropDown = true;
  TDropDownMenuPos FMenuPosition = dmpBottom;
  int FModalResult = 0;
  TPressState FPressState = psUp;
  bool FHover = false;
  bool FPressing = false;
  bool FMenuOpen = false;
  bool FMenuJustClosed = false;  // until the events queued when the menu closed are handled
  bool FIgnoresDoubleClick = false;
  bool FFocusShown = false;
  QColor FFocusColour;
  QRegion FShape;
};

// The pixels of `picture` that differ from `key` in red, green or blue, as
// one-pixel-high runs gathered in batches of 2000 rectangles. In logical
// pixels: of a picture for a scaled screen (device-pixel ratio 2) a window
// pixel belongs when none of its device pixels is the key, so no key colour
// is ever shown.
QRegion BitmapToRegion(const QImage& picture, QRgb key, int batch = 2000);
// The same for the pixels that are not wholly transparent; with `partly` a
// window pixel belongs when any of its device pixels does, so that a soft
// edge is never cut.
QRegion AlphaToRegion(const QImage& picture, bool partly);

}  // namespace vidora
