// Skins in the real window: the menu, choosing, loading, and hostile files.
#include <gtest/gtest.h>

#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTest>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

#include "skin/image_box.h"
#include "app/main_window.h"
#include "app/video_panel.h"
#include "options/option_form.h"
#include "options/output_profile.h"
#include "options/settings_store.h"
#include "skin/region_button.h"
#include "skin/skin_values.h"
#include "test_support.h"

namespace vidora::app {
namespace {

namespace fs = std::filesystem;

const char* const ComponentNames[] = {
    "Panel1", "ImageBgn", "LProgress", "ImageProgress", "ImageInfoPL", "ImageInfoEn", "PanelVideo", "Image1",
    "ImgT", "ImgN", "btnAdd", "btnStop", "btnPause", "btnPlay", "btnClose", "btnAddSub", "btnSubOn", "btnInfo",
    "btnMinimize", "btnHi", "btnLo", "btnVol1", "btnVol2", "btnSetup", "btnStartConvert", "btnPauseConvert",
    "btnResumeConvert"};

std::string Text(const QRect& r) {
  return std::to_string(r.x()) + "," + std::to_string(r.y()) + " " + std::to_string(r.width()) + "x" +
         std::to_string(r.height());
}

// Everything a skin can change, as text and pictures.
struct TLook {
  std::vector<std::string> Properties;
  std::vector<QImage> Pictures;
  TOutputProfile Profile;
  bool operator==(const TLook&) const = default;
};

class SkinWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("XDG_DATA_HOME", FData.Str().c_str(), 1);
    FWindow = std::make_unique<TfrmMain>(FOptions, false);
    FWindow->StartWithSkin("Standard");
    FWindow->show();
  }
  void TearDown() override {
    FWindow->close();
    FWindow.reset();
    unsetenv("XDG_DATA_HOME");
  }

  fs::path UserSkin(const std::string& name) {
    fs::path folder = FData.Path() / "vidora3gp" / "Skins" / name;
    fs::create_directories(folder);
    return folder;
  }
  static void Write(const fs::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
  }
  static fs::path OurSkin(const char* name) { return fs::path(SOURCE_DIR) / "skins" / name; }

  QAction* Item(const std::string& name) {
    QList<QAction*> items = FWindow->MSkin->actions();
    for (qsizetype i = 0; i + 2 < items.size(); ++i)
      if (items[i]->data().toString().toStdString() == name) return items[i];
    return nullptr;
  }
  void Choose(const std::string& name) {
    FWindow->WczytajNazwy();
    QAction* item = Item(name);
    ASSERT_TRUE(item) << name << " is not in the menu";
    item->trigger();
  }
  bool Logged(const std::string& text) const {
    for (const std::string& line : FWindow->Log().Lines())
      if (line.find(text) != std::string::npos) return true;
    return false;
  }

  TLook Look() {
    TLook look;
    auto say = [&look](std::string line) { look.Properties.push_back(std::move(line)); };
    say("window " + std::to_string(FWindow->width()) + "x" + std::to_string(FWindow->height()));
    say("MSkin " + FWindow->MSkin->styleSheet().toStdString());
    for (const char* name : ComponentNames) {
      auto* component = FWindow->findChild<QWidget*>(name);
      say(std::string(name) + " " + Text(component->geometry()) + (component->isVisibleTo(FWindow.get()) ? " shown" : " hidden"));
      if (auto* button = qobject_cast<TRegionButton*>(component)) {
        say(button->Caption().toStdString() + " " + std::to_string(static_cast<int>(button->TextPosition())) + " " +
            std::to_string(button->ButtonStyle()) + " " + std::to_string(button->Transparent()) +
            std::to_string(button->GlyphTransparent()) + std::to_string(button->Border()));
        for (const QImage* face : {&button->GlyphUp(), &button->GlyphDown(), &button->GlyphDisable(), &button->GlyphOver()})
          look.Pictures.push_back(*face);
      } else if (auto* image = qobject_cast<TImageBox*>(component)) {
        look.Pictures.push_back(image->Picture());
      } else if (auto* label = qobject_cast<QLabel*>(component)) {
        say(label->font().family().toStdString() + " " + std::to_string(label->font().pointSize()) + " " +
            label->styleSheet().toStdString());
      }
    }
    look.Profile = FOptions.Profile;
    return look;
  }

  test::TTempFolder FData;
  test::TTempFolder FFolder;
  TfrmOption FOptions;
  std::unique_ptr<TfrmMain> FWindow;
};

TEST_F(SkinWindowTest, TheSecondPhoneAndBackRestoresEveryGeometryFaceAndProfileField) {
  const TLook builtIn = Look();
  EXPECT_EQ(builtIn.Properties[0], "window 264x500");
  ASSERT_TRUE(Item("Standard"));
  ASSERT_TRUE(Item("Wide320"));
  EXPECT_TRUE(Item("Standard")->isChecked());
  EXPECT_FALSE(Item("Wide320")->isChecked());
  EXPECT_EQ(FWindow->MSkin->actions().back(), FWindow->GetPhone);

  Choose("Wide320");
  EXPECT_TRUE(FWindow->isVisible());
  EXPECT_EQ(FWindow->size(), QSize(300, 548));
  EXPECT_EQ(FWindow->Panel1->size(), QSize(393, 548)) << "the panel holds the whole phone";
  EXPECT_EQ(FWindow->PanelVideo->geometry(), QRect(50, 117, 200, 150));
  EXPECT_EQ(FWindow->Image1->geometry(), QRect(0, 0, 200, 150)) << "the preview fills the larger screen";
  EXPECT_EQ(FWindow->btnHi->geometry(), QRect(128, 82, 18, 14));
  EXPECT_EQ(FOptions.Profile.FrameSize, "320x240");
  EXPECT_EQ(FOptions.Profile.VideoCodec, "mpeg4");
  EXPECT_TRUE(FWindow->LProgress->styleSheet().contains("#ffb347"));
  EXPECT_TRUE(FWindow->MSkin->styleSheet().contains("background: #253d56; color: #ffb347"));
  EXPECT_TRUE(Item("Wide320")->isChecked());
  EXPECT_FALSE(Item("Standard")->isChecked());
  EXPECT_EQ(SettingsStore(OwnOrganisation, OwnApplication).ReadString("SkinName"), "Wide320");
  EXPECT_NE(Look(), builtIn);

  Choose("Standard");
  const TLook back = Look();
  EXPECT_EQ(back.Properties, builtIn.Properties);
  EXPECT_TRUE(back.Profile == builtIn.Profile);
  EXPECT_TRUE(back.Pictures == builtIn.Pictures) << "every face and picture is the built-in one again";
  EXPECT_EQ(SettingsStore(OwnOrganisation, OwnApplication).ReadString("SkinName"), "Standard");

  // At start-up the stored phone is loaded; "Standard" is already there.
  TfrmOption options;
  TfrmMain started(options, false);
  started.StartWithSkin("Wide320");
  EXPECT_EQ(started.size(), QSize(300, 548));
  EXPECT_EQ(options.Profile.FileExt, "_Wide320.3gp");
}

TEST_F(SkinWindowTest, AFileIsAppliedKeyByKeyAsItIsWritten) {
  fs::path folder = UserSkin("Odd");
  fs::copy_file(OurSkin("Standard") / "ImgT.bmp", folder / "ImgT.bmp");
  fs::create_directories(UserSkin("NotASkin"));
  const QRect setupBefore = FWindow->btnSetup->geometry();
  Write(folder / "skin.all",
        "; no Background.bmp here: the window keeps its background\r\n"
        "[btnAdd]\r\nText=Add\r\na file\r\n\r\nTextPos=1\r\nTextPos=7\r\nFlat=1\r\nLeft=abc\r\nWidth=$30\r\n"
        "[btnMinimize]\r\nHint=Out of the way\r\nfor now\r\nVisible=1\r\n"
        "[btnClose]\r\nTextPos=0\r\nTextPos=3\r\nFlat=0\r\nVisible=0\r\n"
        "[btnPlay]\r\nFlat=1\r\n"
        "[btnSetup]\r\nGlyphUp=missing.bmp\r\nTop=99999\r\nMenuTextColor=$0000FF\r\nMenuColor=dark\r\n"
        "[ImgT]\r\nWidth=50\r\nHeight=50\r\n"
        "[ImageInfoEn]\r\nLeft=3\r\n"
        "[NoSuchComponent]\r\nLeft=5\r\n"
        "[mmoLog]\r\nLeft=5\r\n"
        "[lprogress]\r\nFontSize=12\r\nFontColor=$0000FF\r\nFontName=Liberation Serif\r\n"
        "[Settings]\r\n" +
            ScrambleProfileLine("FileExt=_Odd.3gp,FrameSize=128x96,") + "\r\nFocusColor=$0000FF\r\n");
  Choose("Odd");
  EXPECT_FALSE(Item("NotASkin")) << "a folder without skin.all is no skin";
  EXPECT_TRUE(FWindow->isVisible());
  EXPECT_EQ(FWindow->size(), QSize(264, 500));

  EXPECT_EQ(FWindow->btnAdd->Caption(), "Add\r\na file") << "continued text joined by CR LF, empty lines dropped";
  EXPECT_EQ(FWindow->btnAdd->TextPosition(), TTextPos::tpBelow) << "TextPos=7 changes nothing";
  EXPECT_EQ(FWindow->btnAdd->ButtonStyle(), btFlat);
  EXPECT_EQ(FWindow->btnAdd->geometry(), QRect(30, 354, 48, 63)) << "a malformed Left is skipped";
  EXPECT_TRUE(Logged("Skin Odd: [btnAdd] Left=abc is not a usable number; skipped"));
  EXPECT_TRUE(FWindow->btnAdd->GlyphUp().isNull()) << "a button's section empties its faces";
  EXPECT_EQ(FWindow->btnClose->TextPosition(), TTextPos::tpNone);
  EXPECT_EQ(FWindow->btnClose->ButtonStyle(), btNormal);
  EXPECT_FALSE(FWindow->btnClose->isVisible());
  EXPECT_EQ(FWindow->btnPlay->ButtonStyle(), btSpeedFlat);
  EXPECT_EQ(FWindow->btnSetup->geometry(), setupBefore) << "a place beyond any screen is refused";
  EXPECT_TRUE(Logged("missing.bmp not loaded"));
  EXPECT_TRUE(FWindow->MSkin->styleSheet().contains("background: #1b1e23; color: #ff0000"))
      << "the menu's text colour from the skin, its background the dark default";
  EXPECT_TRUE(Logged("[btnSetup] MenuColor=dark is not a number"));
  EXPECT_EQ(FWindow->ImgT->size(), QSize(1, 12)) << "an image ends at its picture's size";
  EXPECT_EQ(FWindow->ImageInfoEn->x(), 3);
  EXPECT_FALSE(FWindow->ImageInfoEn->Picture().isNull()) << "a missing picture keeps the one shown";
  EXPECT_NE(FWindow->mmoLog->x(), 5) << "only the skinnable components are addressed";
  EXPECT_EQ(FWindow->LProgress->font().pointSize(), 12);
  EXPECT_EQ(FWindow->LProgress->font().family(), "Liberation Serif");
  EXPECT_TRUE(FWindow->LProgress->font().bold());
  EXPECT_TRUE(FWindow->LProgress->styleSheet().contains("#ff0000"));
  EXPECT_EQ(FOptions.Profile.FrameSize, "128x96");
  EXPECT_FALSE(FOptions.Profile.AudioSampleRate) << "a profile replaces the whole profile";
  EXPECT_EQ(FWindow->btnMinimize->toolTip(), "Out of the way\nfor now") << "the skin's hint is the tooltip";
  EXPECT_EQ(FWindow->btnAdd->toolTip(), "Add a film to convert (Ctrl+O)") << "ours where the skin gives none";
  EXPECT_EQ(FWindow->btnAdd->FocusColour(), QColor(255, 0, 0));
  Choose("Standard");
  EXPECT_EQ(FWindow->btnMinimize->toolTip(), "Minimise the window") << "the hint went with its skin";
  EXPECT_EQ(FWindow->btnAdd->FocusColour(), QColor(DefaultFocusColour)) << "and so did the ring's colour";

  // A skin whose folder went away after the menu was filled: the name is kept, nothing changes.
  fs::path gone = UserSkin("Gone");
  Write(gone / "skin.all", "[btnAdd]\r\nLeft=1\r\n");
  FWindow->WczytajNazwy();
  fs::remove_all(gone);
  TLook before = Look();
  Item("Gone")->trigger();
  EXPECT_EQ(SettingsStore(OwnOrganisation, OwnApplication).ReadString("SkinName"), "Gone");
  EXPECT_TRUE(Look() == before);
}

// A key drawn off the phone's body can be neither seen nor clicked.
TEST_F(SkinWindowTest, EveryKeyOfOurPhonesLiesOnTheBody) {
  for (const char* phone : {"Standard", "Wide320"}) {
    Choose(phone);
    const QRegion body = FWindow->mask();
    for (auto* button : FWindow->findChildren<TRegionButton*>()) {
      QRegion off = button->mask().translated(button->mapTo(FWindow.get(), QPoint(0, 0))).subtracted(body);
      EXPECT_TRUE(off.isEmpty()) << phone << " " << button->objectName().toStdString() << " off the body at "
                                 << Text(off.boundingRect());
    }
  }
}

TEST_F(SkinWindowTest, TheChosenPhonesProfileMakesTheNextFile) {
  Choose("Wide320");
  fs::path clip = FFolder.Path() / "clip.mp4";
  fs::copy_file(std::string(CLIPS_DIR) + "/clip.mp4", clip);
  FWindow->AddFile(clip.string());
  ASSERT_TRUE(FWindow->btnStartConvert->isEnabled()) << FWindow->LProgress->text().toStdString();
  FWindow->btnStartConvertClick();
  auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!FWindow->btnAdd->isEnabled() && std::chrono::steady_clock::now() < end) QTest::qWait(5);
  ASSERT_TRUE(FWindow->btnAdd->isEnabled());
  EXPECT_EQ(test::StreamSummary(FFolder.Path() / "clip_(Vidora)_Wide320.3gp"), "mpeg4,320,240\naac,22050,2\n");
}

// Every phone shipped in the tree loads whole: no key or picture refused,
// every shown key has its face, and its profile can make a file.
TEST_F(SkinWindowTest, EveryShippedPhoneLoadsWhole) {
  int phones = 0;
  for (const auto& entry : fs::directory_iterator(fs::path(SOURCE_DIR) / "skins")) {
    const std::string name = entry.path().filename().string();
    SCOPED_TRACE(name);
    Choose(name);
    ++phones;
    EXPECT_FALSE(Logged("Skin " + name + ":"));
    for (const char* component : ComponentNames) {
      auto* button = FWindow->findChild<TRegionButton*>(component);
      if (button && button->isVisibleTo(FWindow.get())) {
        EXPECT_FALSE(button->GlyphUp().isNull()) << component;
      }
    }
    EXPECT_EQ(FOptions.Profile.Refusal, "");
    EXPECT_NO_THROW(FOptions.Profile.GetOutputOptions("clip.mp4", false));
  }
  EXPECT_GE(phones, 2);
}

// A bitmap header that claims width x height and holds no pixels.
std::string BitmapHeader(int width, int height) {
  std::string bytes = "BM";
  auto put = [&bytes](uint32_t value, int size) {
    for (int i = 0; i < size; ++i) bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
  };
  put(54, 4), put(0, 4), put(54, 4), put(40, 4), put(width, 4), put(height, 4), put(1, 2), put(24, 2);
  put(0, 4), put(0, 4), put(2835, 4), put(2835, 4), put(0, 4), put(0, 4);
  return bytes;
}

TEST_F(SkinWindowTest, TwoHundredBrokenSkinsNeverCrashHideOrOutgrowTheScreen) {
  std::ifstream source(OurSkin("Wide320") / "skin.all", std::ios::binary);
  const std::string description((std::istreambuf_iterator<char>(source)), {});
  fs::path whole = UserSkin("Broken");
  for (const auto& entry : fs::directory_iterator(OurSkin("Wide320")))
    if (entry.path().extension() == ".bmp") fs::copy_file(entry.path(), whole / entry.path().filename());
  fs::path bare = UserSkin("Bare");
  fs::path huge = UserSkin("Huge");
  for (const char* name : {"ImageBgn.bmp", "ImgT.bmp", "btnAdd_up.bmp"}) Write(huge / name, BitmapHeader(20000, 20000));
  const QSize screen = FWindow->screen()->availableGeometry().size();
  QImage beyondTheScreen(screen + QSize(10, 10), QImage::Format_RGB32);
  beyondTheScreen.fill(Qt::darkGray);
  ASSERT_TRUE(beyondTheScreen.save(QString::fromStdString((huge / "Background.bmp").string())));
  Write(huge / "skin.all", "[btnAdd]\r\nGlyphUp=btnAdd_up.bmp\r\n[ImgT]\r\n[ImageBgn]\r\n[Settings]\r\n" +
                               ScrambleProfileLine("FileExt=_Huge.3gp,") + "\r\n");
  Write(bare / "skin.all", description);

  std::mt19937 random(20261209);
  const char* const hugeNumbers[] = {"$7FFFFFFF", "-2147483648", "99999999999", "$FFFFFFFF", "-$8000", "8192"};
  for (int round = 0; round < 200; ++round) {
    std::string name = "Broken", text = description;
    switch (round % 5) {
      case 0:  // cut anywhere
        text.resize(random() % text.size());
        break;
      case 1:  // noise
        for (char& c : text) c = static_cast<char>(random());
        break;
      case 2:  // every number made huge or negative
        for (size_t equals = text.find('='); equals != std::string::npos; equals = text.find('=', equals + 1)) {
          size_t end = text.find('\r', equals);
          if (end != std::string::npos && end > equals + 1 && std::isdigit(static_cast<unsigned char>(text[equals + 1])))
            text.replace(equals + 1, end - equals - 1, hugeNumbers[random() % std::size(hugeNumbers)]);
        }
        break;
      case 3:  // no pictures at all
        name = "Bare";
        break;
      default:  // pictures of 20000x20000
        name = "Huge";
        break;
    }
    if (name == "Broken") Write(whole / "skin.all", text);
    Choose(name);
    ASSERT_TRUE(FWindow->isVisible()) << "round " << round;
    ASSERT_LE(FWindow->width(), screen.width()) << "round " << round;
    ASSERT_LE(FWindow->height(), screen.height()) << "round " << round;
  }
  EXPECT_TRUE(Logged("Background.bmp not loaded (larger than"));
  Choose("Standard");
  EXPECT_EQ(FWindow->size(), QSize(264, 500));

  // A phone that does not say what it plays is refused whole: the phone stays, and says why.
  const QRect add = FWindow->btnAdd->geometry();
  for (const std::string& line : {std::string(), "[Settings]\r\n" + ScrambleProfileLine("AudioBitRate=lots") + "\r\n"}) {
    Write(whole / "skin.all", "[btnAdd]\r\nLeft=1\r\n" + line);
    Choose("Broken");
    EXPECT_EQ(FWindow->btnAdd->geometry(), add);
    EXPECT_TRUE(Item("Standard")->isChecked());
    EXPECT_EQ(FOptions.Profile, TOutputProfile());
    EXPECT_NE(FWindow->LMessage->toolTip().toStdString().find("Broken cannot be used"), std::string::npos);
  }
}

}  // namespace
}  // namespace vidora::app
