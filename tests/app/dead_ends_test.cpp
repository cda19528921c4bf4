// The window never strands its user: each test walks into a place where an
// earlier window stuck, and checks that the way on is open.
#include <QAccessible>
#include <QLabel>
#include <QMenu>

#include <algorithm>
#include <fstream>

#include "app/video_panel.h"
#include "skin/image_box.h"
#include "skin/region_button.h"
#include "window_fixture.h"

namespace vidora::app {
namespace {

namespace fs = std::filesystem;

class DeadEndTest : public MainWindowTest {
 protected:
  void ChoosePhone(const QString& name) {
    FWindow->WczytajNazwy();
    for (QAction* item : FWindow->MSkin->actions())
      if (item->data().toString() == name) return item->trigger();
    FAIL() << name.toStdString() << " is not in the phone menu";
  }
  void ConvertToTheEnd() {
    FWindow->btnStartConvertClick();
    ASSERT_TRUE(WaitFor([&] { return !FWindow->Session().Running(); }));
  }
  // What a person can do once a run has ended, whichever way it ended.
  void ExpectUsable(const char* after) {
    SCOPED_TRACE(after);
    EXPECT_TRUE(FWindow->btnAdd->isEnabled());
    EXPECT_TRUE(FWindow->btnAddSub->isEnabled());
    EXPECT_TRUE(FWindow->btnHi->isEnabled() && FWindow->btnLo->isEnabled());
    EXPECT_TRUE(FWindow->btnStartConvert->isVisible());
    EXPECT_FALSE(FWindow->btnStartConvert->isEnabled()) << "the ended job cannot run again";
    EXPECT_FALSE(FWindow->btnPauseConvert->isVisible() || FWindow->btnResumeConvert->isVisible());
  }
  // A key is reachable when a click at its centre lands on it.
  bool Reachable(QWidget* key) {
    QPoint centre = key->mapTo(FWindow.get(), key->rect().center());
    return FWindow->rect().contains(centre) && FWindow->childAt(centre) == key;
  }
  void DoubleClick(QWidget* key) {
    QTest::mouseDClick(FWindow->windowHandle(), Qt::LeftButton, {}, key->mapTo(FWindow.get(), key->rect().center()));
    QTest::qWait(20);
  }
  std::vector<std::string> FolderNames() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(FFolder.Path())) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  QString Label(const char* name) const {
    auto* label = FWindow->findChild<QLabel*>(name);
    return label ? label->text() + "|" + label->toolTip() : QString();
  }
  // The red text over the phone's screen, whole (the screen shows it wrapped).
  std::string Shown() const { return Label("LMessage").section('|', 1).toStdString(); }
};

TEST_F(DeadEndTest, ACancelledDialogKeepsTheFilmAndConvertNeedsOne) {
  EXPECT_FALSE(FWindow->btnStartConvert->isEnabled());
  fs::path clip = Clip("clip.mp4"), noise = Clip("noise.mp4");
  FWindow->ChooseInputFile = [&] { return clip.string(); };
  FWindow->btnAddClick();
  FWindow->ChooseInputFile = [] { return std::string(); };
  FWindow->btnAddClick();
  EXPECT_EQ(FWindow->Session().RunnableJobs(), 1) << "cancelled: the film stays";
  EXPECT_TRUE(FWindow->btnStartConvert->isEnabled());

  FWindow->ChooseInputFile = [&] { return noise.string(); };
  FWindow->btnAddClick();
  EXPECT_EQ(FWindow->Session().RunnableJobs(), 0);
  for (TRegionButton* key : {FWindow->btnStartConvert, FWindow->btnPlay, FWindow->btnPause, FWindow->btnStop})
    EXPECT_FALSE(key->isEnabled()) << key->objectName().toStdString() << " without a film";
}

TEST_F(DeadEndTest, EveryEndLeavesTheWindowUsable) {
  FWindow->AddFile(Clip("clip.mp4").string());
  ConvertToTheEnd();
  ExpectUsable("finished");

  FWindow->AddFile(Clip("grey.mp4").string());
  FWindow->btnStartConvertClick();
  FWindow->btnStopClick();  // the small stop key stops a running conversion
  ASSERT_TRUE(WaitFor([&] { return !FWindow->Session().Running(); }));
  ExpectUsable("stopped");

  // H.263 has no 320x240: the encoder refuses the job when it starts.
  FOptions.Profile.SetField("FrameSize", "320x240");
  FWindow->AddFile(Clip("part1.mp4").string());
  ASSERT_TRUE(FWindow->btnStartConvert->isEnabled());
  ConvertToTheEnd();
  EXPECT_EQ(Shown(), "part1.mp4: the encoder refuses this phone's settings");
  ExpectUsable("failed");
}

TEST_F(DeadEndTest, AfterAConversionTheSmallKeysDriveThePreviewAgain) {
  FWindow->AddFile(Clip("clip.mp4").string());
  ConvertToTheEnd();
  FWindow->AddFile(Clip("grey.mp4").string());
  ASSERT_TRUE(WaitFor([&] { return FWindow->FFPlayer.CurrentPTS() > 100000; }));
  QTest::mouseClick(FWindow->btnPause, Qt::LeftButton, Qt::NoModifier, QPoint(4, 4));
  EXPECT_TRUE(FWindow->FFPlayer.Paused());
}

TEST_F(DeadEndTest, TheInformationViewAndThePhoneMenuLeaveConvertInReach) {
  FWindow->AddFile(Clip("clip.mp4").string());
  QTest::mouseClick(FWindow->btnInfo, Qt::LeftButton, Qt::NoModifier, QPoint(39, 33));
  ASSERT_TRUE(FWindow->ImageInfoEn->isVisible());
  EXPECT_TRUE(Reachable(FWindow->btnStartConvert)) << "in the information view";
  ChoosePhone("Wide320");
  QTest::mouseClick(FWindow->btnInfo, Qt::LeftButton, Qt::NoModifier, FWindow->btnInfo->rect().center());
  EXPECT_TRUE(Reachable(FWindow->btnStartConvert)) << "after i, another phone, i";
}

TEST_F(DeadEndTest, CommandLineSubtitlesNeedTheFilm) {
  fs::path subtitles = FFolder.Path() / "clip.srt";
  std::ofstream(subtitles) << "1\n00:00:00,500 --> 00:00:01,500\nHello\n";
  FWindow->OpenArguments({QString::fromStdString(Clip("noise.mp4").string()), QString::fromStdString(subtitles.string())});
  EXPECT_FALSE(FWindow->btnSubOn->isVisible());
  EXPECT_EQ(Shown(), "noise.mp4: not a video or sound file") << "the film's reason stays";

  FWindow->OpenArguments({QString::fromStdString((FFolder.Path() / "gone.mp4").string())});
  EXPECT_EQ(Shown(), "gone.mp4: there is no such file");
}

TEST_F(DeadEndTest, AFileWithoutCuesIsNotTakenForSubtitles) {
  FWindow->AddFile(Clip("clip.mp4").string());
  fs::path photo = FFolder.Path() / "photo.txt";
  fs::copy_file(std::string(CLIPS_DIR) + "/still.jpg", photo);
  std::ofstream(FFolder.Path() / "notes.txt") << "Buy milk\n12:30 lunch with Anna\n\n1. Call Bob\n{the film starts at 8}\n";
  for (const char* name : {"notes.txt", "photo.txt"}) {
    FWindow->LoadSubtitles((FFolder.Path() / name).string());
    EXPECT_FALSE(FWindow->btnSubOn->isVisible()) << name;
    EXPECT_EQ(Shown(), std::string("no subtitles found in ") + name);
  }
}

TEST_F(DeadEndTest, AtItsEndThePreviewSeeksAndPlaysAgain) {
  FWindow->AddFile(Clip("clip.mp4").string());
  auto atEnd = [&] { return FWindow->FFPlayer.PlayState() == TPlayState::psEnd; };
  ASSERT_TRUE(WaitFor(atEnd, std::chrono::seconds(10)));
  QTest::mouseClick(FWindow->ImageProgress, Qt::LeftButton, Qt::NoModifier, QPoint(45, 6));
  EXPECT_TRUE(WaitFor([&] { return std::abs(FWindow->FFPlayer.CurrentPTS() - 1000000) < 300000; }, std::chrono::seconds(3)))
      << "a third into the bar after the end: " << FWindow->FFPlayer.CurrentPTS();
  // Played on from there at its pace, not raced to the end, and the bar follows.
  QTest::qWait(400);
  EXPECT_LT(FWindow->FFPlayer.CurrentPTS(), 2000000);
  EXPECT_LT(FWindow->ProgressFill(), 90);

  ASSERT_TRUE(WaitFor(atEnd, std::chrono::seconds(10)));
  QTest::mouseClick(FWindow->btnPlay, Qt::LeftButton, Qt::NoModifier, QPoint(20, 16));
  EXPECT_TRUE(WaitFor([&] { return FWindow->FFPlayer.CurrentPTS() < 1000000; }, std::chrono::seconds(3)))
      << "play at the end starts from the start";
  EXPECT_TRUE(WaitFor([&] { return FWindow->FFPlayer.CurrentPTS() > 1200000; }, std::chrono::seconds(5)));
}

TEST_F(DeadEndTest, AnotherPhoneRemakesTheFilmsJob) {
  fs::path clip = Clip("clip.mp4");
  FWindow->AddFile(clip.string());
  ASSERT_TRUE(WaitFor([&] { return FWindow->PanelVideo->LastPicture().height() == 90; }, std::chrono::seconds(5)));
  ChoosePhone("Wide320");
  EXPECT_TRUE(WaitFor([&] { return FWindow->PanelVideo->LastPicture().height() == 150; }, std::chrono::seconds(5)))
      << "the preview fills the larger screen, not " << FWindow->PanelVideo->LastPicture().height();
  ASSERT_TRUE(FWindow->btnStartConvert->isEnabled());
  ConvertToTheEnd();
  std::string made = test::StreamSummary(FWindow->Session().Jobs()[0]->Output);
  EXPECT_TRUE(made.starts_with("mpeg4,320,240\n")) << "the new phone's file, not " << made;
}

TEST_F(DeadEndTest, NothingIsWrittenBeforeConvert) {
  FWindow->AddFile(Clip("clip.mp4").string());
  ASSERT_EQ(FWindow->Session().Jobs().size(), 1u);
  EXPECT_EQ(FWindow->Session().Jobs()[0]->Output, (FFolder.Path() / "clip_(Vidora)_3GP.3gp").string());
  EXPECT_TRUE(Label("LFilmName").contains("clip_(Vidora)_3GP.3gp")) << "the output's name is shown";
  EXPECT_EQ(FolderNames(), std::vector<std::string>{"clip.mp4"});
  FWindow->AddFile(Clip("grey.mp4").string());
  EXPECT_EQ(FolderNames(), (std::vector<std::string>{"clip.mp4", "grey.mp4"})) << "nor when another film replaces it";
  ConvertToTheEnd();
  EXPECT_EQ(FolderNames(), (std::vector<std::string>{"clip.mp4", "grey.mp4", "grey_(Vidora)_3GP.3gp"}));
}

TEST_F(DeadEndTest, ADoubleClickActsOnce) {
  // Both qualities can be chosen before a film is added; this phone has them in reach.
  ChoosePhone("Wide320");
  DoubleClick(FWindow->btnLo);
  EXPECT_TRUE(FWindow->btnLo->Down() && !FWindow->btnHi->Down());
  DoubleClick(FWindow->btnHi);
  EXPECT_TRUE(FWindow->btnHi->Down() && !FWindow->btnLo->Down());

  FWindow->AddFile(Clip("grey.mp4").string());
  DoubleClick(FWindow->btnInfo);
  EXPECT_TRUE(FWindow->ImageInfoEn->isVisible());
  DoubleClick(FWindow->btnInfo);
  EXPECT_FALSE(FWindow->ImageInfoEn->isVisible());

  DoubleClick(FWindow->btnStartConvert);
  EXPECT_TRUE(FWindow->btnPauseConvert->isVisible()) << "started, not paused at once";
  EXPECT_FALSE(FWindow->btnResumeConvert->isVisible());
  EXPECT_TRUE(WaitFor([&] { return !FWindow->Session().Running(); }));
}

}  // namespace
}  // namespace vidora::app

namespace vidora::app {
namespace {

// Whether a label's text fits inside it, line by line.
bool Fits(const QLabel& label) {
  QFontMetrics metrics(label.font());
  QStringList lines = label.text().split(u'\n');
  for (const QString& line : lines)
    if (metrics.horizontalAdvance(line) > label.width()) return false;
  return lines.size() * metrics.lineSpacing() <= label.height();
}

TEST_F(DeadEndTest, ThePhoneNamesTheFilmAndSaysWhatWentWrongInItsScreen) {
  auto* name = FWindow->findChild<QLabel*>("LFilmName");
  auto* message = FWindow->findChild<QLabel*>("LMessage");
  ASSERT_TRUE(name && message);
  const std::string holiday = "Our summer holiday by the lake with the whole family, the long cut.mp4";
  fs::copy_file(std::string(CLIPS_DIR) + "/clip.mp4", FFolder.Path() / holiday);
  FWindow->AddFile((FFolder.Path() / holiday).string());
  EXPECT_TRUE(name->isVisible());
  EXPECT_TRUE(name->text().startsWith("Our sum") && name->text().contains(QChar(0x2026))) << name->text().toStdString();
  EXPECT_TRUE(Fits(*name));
  EXPECT_TRUE(name->toolTip().contains(QString::fromStdString(holiday)));
  EXPECT_FALSE(FWindow->ShowsFailure());

  FWindow->AddFile(Clip("truncated.mp4").string());
  EXPECT_EQ(Shown(), "truncated.mp4: the file is cut short");
  EXPECT_TRUE(name->text().isEmpty()) << "no film loaded";
  // Subtitles alone are refused when added, not after CONVERT.
  FWindow->AddFile(Clip("subtitles_only.mkv").string());
  EXPECT_EQ(Shown(), "subtitles_only.mkv: no picture or sound could be found in it");
  EXPECT_FALSE(FWindow->btnStartConvert->isEnabled());

  std::string noise = "A file that only calls itself a film";
  while (noise.size() < 200) noise += ", and a name far too long for any phone";
  noise += ".mp4";
  fs::copy_file(std::string(CLIPS_DIR) + "/noise.mp4", FFolder.Path() / noise);
  FWindow->AddFile((FFolder.Path() / noise).string());
  EXPECT_EQ(Shown(), noise + ": not a video or sound file");
  EXPECT_TRUE(message->isVisible());
  EXPECT_TRUE(FWindow->PanelVideo->geometry().contains(message->geometry())) << "inside the phone's screen";
  EXPECT_TRUE(Fits(*message)) << message->text().toStdString();
  EXPECT_TRUE(message->text().contains(QChar(0x2026))) << "cut short, whole in the tooltip";
  // Screen readers speak an alert as it appears, and they get it whole.
  QAccessibleInterface* spoken = QAccessible::queryAccessibleInterface(message);
  ASSERT_TRUE(spoken);
  EXPECT_EQ(spoken->role(), QAccessible::AlertMessage);
  EXPECT_EQ(spoken->text(QAccessible::Name).toStdString(), noise + ": not a video or sound file");
}

}  // namespace
}  // namespace vidora::app
