// Renders the built-in look "Standard" from the vector sources of this folder
// into the 24-bit bitmaps and the description (skin.all) of skins/Standard.
// Usage: vidora_art ART_DIR SKIN_DIR [PREVIEW_DIR]
// With PREVIEW_DIR it also writes pictures of the result to look at:
// preview.png (the phone in four situations), preview-zoom.png (the phone at
// twice its size) and preview-faces.png (every face of every button).
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>

namespace {

struct TButton {
  const char* Name;
  int Left, Top, Width, Height;
  bool Opaque;  // drawn over a copy of the background, with no key colour
};

// Where the program puts each button on the window, as the skin file says.
const TButton Buttons[] = {
    {"btnAdd", 30, 354, 44, 63, false},
    {"btnStop", 97, 390, 9, 9, true},
    {"btnPause", 157, 390, 8, 9, true},
    {"btnPlay", 110, 379, 42, 32, false},
    {"btnClose", 145, 399, 83, 68, false},
    {"btnAddSub", 189, 357, 44, 60, false},
    {"btnSubOn", 215, 365, 14, 12, false},
    {"btnInfo", 36, 399, 78, 67, false},
    {"btnMinimize", 335, 95, 14, 12, false},
    {"btnHi", 279, 96, 18, 14, false},
    {"btnLo", 300, 96, 18, 14, false},
    {"btnVol1", 355, 90, 5, 20, false},
    {"btnVol2", 328, 90, 5, 20, false},
    {"btnSetup", 94, 439, 75, 32, false},
    {"btnStartConvert", 62, 267, 139, 27, false},
    {"btnPauseConvert", 62, 267, 140, 27, false},
    {"btnResumeConvert", 62, 267, 140, 27, false},
};

struct TState {
  const char* Suffix;  // of the source's element id and of the file name
  const char* Key;     // in skin.all
};

const TState States[] = {
    {"up", "GlyphUp"},
    {"down", "GlyphDown"},
    {"disabled", "GlyphDisable"},
    {"over", "GlyphOver"},
};

struct TPicture {
  const char* Name;  // the element id, the file name and the skin section
  const char* Source;
  int Width, Height;
  bool Placed;  // the skin file gives its place on the window (a tile has none)
};

const TPicture Pictures[] = {
    {"ImgT", "buttons.svg", 1, 12, false},
    {"ImgN", "buttons.svg", 1, 12, false},
    {"ImageInfoPL", "info.svg", 160, 213, true},
    {"ImageInfoEn", "info.svg", 160, 213, true},
};

const QSize BackgroundSize(264, 500);
const QPoint InfoPlace(52, 131);
const QRect ProgressLabel(63, 231, 76, 13);
const QRect ProgressBar(62, 246, 139, 12);

// Pixels of exactly this colour are see-through and click-through.
const QRgb KeyColour = qRgb(255, 0, 255);
// What a half-covered edge pixel is laid over where no background lies beneath.
const QRgb EdgeColour = qRgb(22, 24, 28);

using TBitmaps = std::map<QString, QImage>;  // by file name, without ".bmp"

[[noreturn]] void Fail(const QString& message) {
  std::fprintf(stderr, "vidora_art: %s\n", qPrintable(message));
  std::exit(1);
}

QString FaceName(const TButton& button, const char* state) {
  return QString("%1_%2").arg(button.Name, state);
}

// The element drawn at its exact size. Its extent in the source must be that
// size, so that nothing is scaled and every edge falls where it was drawn.
QImage Render(QSvgRenderer& source, const QString& id, QSize size) {
  if (!source.elementExists(id)) Fail(id + " is missing from the source");
  const QRectF bounds = source.boundsOnElement(id);
  if (bounds.size() != QSizeF(size))
    Fail(QString("%1 is %2x%3 in the source, not %4x%5")
             .arg(id).arg(bounds.width()).arg(bounds.height()).arg(size.width()).arg(size.height()));
  QImage art(size, QImage::Format_ARGB32_Premultiplied);
  art.fill(Qt::transparent);
  QPainter painter(&art);
  source.render(&painter, id, QRectF(QPointF(0, 0), QSizeF(size)));
  return art;
}

// What lies under `place` on the window: the background where it has a body,
// the edge colour elsewhere.
QImage Beneath(const QImage& background, const QRect& place) {
  QImage under(place.size(), QImage::Format_RGB32);
  for (int y = 0; y < place.height(); ++y)
    for (int x = 0; x < place.width(); ++x) {
      const QPoint at = place.topLeft() + QPoint(x, y);
      const bool onBody = background.rect().contains(at) && background.pixel(at) != KeyColour;
      under.setPixel(x, y, onBody ? background.pixel(at) : EdgeColour);
    }
  return under;
}

QRgb Over(QRgb art, QRgb under) {
  const int rest = 255 - qAlpha(art);
  auto channel = [rest](int top, int bottom) { return top + (bottom * rest + 127) / 255; };
  return qRgb(channel(qRed(art), qRed(under)), channel(qGreen(art), qGreen(under)),
              channel(qBlue(art), qBlue(under)));
}

// Anti-aliased art made opaque, laid over what lies beneath it. With a shape
// (the art's alpha decides), a pixel the shape covers less than half becomes
// the key colour instead, so no edge is blended toward the key (no pink
// fringe). A drawn pixel that happens to be the key colour is moved off it.
QImage Flatten(const QImage& art, const QImage& under, const QImage* shape) {
  QImage flat(art.size(), QImage::Format_RGB32);
  for (int y = 0; y < art.height(); ++y)
    for (int x = 0; x < art.width(); ++x) {
      QRgb result = KeyColour;
      if (!shape || qAlpha(shape->pixel(x, y)) >= 128) {
        result = Over(qPremultiply(art.pixel(x, y)), under.pixel(x, y));
        if (result == KeyColour) result = qRgb(254, 0, 255);
      }
      flat.setPixel(x, y, result);
    }
  return flat;
}

void RequireKeyAtBottomLeft(const QImage& image, const QString& name) {
  if (image.pixel(0, image.height() - 1) != KeyColour)
    Fail(name + ": the bottom-left pixel must be the key colour");
}

// Start, pause and resume take turns in one place.
bool IsConversionButton(const TButton& button) { return QString(button.Name).endsWith("Convert"); }

bool Shows(const QImage& face, const QRect& place, QPoint at) {
  return face.pixel(at - place.topLeft()) != KeyColour;
}

// Buttons' rectangles overlap on the window; their visible parts must not, or
// one key would hide or take the clicks of another.
void RequireNoOverlap(const TBitmaps& bitmaps) {
  for (const TButton& one : Buttons)
    for (const TButton& other : Buttons) {
      if (QString(one.Name) >= QString(other.Name)) continue;
      if (IsConversionButton(one) && IsConversionButton(other)) continue;
      const QRect onePlace(one.Left, one.Top, one.Width, one.Height);
      const QRect otherPlace(other.Left, other.Top, other.Width, other.Height);
      const QRect common = onePlace.intersected(otherPlace);
      for (const TState& a : States)
        for (const TState& b : States)
          for (int y = common.top(); y <= common.bottom(); ++y)
            for (int x = common.left(); x <= common.right(); ++x)
              if (Shows(bitmaps.at(FaceName(one, a.Suffix)), onePlace, {x, y}) &&
                  Shows(bitmaps.at(FaceName(other, b.Suffix)), otherPlace, {x, y}))
                Fail(QString("%1 and %2 both show at %3,%4").arg(one.Name, other.Name).arg(x).arg(y));
    }
}

void AppendLE(QByteArray& bytes, quint32 value, int size) {
  for (int i = 0; i < size; ++i) bytes.append(char((value >> (8 * i)) & 0xFF));
}

// A Windows bitmap, 24 bits per pixel, rows bottom-up padded to 4 bytes.
QByteArray Bmp(const QImage& image) {
  const int rowBytes = (image.width() * 3 + 3) & ~3;
  const quint32 pixelBytes = rowBytes * image.height();
  const quint32 headerBytes = 14 + 40;
  QByteArray bytes("BM");
  AppendLE(bytes, headerBytes + pixelBytes, 4);
  AppendLE(bytes, 0, 4);
  AppendLE(bytes, headerBytes, 4);
  AppendLE(bytes, 40, 4);
  AppendLE(bytes, image.width(), 4);
  AppendLE(bytes, image.height(), 4);
  AppendLE(bytes, 1, 2);   // planes
  AppendLE(bytes, 24, 2);  // bits per pixel
  AppendLE(bytes, 0, 4);   // no compression
  AppendLE(bytes, pixelBytes, 4);
  AppendLE(bytes, 2835, 4);  // 72 dots per inch
  AppendLE(bytes, 2835, 4);
  AppendLE(bytes, 0, 4);
  AppendLE(bytes, 0, 4);
  for (int y = image.height() - 1; y >= 0; --y) {
    for (int x = 0; x < image.width(); ++x) {
      const QRgb pixel = image.pixel(x, y);
      bytes.append(char(qBlue(pixel)));
      bytes.append(char(qGreen(pixel)));
      bytes.append(char(qRed(pixel)));
    }
    bytes.append(QByteArray(rowBytes - image.width() * 3, '\0'));
  }
  return bytes;
}

void WriteFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
    Fail("cannot write " + path);
}

QByteArray SkinFile() {
  QByteArray text = "; Vidora to 3GP: the built-in phone\r\n";
  auto line = [&text](const QString& entry) { text += entry.toUtf8() + "\r\n"; };
  for (const TButton& button : Buttons) {
    line(QString("[%1]").arg(button.Name));
    line(QString("Left=%1").arg(button.Left));
    line(QString("Top=%1").arg(button.Top));
    line(QString("Width=%1").arg(button.Width));
    line(QString("Height=%1").arg(button.Height));
    for (const TState& state : States)
      line(QString("%1=%2.bmp").arg(state.Key, FaceName(button, state.Suffix)));
  }
  for (const TPicture& picture : Pictures) {
    line(QString("[%1]").arg(picture.Name));
    if (picture.Placed) {
      line(QString("Left=%1").arg(InfoPlace.x()));
      line(QString("Top=%1").arg(InfoPlace.y()));
    }
  }
  return text;
}

// --- Pictures to look at; none of them is part of the skin. ---

QImage SeeThrough(const QImage& keyed) {
  QImage image = keyed.convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (image.pixel(x, y) == KeyColour) image.setPixel(x, y, qRgba(0, 0, 0, 0));
  return image;
}

struct TScene {
  const char* State;  // the face shown by every button
  const char* ConvertButton;
  const char* Info;  // picture shown over the video screen, or null
  int Percent;
};

QImage Phone(const QImage& background, const TBitmaps& bitmaps, const TScene& scene) {
  QImage phone = SeeThrough(background);
  QPainter painter(&phone);
  for (int done = 0; done < ProgressBar.width(); ++done) {
    const bool filled = done * 100 < scene.Percent * ProgressBar.width();
    painter.drawImage(ProgressBar.topLeft() + QPoint(done, 0), bitmaps.at(filled ? "ImgT" : "ImgN"));
  }
  QFont font("Liberation Sans");
  font.setPixelSize(11);
  font.setBold(true);
  painter.setFont(font);
  painter.setPen(QColor(200, 204, 210));
  painter.drawText(ProgressLabel, Qt::AlignLeft | Qt::AlignVCenter, QString("%1%").arg(scene.Percent));
  for (const TButton& button : Buttons) {
    if (IsConversionButton(button) && QString(button.Name) != scene.ConvertButton) continue;
    if (button.Left + button.Width > background.width()) continue;
    painter.drawImage(QPoint(button.Left, button.Top), SeeThrough(bitmaps.at(FaceName(button, scene.State))));
  }
  if (scene.Info) painter.drawImage(InfoPlace, bitmaps.at(scene.Info));
  return phone;
}

const QColor Desk(78, 104, 134);

void WritePreview(const QString& folder, const QImage& background, const TBitmaps& bitmaps) {
  const TScene scenes[] = {
      {"up", "btnStartConvert", nullptr, 0},
      {"over", "btnPauseConvert", nullptr, 62},
      {"down", "btnResumeConvert", "ImageInfoEn", 62},
      {"disabled", "btnStartConvert", "ImageInfoPL", 100},
  };
  const int gap = 16;
  QImage sheet(gap + 4 * (background.width() + gap), background.height() + 2 * gap, QImage::Format_RGB32);
  sheet.fill(Desk);
  QPainter painter(&sheet);
  int left = gap;
  for (const TScene& scene : scenes) {
    painter.drawImage(QPoint(left, gap), Phone(background, bitmaps, scene));
    left += background.width() + gap;
  }
  painter.end();
  sheet.save(folder + "/preview.png");
  Phone(background, bitmaps, scenes[0]).scaled(background.size() * 2).save(folder + "/preview-zoom.png");
}

// Every face enlarged (small ones more): first as stored (the key colour
// shown), then each state over what lies beneath it on the window.
int FaceZoom(const TButton& button) { return button.Height <= 20 ? 6 : 2; }

void WriteFacesPreview(const QString& folder, const QImage& background, const TBitmaps& bitmaps) {
  const int gap = 8, column = 140 * 2 + gap;
  int height = gap;
  for (const TButton& button : Buttons) height += button.Height * FaceZoom(button) + gap;
  QImage sheet(gap + 5 * column, height, QImage::Format_RGB32);
  sheet.fill(Desk);
  QPainter painter(&sheet);
  int top = gap;
  for (const TButton& button : Buttons) {
    const QRect place(button.Left, button.Top, button.Width, button.Height);
    const QSize zoomed = place.size() * FaceZoom(button);
    const QImage under = Beneath(background, place);
    painter.drawImage(QPoint(gap, top), bitmaps.at(FaceName(button, "up")).scaled(zoomed));
    int left = gap + column;
    for (const TState& state : States) {
      QImage seen = under.convertToFormat(QImage::Format_ARGB32);
      QPainter(&seen).drawImage(0, 0, SeeThrough(bitmaps.at(FaceName(button, state.Suffix))));
      painter.drawImage(QPoint(left, top), seen.scaled(zoomed));
      left += column;
    }
    top += zoomed.height() + gap;
  }
  painter.end();
  sheet.save(folder + "/preview-faces.png");
}

std::unique_ptr<QSvgRenderer> Load(const QString& path) {
  auto source = std::make_unique<QSvgRenderer>(path);
  if (!source->isValid()) Fail("cannot read " + path);
  return source;
}

QImage Plain(QSize size) {
  QImage image(size, QImage::Format_RGB32);
  image.fill(EdgeColour);
  return image;
}

QImage MakeBackground(QSvgRenderer& source) {
  const QImage art = Render(source, "Background", BackgroundSize);
  const QImage background = Flatten(art, Plain(BackgroundSize), &art);
  RequireKeyAtBottomLeft(background, "Background");
  return background;
}

// Every face of a button takes the shape of its up face, so hovering or
// pressing it never moves the edge of what can be clicked.
TBitmaps MakeFaces(QSvgRenderer& source, const QImage& background) {
  TBitmaps bitmaps;
  for (const TButton& button : Buttons) {
    const QRect place(button.Left, button.Top, button.Width, button.Height);
    const QImage under = Beneath(background, place);
    const QImage shape = Render(source, FaceName(button, "up"), place.size());
    for (const TState& state : States) {
      const QString name = FaceName(button, state.Suffix);
      const QImage face = Flatten(Render(source, name, place.size()), under, button.Opaque ? nullptr : &shape);
      if (!button.Opaque) RequireKeyAtBottomLeft(face, name);
      bitmaps[name] = face;
    }
  }
  RequireNoOverlap(bitmaps);
  return bitmaps;
}

QImage MakePicture(QSvgRenderer& source, const TPicture& picture) {
  const QSize size(picture.Width, picture.Height);
  return Flatten(Render(source, picture.Name, size), Plain(size), nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication application(argc, argv);
  const QStringList args = application.arguments();
  if (args.size() < 3 || args.size() > 4) Fail("usage: vidora_art ART_DIR SKIN_DIR [PREVIEW_DIR]");
  const QString artFolder = args[1], skinFolder = args[2];
  if (!QDir().mkpath(skinFolder)) Fail("cannot make " + skinFolder);
  // Another font would silently take its place and change every text.
  if (!QFontDatabase::hasFamily("Liberation Sans")) Fail("the font Liberation Sans is missing (fonts-liberation)");

  std::map<QString, std::unique_ptr<QSvgRenderer>> sources;
  for (const char* name : {"background.svg", "buttons.svg", "info.svg"})
    sources[name] = Load(artFolder + "/" + name);
  auto write = [&skinFolder](const QString& name, const QImage& image) {
    WriteFile(skinFolder + "/" + name + ".bmp", Bmp(image));
  };

  const QImage background = MakeBackground(*sources["background.svg"]);
  write("Background", background);
  TBitmaps bitmaps = MakeFaces(*sources["buttons.svg"], background);
  for (const TPicture& picture : Pictures)
    bitmaps[picture.Name] = MakePicture(*sources[picture.Source], picture);
  for (const auto& [name, image] : bitmaps) write(name, image);
  WriteFile(skinFolder + "/skin.all", SkinFile());

  if (args.size() == 4) {
    WritePreview(args[3], background, bitmaps);
    WriteFacesPreview(args[3], background, bitmaps);
  }
  return 0;
}
