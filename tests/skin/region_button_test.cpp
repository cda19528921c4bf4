// The skinned button, shown offscreen in a window of its own and driven with
// Qt's test clicks.
#include <gtest/gtest.h>

#include <QApplication>
#include <QEnterEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <climits>
#include <cstdlib>
#include <vector>

#include "skin/region_button.h"

namespace vidora::test {
namespace {

constexpr QRgb kKey = qRgb(255, 0, 255);
constexpr QRgb kRed = qRgb(200, 0, 0);
constexpr QRgb kBackground = qRgb(0, 90, 0);

// A face in one colour whose bottom-left pixel is the key colour.
QImage Face(QSize size, QRgb colour) {
  QImage face(size, QImage::Format_RGB32);
  face.fill(colour);
  face.setPixel(0, size.height() - 1, kKey);
  return face;
}

// The pixels a region covers, painted white on black.
QImage Coverage(const QRegion& region, QSize size) {
  QImage image(size, QImage::Format_RGB32);
  image.fill(Qt::black);
  QPainter painter(&image);
  painter.setClipRegion(region);
  painter.fillRect(image.rect(), Qt::white);
  return image;
}

// The pixels of a picture that are not the key colour, painted the same way.
QImage Opaque(const QImage& picture, QRgb key) {
  QImage image(picture.size(), QImage::Format_RGB32);
  for (int y = 0; y < picture.height(); ++y)
    for (int x = 0; x < picture.width(); ++x)
      image.setPixel(x, y, (picture.pixel(x, y) & RGB_MASK) == (key & RGB_MASK) ? qRgb(0, 0, 0) : qRgb(255, 255, 255));
  return image;
}

QPoint FirstPixelOf(const QImage& image, QRgb colour) {
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if ((image.pixel(x, y) & RGB_MASK) == (colour & RGB_MASK)) return {x, y};
  return {-1, -1};
}

TEST(BitmapToRegion, RunsOfPixelsThatDifferFromTheKey) {
  QImage picture(6, 3, QImage::Format_ARGB32);
  picture.fill(kKey);
  picture.setPixel(1, 0, kRed);
  picture.setPixel(2, 0, kRed);
  picture.setPixel(4, 0, kRed);
  // One channel off by one is a colour of its own; only an exact match is transparent.
  picture.setPixel(0, 1, qRgb(254, 0, 255));
  picture.setPixel(1, 1, qRgb(255, 1, 255));
  picture.setPixel(2, 1, qRgb(255, 0, 254));
  picture.setPixel(3, 1, qRgba(255, 0, 255, 0));  // the key whatever its alpha
  QRegion expected = QRegion(1, 0, 2, 1) | QRegion(4, 0, 1, 1) | QRegion(0, 1, 3, 1);
  EXPECT_EQ(Coverage(BitmapToRegion(picture, kKey), picture.size()), Coverage(expected, picture.size()));
  EXPECT_TRUE(BitmapToRegion(Face({5, 5}, kKey), kKey).isEmpty());
}

TEST(BitmapToRegion, ManyRunsGiveTheShapeOfOneBatch) {
  // A checkerboard with uneven rows: 5000 runs, batches that end inside a row.
  QImage picture(101, 99, QImage::Format_RGB32);
  for (int y = 0; y < picture.height(); ++y)
    for (int x = 0; x < picture.width(); ++x) picture.setPixel(x, y, (x + y) % 2 || x % 7 == 3 ? kRed : kKey);
  const QRegion oneBatch = BitmapToRegion(picture, kKey, INT_MAX);
  const QRegion batched = BitmapToRegion(picture, kKey);
  ASSERT_GT(oneBatch.rectCount(), 2000);
  EXPECT_EQ(batched, oneBatch);
  EXPECT_EQ(Coverage(batched, picture.size()), Opaque(picture, kKey));
  EXPECT_EQ(Coverage(BitmapToRegion(picture, kKey, 7), picture.size()), Opaque(picture, kKey));
}

TEST(RegionButtonLayout, PicturePlacementAndCaptionRectangle) {
  const QSize button(40, 30);
  const QSize picture(11, 7);
  struct Case {
    TTextPos position;
    QPoint at;
    QRect caption;
  };
  for (const Case& c : {Case{TTextPos::tpNone, {14, 11}, QRect()}, Case{TTextPos::tpLeft, {29, 11}, QRect(0, 0, 29, 30)},
                        Case{TTextPos::tpRight, {0, 11}, QRect(11, 0, 29, 30)}, Case{TTextPos::tpAbove, {14, 23}, QRect(0, 0, 40, 23)},
                        Case{TTextPos::tpBelow, {14, 0}, QRect(0, 7, 40, 23)}}) {
    EXPECT_EQ(TRegionButton::PicturePosition(c.position, button, picture), c.at) << static_cast<int>(c.position);
    EXPECT_EQ(TRegionButton::CaptionRect(c.position, button, picture), c.caption) << static_cast<int>(c.position);
  }
  // A picture larger than the button: the halves truncate toward zero.
  EXPECT_EQ(TRegionButton::PicturePosition(TTextPos::tpNone, {40, 40}, {45, 43}), QPoint(-2, -1));
}

TEST(RegionButtonLayout, MenuAnchors) {
  const QSize button(40, 30);
  EXPECT_EQ(TRegionButton::MenuAnchor(dmpBottom, Qt::AlignLeft, button), QPoint(-1, 30));
  EXPECT_EQ(TRegionButton::MenuAnchor(dmpBottom, Qt::AlignRight, button), QPoint(41, 30));
  EXPECT_EQ(TRegionButton::MenuAnchor(dmpBottom, Qt::AlignHCenter, button), QPoint(20, 30));
  EXPECT_EQ(TRegionButton::MenuAnchor(dmpRight, Qt::AlignLeft, button), QPoint(40, -1));
  EXPECT_EQ(TRegionButton::MenuAnchor(dmpRight, Qt::AlignRight, button), QPoint(-1, -1));
  EXPECT_EQ(TRegionButton::MenuAnchor(dmpRight, Qt::AlignHCenter, button), QPoint(20, 30));
}

class RegionButtonTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FWindow.resize(200, 200);
    FWindow.setAutoFillBackground(true);
    QPalette palette = FWindow.palette();
    palette.setColor(QPalette::Window, QColor(kBackground));
    FWindow.setPalette(palette);
    FButton = new TRegionButton(&FWindow);
    FButton->move(50, 50);
    FWindow.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&FWindow));
  }

  // What the window shows where the button stands.
  QImage Seen() { return FWindow.grab(FButton->geometry()).toImage().convertToFormat(QImage::Format_RGB32); }
  QPoint InWindow(QPoint pos) const { return FButton->mapTo(&FWindow, pos); }
  void Enter() {
    QEnterEvent event(QPointF(5, 5), QPointF(5, 5), FButton->mapToGlobal(QPointF(5, 5)));
    QApplication::sendEvent(FButton, &event);
  }
  void Leave() {
    QEvent event(QEvent::Leave);
    QApplication::sendEvent(FButton, &event);
  }

  QWidget FWindow;
  TRegionButton* FButton = nullptr;
};

TEST_F(RegionButtonTest, AFaceAllKeyColourHidesTheButtonFromSightAndClicks) {
  EXPECT_EQ(FButton->size(), QSize(40, 40));
  FButton->SetGlyph(gsUp, Face({40, 40}, kKey));
  EXPECT_TRUE(FButton->Shape().isEmpty());
  const QImage seen = Seen();
  for (int y = 0; y < seen.height(); ++y)
    for (int x = 0; x < seen.width(); ++x) ASSERT_EQ(seen.pixel(x, y), kBackground) << x << "," << y;

  QSignalSpy clicks(FButton, &QAbstractButton::clicked);
  QTest::mouseClick(FWindow.windowHandle(), Qt::LeftButton, {}, InWindow({20, 20}));
  QTest::mouseClick(FButton, Qt::LeftButton, {}, {20, 20});
  EXPECT_EQ(clicks.count(), 0);

  FButton->SetGlyph(gsUp, Face({40, 40}, kRed));
  QTest::mouseClick(FWindow.windowHandle(), Qt::LeftButton, {}, InWindow({20, 20}));
  EXPECT_EQ(clicks.count(), 1) << "a face that shows can be clicked";
}

TEST_F(RegionButtonTest, TheShapeFollowsTheFaceShown) {
  EXPECT_EQ(FButton->Shape(), QRegion(0, 0, 40, 40)) << "no face: the whole button";
  QImage up = Face({40, 40}, kRed);
  up.fill(kKey);
  for (int y = 0; y < 40; ++y)
    for (int x = 20; x < 40; ++x) up.setPixel(x, y, kRed);  // the right half
  QImage down = Face({40, 40}, kKey);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 40; ++x) down.setPixel(x, y, kRed);  // the top quarter
  FButton->SetButtonStyle(btNormal);
  FButton->SetGlyph(gsUp, up);
  FButton->SetGlyph(gsDown, down);
  EXPECT_EQ(Coverage(FButton->Shape(), {40, 40}), Opaque(up, kKey));

  QTest::mousePress(FButton, Qt::LeftButton, {}, {30, 5});
  EXPECT_EQ(FButton->GlyphState(), gsDown);
  EXPECT_EQ(Coverage(FButton->Shape(), {40, 40}), Opaque(down, kKey));
  QTest::mouseRelease(FButton, Qt::LeftButton, {}, {30, 5});
  EXPECT_EQ(FButton->GlyphState(), gsUp);
  EXPECT_EQ(Coverage(FButton->Shape(), {40, 40}), Opaque(up, kKey));

  // An empty face is drawn as the up face but shaped as the whole button.
  FButton->SetGlyph(gsDown, QImage());
  QTest::mousePress(FButton, Qt::LeftButton, {}, {30, 5});
  EXPECT_EQ(FButton->Shape(), QRegion(0, 0, 40, 40));
  QTest::mouseRelease(FButton, Qt::LeftButton, {}, {30, 5});

  QImage disabled = Face({40, 40}, kKey);
  disabled.setPixel(5, 5, kRed);
  FButton->SetGlyph(gsDisabled, disabled);
  FButton->setEnabled(false);
  EXPECT_EQ(FButton->Shape(), QRegion(5, 5, 1, 1));
  FButton->setEnabled(true);
  EXPECT_EQ(Coverage(FButton->Shape(), {40, 40}), Opaque(up, kKey));

  FButton->SetTransparent(false);
  EXPECT_EQ(FButton->Shape(), QRegion(0, 0, 40, 40));
  FButton->SetGlyph(gsUp, Face({40, 40}, kKey));
  EXPECT_EQ(FButton->Shape(), QRegion(0, 0, 40, 40)) << "not transparent: the whole button whatever the face";
  FButton->SetTransparent(true);
  EXPECT_TRUE(FButton->Shape().isEmpty());

  FButton->SetGlyphState(gsNone);
  FButton->SetGlyph(gsUp, up);
  EXPECT_TRUE(FButton->Shape().isEmpty()) << "no face shown: the shape stays";
}

TEST_F(RegionButtonTest, PropertiesKeepTheirRules) {
  for (TButtonStyle style : {btNormal, btFlat}) {
    FButton->SetButtonStyle(style);
    FButton->SetDown(true);
    EXPECT_FALSE(FButton->Down()) << style;
  }
  for (TButtonStyle style : {btSpeed, btSpeedFlat}) {
    FButton->SetButtonStyle(style);
    FButton->SetDown(true);
    EXPECT_TRUE(FButton->Down()) << style;
    FButton->SetDown(false);
  }
  FButton->SetMargin(-2);
  EXPECT_EQ(FButton->Margin(), -1);
  FButton->SetMargin(0);
  FButton->SetMargin(-5);
  EXPECT_EQ(FButton->Margin(), 0);

  EXPECT_FALSE(FButton->testAttribute(Qt::WA_OpaquePaintEvent));
  FButton->SetTransparent(false);
  EXPECT_TRUE(FButton->testAttribute(Qt::WA_OpaquePaintEvent));
}

// Small faces would be cut away by their own shape; an opaque button keeps the whole rectangle.
TEST_F(RegionButtonTest, PictureStandsByTextPositionPressAndMargin) {
  FButton->SetTransparent(false);
  FButton->SetGlyph(gsUp, Face({10, 10}, kRed));
  FButton->SetGlyph(gsDown, Face({10, 10}, kRed));
  EXPECT_EQ(FirstPixelOf(Seen(), kRed), QPoint(15, 15));
  FButton->SetTextPosition(TTextPos::tpLeft);
  EXPECT_EQ(FirstPixelOf(Seen(), kRed), QPoint(30, 15));
  FButton->SetDown(true);
  EXPECT_EQ(FirstPixelOf(Seen(), kRed), QPoint(31, 16)) << "down with a border";
  FButton->SetBorder(false);
  EXPECT_EQ(FirstPixelOf(Seen(), kRed), QPoint(30, 15));
  FButton->SetTextPosition(TTextPos::tpBelow);
  FButton->SetMargin(3);
  EXPECT_EQ(FirstPixelOf(Seen(), kRed), QPoint(18, 0));
  FButton->SetMargin(-1);
  EXPECT_EQ(FirstPixelOf(Seen(), kRed), QPoint(15, 0));
}

TEST_F(RegionButtonTest, FlatStylesDrawGreyAndFramelessUntilHovered) {
  const QRgb buttonFace = qRgb(90, 160, 220);
  QPalette palette = FButton->palette();
  palette.setColor(QPalette::Button, buttonFace);
  FButton->setPalette(palette);
  FButton->SetTransparent(false);
  const QRgb light = FButton->palette().color(QPalette::Light).rgb();
  QImage face = Face({10, 10}, qRgb(200, 100, 50));
  face.setPixel(1, 1, buttonFace);
  FButton->SetGlyph(gsUp, face);
  FButton->SetButtonStyle(btFlat);
  QImage seen = Seen();
  const int grey = (200 * 77 + 100 * 150 + 50 * 29) / 256;
  EXPECT_EQ(seen.pixel(20, 20), qRgb(grey, grey, grey));
  EXPECT_EQ(seen.pixel(16, 16), buttonFace) << "the button colour stays";
  EXPECT_EQ(seen.pixel(15, 24), buttonFace) << "the key colour is left out";
  EXPECT_EQ(seen.pixel(0, 0), buttonFace) << "no edge";

  Enter();
  seen = Seen();
  EXPECT_EQ(seen.pixel(20, 20), qRgb(200, 100, 50));
  EXPECT_EQ(seen.pixel(0, 0), light);
  Leave();
  FButton->SetButtonStyle(btSpeed);
  FButton->SetGlyphTransparent(false);
  seen = Seen();
  EXPECT_EQ(seen.pixel(20, 20), qRgb(200, 100, 50));
  EXPECT_EQ(seen.pixel(15, 24), kKey);
  EXPECT_EQ(seen.pixel(0, 0), light);
}

TEST_F(RegionButtonTest, CaptionBesideThePictureWithAShadowEngravedWhenDisabled) {
  QFont font = FButton->font();
  font.setPixelSize(16);
  FButton->setFont(font);
  FButton->resize(100, 40);
  FButton->SetTransparent(false);
  FButton->SetGlyph(gsUp, Face({20, 20}, kRed));
  FButton->SetTextPosition(TTextPos::tpLeft);
  FButton->SetCaption(QStringLiteral("HHH"));
  // Inside the edge: which of the caption's colours show, and where.
  auto colours = [&](QRgb colour) {
    const QImage seen = Seen();
    QRect where;
    for (int y = 1; y < seen.height() - 1; ++y)
      for (int x = 1; x < seen.width() - 1; ++x)
        if (seen.pixel(x, y) == colour) where |= QRect(x, y, 1, 1);
    return where;
  };
  const QRgb ink = FButton->palette().color(QPalette::ButtonText).rgb();
  const QRect text = colours(ink);
  ASSERT_FALSE(text.isEmpty());
  EXPECT_LE(text.right(), 80) << "left of the picture";
  EXPECT_LE(std::abs(text.left() - (79 - text.right())), 2) << "centred";
  EXPECT_LE(std::abs(text.top() - (39 - text.bottom())), 2) << "centred";
  EXPECT_FALSE(colours(qRgb(128, 128, 128)).isEmpty()) << "the shadow";

  FButton->setEnabled(false);
  EXPECT_TRUE(colours(qRgb(128, 128, 128)).isEmpty());
  EXPECT_FALSE(colours(FButton->palette().color(QPalette::Light).rgb()).isEmpty());
  EXPECT_FALSE(colours(FButton->palette().color(QPalette::Dark).rgb()).isEmpty());
}

TEST_F(RegionButtonTest, DropDownArrowWithoutAFace) {
  QMenu menu;
  FButton->SetDropDownMenu(&menu);
  FButton->SetGlyphState(gsNone);
  const QImage seen = Seen();
  const QRgb text = FButton->palette().color(QPalette::ButtonText).rgb();
  // The arrow's rows of 7, 5, 3, 1 pixels from (30, 19) down.
  for (int row = 0; row < 4; ++row) {
    for (int x = 28; x < 38; ++x) {
      const bool inArrow = x >= 30 + row && x < 37 - row;
      EXPECT_EQ(seen.pixel(x, 19 + row) == text, inArrow) << x << "," << 19 + row;
    }
  }
}

TEST_F(RegionButtonTest, SpeedButtonsLatchAfterTheClickSawTheOldDown) {
  std::vector<bool> downSeen;
  QObject::connect(FButton, &QAbstractButton::clicked, [&] { downSeen.push_back(FButton->Down()); });
  QSignalSpy pressed(FButton, &QAbstractButton::pressed);
  QSignalSpy released(FButton, &QAbstractButton::released);
  QTest::mouseClick(FButton, Qt::LeftButton);
  EXPECT_TRUE(FButton->Down());
  QTest::mouseClick(FButton, Qt::LeftButton);
  EXPECT_FALSE(FButton->Down());
  EXPECT_EQ(downSeen, (std::vector<bool>{false, true}));
  EXPECT_EQ(pressed.count(), 2);
  EXPECT_EQ(released.count(), 2);

  QTest::mousePress(FButton, Qt::LeftButton, {}, {20, 20});
  QTest::mouseRelease(FButton, Qt::LeftButton, {}, {20, 60});
  EXPECT_FALSE(FButton->Down()) << "released outside";
  EXPECT_EQ(downSeen.size(), 2u);

  FButton->SetButtonStyle(btNormal);
  QTest::mouseClick(FButton, Qt::LeftButton);
  EXPECT_FALSE(FButton->Down());
  EXPECT_EQ(downSeen.size(), 3u);
}

TEST_F(RegionButtonTest, HoverShowsTheOverFace) {
  FButton->SetGlyph(gsUp, Face({40, 40}, kRed));
  FButton->SetGlyph(gsOver, Face({40, 40}, qRgb(0, 0, 200)));
  QSignalSpy entered(FButton, &TRegionButton::MouseEnter);
  QSignalSpy left(FButton, &TRegionButton::MouseLeave);
  Enter();
  Enter();
  EXPECT_EQ(FButton->GlyphState(), gsOver);
  EXPECT_EQ(entered.count(), 1);
  Leave();
  EXPECT_EQ(FButton->GlyphState(), gsUp);
  EXPECT_EQ(left.count(), 1);

  FButton->SetDown(true);
  Enter();
  EXPECT_EQ(FButton->GlyphState(), gsDown) << "a latched button keeps its down face";
  EXPECT_EQ(entered.count(), 2);
}

TEST_F(RegionButtonTest, ALeftPressShowsTheMenuAndTheClickClosingItDoesNotPressAgain) {
  QMenu menu;
  menu.addAction(QStringLiteral("One"));
  menu.addAction(QStringLiteral("Two"));
  FButton->SetButtonStyle(btNormal);
  FButton->SetDropDownMenu(&menu);
  QSignalSpy pressed(FButton, &QAbstractButton::pressed);
  QSignalSpy clicks(FButton, &QAbstractButton::clicked);
  int showings = 0;
  QPoint menuAt;
  // A second showing would wait for a click that never comes: close it and let the count tell.
  QObject::connect(&menu, &QMenu::aboutToShow, [&] {
    if (++showings > 1) QTimer::singleShot(0, &menu, &QMenu::close);
  });
  // While the menu runs: see where it stands, then click over the button to
  // close it. A desktop that lets the menu grab the mouse has Qt hand that
  // press on to the window under it, queued; without such a grab here, queue
  // it as Qt does.
  QTimer::singleShot(0, &menu, [&] {
    menuAt = menu.pos();
    QWindow* popup = menu.windowHandle();
    const QPoint global = FButton->mapToGlobal(QPoint(20, 20));
    QTest::mousePress(popup, Qt::LeftButton, {}, popup->mapFromGlobal(global));
    const QPointF local = FWindow.windowHandle()->mapFromGlobal(global);
    QApplication::postEvent(FWindow.windowHandle(), new QMouseEvent(QEvent::MouseButtonPress, local, local, global,
                                                                    Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
  });
  QTest::mousePress(FWindow.windowHandle(), Qt::LeftButton, {}, InWindow({20, 20}));
  QApplication::processEvents();
  QTest::mouseRelease(FWindow.windowHandle(), Qt::LeftButton, {}, InWindow({20, 20}));
  QApplication::processEvents();

  EXPECT_EQ(showings, 1);
  EXPECT_EQ(menuAt, FButton->mapToGlobal(QPoint(-1, 40)));
  EXPECT_EQ(pressed.count(), 1);
  EXPECT_EQ(clicks.count(), 0);
  EXPECT_EQ(FButton->GlyphState(), gsUp);
}

}  // namespace
}  // namespace vidora::test
