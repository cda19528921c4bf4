// Our phone on a screen scaled 200 %: the skin's @2x pictures are taken and
// drawn pixel for pixel, not the 1x ones enlarged, and every shape stays in
// the window's coordinates.
#include <gtest/gtest.h>

#include <QImage>
#include <QWidget>

#include <map>
#include <string>
#include <vector>

#include "skin/image_box.h"
#include "skin/region_button.h"
#include "skin/skin_applier.h"
#include "skin/skin_file.h"

namespace vidora::test {
namespace {

const QString Folder = QStringLiteral(SOURCE_DIR "/skins/Standard");
constexpr QRgb kBackdrop = qRgb(0, 90, 0);

QImage Read(const QString& name) {
  QImage picture(Folder + QLatin1Char('/') + name);
  EXPECT_FALSE(picture.isNull()) << name.toStdString();
  return picture.convertToFormat(QImage::Format_RGB32);
}

// A face over the backdrop: its key colour (bottom-left pixel) shows what lies beneath.
QImage OverBackdrop(QImage face) {
  const QRgb key = face.pixel(0, face.height() - 1);
  for (int y = 0; y < face.height(); ++y)
    for (int x = 0; x < face.width(); ++x)
      if (face.pixel(x, y) == key) face.setPixel(x, y, kBackdrop);
  return face;
}

// A region's rectangles never overlap.
int Area(const QRegion& region) {
  int area = 0;
  for (const QRect& rect : region) area += rect.width() * rect.height();
  return area;
}

int Differing(const QImage& a, const QImage& b) {
  int count = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x) count += a.pixel(x, y) != b.pixel(x, y);
  return count;
}

TEST(ScaledSkin, FacesArePaintedFromTheirTwiceSizePicturesAndShapedInWindowPixels) {
  QWidget window;
  std::map<std::string, TRegionButton*> buttons;
  for (const char* name : {"btnPlay", "btnAdd", "btnVol1", "btnHi"}) {
    buttons[name] = new TRegionButton(&window);
    buttons[name]->setObjectName(QString::fromLatin1(name));
  }
  auto* info = new TImageBox(&window);
  std::vector<std::string> said;
  TSkinApplier::THost host;
  host.Component = [&](const std::string& name) -> QWidget* {
    if (name == "ImageInfoEn") return info;
    return buttons.count(name) ? buttons[name] : nullptr;
  };
  host.Profile = [](const std::string&) {};
  host.Say = [&said](const std::string& line) { said.push_back(line); };
  host.PixelRatio = 2;
  TSkinFile file;
  ASSERT_TRUE(file.Load((Folder + QStringLiteral("/skin.all")).toStdString()));
  TSkinApplier(host, "Standard", Folder).Apply(file);
  EXPECT_TRUE(said.empty()) << said.front();
  EXPECT_EQ(info->size(), Read(QStringLiteral("ImageInfoEn.bmp")).size());

  for (const auto& [name, button] : buttons) {
    SCOPED_TRACE(name);
    const QString face = QString::fromStdString(name) + QStringLiteral("_up");
    const QImage once = Read(face + QStringLiteral(".bmp"));
    const QImage twice = Read(face + QStringLiteral("@2x.png"));
    ASSERT_EQ(button->size(), once.size());
    QImage seen(button->size() * 2, QImage::Format_RGB32);
    seen.setDevicePixelRatio(2);
    seen.fill(kBackdrop);
    // The whole button, not moved to the corner of its shape.
    button->render(&seen, {}, {}, QWidget::IgnoreMask);
    seen.setDevicePixelRatio(1);
    EXPECT_EQ(Differing(seen, OverBackdrop(twice)), 0);
    EXPECT_GT(Differing(seen, OverBackdrop(once).scaled(once.size() * 2)), 0);
    // The shape is the face's outline in the button's own pixels: it only
    // differs from the 1x outline along the edge.
    const QRegion onceShape = BitmapToRegion(once, once.pixel(0, once.height() - 1));
    EXPECT_TRUE(button->rect().contains(button->Shape().boundingRect()));
    EXPECT_LT(Area(button->Shape().xored(onceShape)) * 5, button->width() * button->height());
  }
}

}  // namespace
}  // namespace vidora::test
