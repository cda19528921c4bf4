// Renders our phones from the vector sources of this folder into the 24-bit
// bitmaps and the description (skin.all) of their skin folders: "Standard",
// the built-in look, and "Wide320", a phone with a 320x240 screen. Every
// picture is drawn a second time at twice the size for screens scaled 200 %
// ("<name>@2x.png"), and the background once more at both sizes with its
// anti-aliased edge kept as alpha ("BackgroundSoft.png", "BackgroundSoft@2x.png")
// for desktops that composite translucent windows.
// Usage: vidora_art ART_DIR SKINS_DIR [PREVIEW_DIR]
// With PREVIEW_DIR it also writes pictures of each result to look at:
// <phone>-preview.png (the phone in four situations), <phone>-zoom.png (at
// twice its size) and <phone>-faces.png (every face of every button).
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "options/output_profile.h"

namespace {

struct TButton {
  const char* Name;
  int Left, Top, Width, Height;
};

// Drawn over a copy of the background, with no key colour.
bool IsOpaque(const QString& button) { return button == "btnStop" || button == "btnPause"; }
// The keys whose showing the program decides (subtitles loaded, converting).
bool ShownByTheProgram(const QString& button) {
  return button == "btnSubOn" || button.endsWith("Convert");
}

// Where the built-in phone has each button: the key deck below the screen,
// the quality pair under the maker's name, minimise at the top right and the
// volume rocker on the left edge, every key on the 264-pixel body.
const std::vector<TButton> StandardButtons = {
    {"btnAdd", 30, 354, 44, 63},
    {"btnStop", 97, 390, 9, 9},
    {"btnPause", 157, 390, 8, 9},
    {"btnPlay", 110, 379, 42, 32},
    {"btnClose", 145, 399, 83, 68},
    {"btnAddSub", 189, 357, 44, 60},
    {"btnSubOn", 215, 365, 14, 12},
    {"btnInfo", 36, 399, 78, 67},
    {"btnMinimize", 214, 25, 14, 12},
    {"btnHi", 111, 77, 18, 14},
    {"btnLo", 134, 77, 18, 14},
    {"btnVol1", 8, 174, 5, 20},
    {"btnVol2", 8, 150, 5, 20},
    {"btnSetup", 94, 439, 75, 32},
    {"btnStartConvert", 62, 267, 139, 27},
    {"btnPauseConvert", 62, 267, 140, 27},
    {"btnResumeConvert", 62, 267, 140, 27},
};

// The second phone: the built-in key deck moved by 18,25, the conversion
// keys under its larger screen, and every other key within reach.
std::vector<TButton> Wide320Buttons() {
  std::vector<TButton> buttons;
  for (TButton button : StandardButtons) {
    const QString name = button.Name;
    if (name.endsWith("Convert")) {
      button.Left = 80, button.Top = 317;
    } else if (name == "btnMinimize") {
      button.Left = 262, button.Top = 22;
    } else if (name == "btnHi" || name == "btnLo") {
      button.Left = name == "btnHi" ? 128 : 151, button.Top = 82;
    } else if (name == "btnVol1" || name == "btnVol2") {
      button.Left = 8, button.Top = name == "btnVol2" ? 150 : 174;
    } else {
      button.Left += 18, button.Top += 25;
    }
    buttons.push_back(button);
  }
  return buttons;
}

struct TLook {
  const char* Folder;      // the skin's name
  const char* Source;      // of the background
  QSize BackgroundSize;
  std::vector<TButton> Buttons;
  QPoint InfoPlace;
  QRect VideoScreen;
  QRect ProgressLabel;
  QRect ProgressBar;
  const char* LabelFont;
  QRgb LabelColour;
  QRgb MenuColour, MenuTextColour;  // of the phone menu under btnSetup
  const char* Profile;  // the profile line, before scrambling
};

const TLook Looks[] = {
    {"Standard", "background.svg", {264, 500}, StandardButtons, {52, 131}, {52, 131, 160, 90}, {63, 231, 76, 13},
     {62, 246, 139, 12}, "Tahoma", qRgb(192, 192, 192), qRgb(0x1b, 0x1e, 0x23), qRgb(0xe4, 0xe8, 0xed),
     "FileExt=_3GP.3gp,AudioChannels=1,AudioSampleRate=8000,AudioBitRate=12200,FrameSize=176x144,VideoBitrate=150000,"},
    {"Wide320", "background_wide320.svg", {300, 548}, Wide320Buttons(), {70, 117}, {50, 117, 200, 150},
     {58, 276, 76, 13}, {80, 294, 139, 12}, "Liberation Sans", qRgb(255, 179, 71), qRgb(0x25, 0x3d, 0x56), qRgb(0xff, 0xb3, 0x47),
     "FileExt=_Wide320.3gp,VideoCodec=mpeg4,FrameSize=320x240,FrameRate=25,VideoBitrate=384000,AudioCodec=aac,"
     "AudioSampleRate=22050,AudioChannels=2,AudioBitRate=64000,"},
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


// Pixels of exactly this colour are see-through and click-through.
const QRgb KeyColour = qRgb(255, 0, 255);
// What a half-covered edge pixel is laid over where no background lies beneath.
const QRgb EdgeColour = qRgb(22, 24, 28);

using TBitmaps = std::map<QString, QImage>;  // by file name, without ".bmp"

// The sizes drawn: the skin's own pixels, and twice as many for 200 %.
const int Scales[] = {1, 2};

[[noreturn]] void Fail(const QString& message) {
  std::fprintf(stderr, "vidora_art: %s\n", qPrintable(message));
  std::exit(1);
}

QString FaceName(const TButton& button, const char* state) {
  return QString("%1_%2").arg(button.Name, state);
}

// The element drawn at its exact size times `scale`. Its extent in the source
// must be that size, so that at 1x nothing is scaled and every edge falls
// where it was drawn.
QImage Render(QSvgRenderer& source, const QString& id, QSize size, int scale) {
  if (!source.elementExists(id)) Fail(id + " is missing from the source");
  const QRectF bounds = source.boundsOnElement(id);
  if (bounds.size() != QSizeF(size))
    Fail(QString("%1 is %2x%3 in the source, not %4x%5")
             .arg(id).arg(bounds.width()).arg(bounds.height()).arg(size.width()).arg(size.height()));
  QImage art(size * scale, QImage::Format_ARGB32_Premultiplied);
  art.fill(Qt::transparent);
  QPainter painter(&art);
  source.render(&painter, id, QRectF(QPointF(0, 0), QSizeF(size * scale)));
  return art;
}

// What lies under `place` on the window: the background (drawn at `scale`)
// where it has a body, the edge colour elsewhere.
QImage Beneath(const QImage& background, const QRect& place, int scale) {
  QImage under(place.size() * scale, QImage::Format_RGB32);
  for (int y = 0; y < under.height(); ++y)
    for (int x = 0; x < under.width(); ++x) {
      const QPoint at = place.topLeft() * scale + QPoint(x, y);
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
void RequireNoOverlap(const TLook& look, const TBitmaps& bitmaps) {
  for (const TButton& one : look.Buttons)
    for (const TButton& other : look.Buttons) {
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

QString Integer(int value) { return QString::number(value); }

// "$BBGGRR": the skin format's colour, red in the low byte.
QString Colour(QRgb colour) {
  const int value = qRed(colour) | qGreen(colour) << 8 | qBlue(colour) << 16;
  return QStringLiteral("$%1").arg(value, 6, 16, QChar(u'0')).toUpper();
}

// Everything a skin can set, so that choosing this phone after another one
// brings it back completely.
QByteArray SkinFile(const TLook& look) {
  QByteArray text = QString("; Vidora to 3GP: the phone \"%1\"\r\n").arg(look.Folder).toUtf8();
  auto line = [&text](const QString& entry) { text += entry.toUtf8() + "\r\n"; };
  auto place = [&line](const QRect& rect, bool withSize) {
    line("Left=" + Integer(rect.left()));
    line("Top=" + Integer(rect.top()));
    if (!withSize) return;
    line("Width=" + Integer(rect.width()));
    line("Height=" + Integer(rect.height()));
  };
  line("[Settings]");
  text += QByteArray::fromStdString(vidora::ScrambleProfileLine(look.Profile)) + "\r\n";  // 8-bit, as it is
  for (const TButton& button : look.Buttons) {
    const QString name = button.Name;
    line("[" + name + "]");
    place(QRect(button.Left, button.Top, button.Width, button.Height), true);
    for (const TState& state : States) line(QString("%1=%2.bmp").arg(state.Key, FaceName(button, state.Suffix)));
    line("Text=");
    line("TextPos=3");
    line("Flat=0");
    line("Border=0");
    line("Transparent=" + Integer(!IsOpaque(name)));
    line("GlyphTransparent=" + Integer(!IsOpaque(name) && name != "btnInfo"));
    if (!ShownByTheProgram(name)) line("Visible=1");
    if (name == "btnSetup") {
      line(QStringLiteral("MenuColor=") + Colour(look.MenuColour));
      line(QStringLiteral("MenuTextColor=") + Colour(look.MenuTextColour));
    }
  }
  for (const TPicture& picture : Pictures) {
    line(QString("[%1]").arg(picture.Name));
    if (picture.Placed) place(QRect(look.InfoPlace, QSize()), false);
  }
  line("[ImageProgress]");
  place(look.ProgressBar, false);
  line("[PanelVideo]");
  place(look.VideoScreen, true);
  line("[LProgress]");
  place(look.ProgressLabel, false);
  line(QString("FontName=") + look.LabelFont);
  line("FontSize=8");
  line(QStringLiteral("FontColor=") + Colour(look.LabelColour));
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

QImage Phone(const TLook& look, const QImage& background, const TBitmaps& bitmaps, const TScene& scene) {
  QImage phone = SeeThrough(background);
  QPainter painter(&phone);
  for (int done = 0; done < look.ProgressBar.width(); ++done) {
    const bool filled = done * 100 < scene.Percent * look.ProgressBar.width();
    painter.drawImage(look.ProgressBar.topLeft() + QPoint(done, 0), bitmaps.at(filled ? "ImgT" : "ImgN"));
  }
  QFont font("Liberation Sans");
  font.setPixelSize(11);
  font.setBold(true);
  painter.setFont(font);
  painter.setPen(QColor(look.LabelColour));
  painter.drawText(look.ProgressLabel, Qt::AlignLeft | Qt::AlignVCenter, QString("%1%").arg(scene.Percent));
  for (const TButton& button : look.Buttons) {
    if (IsConversionButton(button) && QString(button.Name) != scene.ConvertButton) continue;
    painter.drawImage(QPoint(button.Left, button.Top), SeeThrough(bitmaps.at(FaceName(button, scene.State))));
  }
  if (scene.Info) painter.drawImage(look.InfoPlace, bitmaps.at(scene.Info));
  return phone;
}

const QColor Desk(78, 104, 134);

void WritePreview(const QString& folder, const TLook& look, const QImage& background, const TBitmaps& bitmaps) {
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
    painter.drawImage(QPoint(left, gap), Phone(look, background, bitmaps, scene));
    left += background.width() + gap;
  }
  painter.end();
  sheet.save(QString("%1/%2-preview.png").arg(folder, look.Folder));
  Phone(look, background, bitmaps, scenes[0]).scaled(background.size() * 2).save(QString("%1/%2-zoom.png").arg(folder, look.Folder));
}

// Every face enlarged (small ones more): first as stored (the key colour
// shown), then each state over what lies beneath it on the window.
int FaceZoom(const TButton& button) { return button.Height <= 20 ? 6 : 2; }

void WriteFacesPreview(const QString& folder, const TLook& look, const QImage& background, const TBitmaps& bitmaps) {
  const int gap = 8, column = 140 * 2 + gap;
  int height = gap;
  for (const TButton& button : look.Buttons) height += button.Height * FaceZoom(button) + gap;
  QImage sheet(gap + 5 * column, height, QImage::Format_RGB32);
  sheet.fill(Desk);
  QPainter painter(&sheet);
  int top = gap;
  for (const TButton& button : look.Buttons) {
    const QRect place(button.Left, button.Top, button.Width, button.Height);
    const QSize zoomed = place.size() * FaceZoom(button);
    const QImage under = Beneath(background, place, 1);
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
  sheet.save(QString("%1/%2-faces.png").arg(folder, look.Folder));
}

std::unique_ptr<QSvgRenderer> Load(const QString& path) {
  auto source = std::make_unique<QSvgRenderer>(path);
  if (!source->isValid()) Fail("cannot read " + path);
  return source;
}

// The words on the conversion keys in Polish. A window speaking Polish takes
// these faces ("<face>.pl.bmp") where a skin has them; the shapes are the same.
const std::pair<const char*, const char*> PolishWords[] = {
    {">CONVERT</text>", ">KONWERTUJ</text>"},
    {">PAUSE</text>", ">PAUZA</text>"},
    {">RESUME</text>", ">WZNÓW</text>"},
};

std::unique_ptr<QSvgRenderer> LoadPolish(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) Fail("cannot read " + path);
  QString text = QString::fromUtf8(file.readAll());
  for (const auto& [english, polish] : PolishWords) {
    if (!text.contains(english)) Fail(QString("%1 has no %2").arg(path, english));
    text.replace(english, QString::fromUtf8(polish));
  }
  auto source = std::make_unique<QSvgRenderer>(text.toUtf8());
  if (!source->isValid()) Fail("cannot read the Polish " + path);
  return source;
}

QImage Plain(QSize size) {
  QImage image(size, QImage::Format_RGB32);
  image.fill(EdgeColour);
  return image;
}

struct TBackground {
  QImage Keyed;  // opaque, the key colour where less than half is covered
  QImage Soft;   // the art itself, its edge anti-aliased in the alpha channel
};

TBackground MakeBackground(QSvgRenderer& source, const TLook& look, int scale) {
  const QImage art = Render(source, "Background", look.BackgroundSize, scale);
  const QImage background = Flatten(art, Plain(art.size()), &art);
  RequireKeyAtBottomLeft(background, "Background");
  return {background, art};
}

// Every face of a button takes the shape of its up face, so hovering or
// pressing it never moves the edge of what can be clicked. With `only`, just
// the buttons it names.
TBitmaps MakeFaces(QSvgRenderer& source, const TLook& look, const QImage& background, int scale,
                   bool (*only)(const TButton&) = nullptr) {
  TBitmaps bitmaps;
  for (const TButton& button : look.Buttons) {
    if (only && !only(button)) continue;
    const bool opaque = IsOpaque(button.Name);
    const QRect place(button.Left, button.Top, button.Width, button.Height);
    const QImage under = Beneath(background, place, scale);
    const QImage shape = Render(source, FaceName(button, "up"), place.size(), scale);
    for (const TState& state : States) {
      const QString name = FaceName(button, state.Suffix);
      const QImage face = Flatten(Render(source, name, place.size(), scale), under, opaque ? nullptr : &shape);
      if (!opaque) RequireKeyAtBottomLeft(face, name);
      bitmaps[name] = face;
    }
  }
  // The faces' shapes are checked where the window takes them from.
  if (scale == 1 && !only) RequireNoOverlap(look, bitmaps);
  return bitmaps;
}

QImage MakePicture(QSvgRenderer& source, const TPicture& picture, int scale) {
  const QSize size(picture.Width, picture.Height);
  return Flatten(Render(source, picture.Name, size, scale), Plain(size * scale), nullptr);
}

// PNG at full compression: the same pixels in a fraction of a bitmap's bytes.
void WritePng(const QString& path, const QImage& image) {
  QImageWriter writer(path, "png");
  writer.setQuality(0);
  if (!writer.write(image)) Fail("cannot write " + path + ": " + writer.errorString());
}

}  // namespace

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication application(argc, argv);
  const QStringList args = application.arguments();
  if (args.size() < 3 || args.size() > 4) Fail("usage: vidora_art ART_DIR SKINS_DIR [PREVIEW_DIR]");
  const QString artFolder = args[1];
  // Another font would silently take its place and change every text.
  if (!QFontDatabase::hasFamily("Liberation Sans")) Fail("the font Liberation Sans is missing (fonts-liberation)");

  std::map<QString, std::unique_ptr<QSvgRenderer>> sources;
  for (const char* name : {"buttons.svg", "info.svg"}) sources[name] = Load(artFolder + "/" + name);
  const auto polishButtons = LoadPolish(artFolder + "/buttons.svg");
  for (const TLook& look : Looks) {
    const QString skinFolder = args[2] + "/" + look.Folder;
    if (!QDir().mkpath(skinFolder)) Fail("cannot make " + skinFolder);
    const auto backgroundSource = Load(artFolder + "/" + look.Source);
    for (int scale : Scales) {
      // 1x: the skin's bitmaps as every version of the program reads them.
      const QString suffix = scale == 1 ? QString() : QString("@%1x").arg(scale);
      auto write = [&skinFolder, &suffix](const QString& name, const QImage& image) {
        if (suffix.isEmpty())
          WriteFile(skinFolder + "/" + name + ".bmp", Bmp(image));
        else
          WritePng(skinFolder + "/" + name + suffix + ".png", image);
      };
      const TBackground background = MakeBackground(*backgroundSource, look, scale);
      write("Background", background.Keyed);
      WritePng(skinFolder + "/BackgroundSoft" + suffix + ".png", background.Soft);
      TBitmaps bitmaps = MakeFaces(*sources["buttons.svg"], look, background.Keyed, scale);
      for (const TPicture& picture : Pictures)
        bitmaps[picture.Name] = MakePicture(*sources[picture.Source], picture, scale);
      for (const auto& [name, image] : bitmaps) write(name, image);
      for (const auto& [name, image] : MakeFaces(*polishButtons, look, background.Keyed, scale, IsConversionButton))
        write(name + ".pl", image);
      // The bar's slot: what the bar is drawn over.
      QImage slot(look.ProgressBar.size() * scale, QImage::Format_RGB32);
      slot.fill(qRgb(1, 2, 3));
      write("ImageProgress", slot);
      if (scale == 1 && args.size() == 4) {
        WritePreview(args[3], look, background.Keyed, bitmaps);
        WriteFacesPreview(args[3], look, background.Keyed, bitmaps);
      }
    }
    WriteFile(skinFolder + "/skin.all", SkinFile(look));
  }
  return 0;
}
