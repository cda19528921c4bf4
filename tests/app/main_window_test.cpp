// The real window, driven on the offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QSettings>
#include <QTest>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "skin/image_box.h"
#include "app/main_window.h"
#include "app/preview_window.h"
#include "app/qt_hand_over.h"
#include "app/translations.h"
#include "app/video_panel.h"
#include "http_test_server.h"
#include "options/option_form.h"
#include "options/settings_store.h"
#include "update/update_rules.h"
#include "skin/region_button.h"
#include "test_support.h"
#include "window_fixture.h"

namespace vidora::app {
namespace {

namespace fs = std::filesystem;
using test::StreamSummary;

TEST_F(MainWindowTest, AConversionReachesOneHundredPercentOnlyAtItsEnd) {
  fs::path clip = Clip("clip.mp4");
  FWindow->AddFile(clip.string());
  ASSERT_TRUE(FWindow->btnStartConvert->isEnabled()) << FWindow->LProgress->text().toStdString();
  EXPECT_TRUE(Logged("***File has been added to convert list."));
  EXPECT_EQ(FWindow->Session().RunnableJobs(), 1);
  EXPECT_TRUE(FWindow->btnAddSub->isEnabled());
  EXPECT_FALSE(FWindow->btnLo->isEnabled()) << "the quality not chosen is disabled";

  QTest::mouseClick(FWindow->btnStartConvert, Qt::LeftButton, Qt::NoModifier, QPoint(60, 13));
  EXPECT_FALSE(FWindow->btnAdd->isEnabled());
  EXPECT_TRUE(FWindow->btnPauseConvert->isVisible());
  EXPECT_EQ(FWindow->windowTitle(), QString::fromUtf8("0 % – clip.mp4"));
  bool earlyHundred = false;
  ASSERT_TRUE(WaitFor([&] {
    if (!FWindow->btnAdd->isEnabled() && FWindow->LProgress->text().contains("100%")) earlyHundred = true;
    return FWindow->btnAdd->isEnabled();
  }));
  EXPECT_FALSE(earlyHundred) << "100% is shown by the end, not by a progress report";
  EXPECT_FALSE(FWindow->btnStartConvert->isEnabled());
  EXPECT_TRUE(FWindow->btnStartConvert->isVisible());
  EXPECT_EQ(FWindow->ProgressFill(), 135);
  EXPECT_EQ(StreamSummary(FFolder.Path() / "clip_(Vidora)_3GP.3gp"), "h263,176,144\namr_nb,8000,1\n");

  // The end names the file, within the bar's width, and Enter or a click opens its folder.
  EXPECT_EQ(FWindow->windowTitle(), "VidoraTo3GP");
  EXPECT_TRUE(FWindow->LProgress->text().startsWith("Done: clip_(Vidora)")) << FWindow->LProgress->text().toStdString();
  EXPECT_LE(FWindow->LProgress->geometry().right(), FWindow->ImageProgress->geometry().right());
  std::vector<QUrl> opened;
  FWindow->UrlOpener.Open = [&](const QUrl& url) { opened.push_back(url); };
  QTest::keyClick(FWindow->focusWidget(), Qt::Key_Return);
  QTest::mouseClick(FWindow->LProgress, Qt::LeftButton, Qt::NoModifier, QPoint(4, 4));
  QUrl folder = QUrl::fromLocalFile(QString::fromStdString(FFolder.Str()));
  EXPECT_EQ(opened, std::vector<QUrl>({folder, folder}));
  FWindow->AddFile(clip.string());
  QTest::mouseClick(FWindow->LProgress, Qt::LeftButton, Qt::NoModifier, QPoint(4, 4));
  EXPECT_EQ(opened.size(), 2u) << "a new film's label opens nothing";
}

// The file's bytes with the creation and modification times of its movie,
// track and media headers zeroed: all that two runs may differ in.
std::string WithoutTimes(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  for (const char* box : {"mvhd", "tkhd", "mdhd"})
    for (size_t at = bytes.find(box); at != std::string::npos; at = bytes.find(box, at + 4))
      if (at + 16 <= bytes.size() && bytes[at + 4] == 0) std::fill_n(bytes.begin() + at + 8, 8, '\0');
  return bytes;
}

TEST_F(MainWindowTest, TheWindowAndTheConverterWriteTheSameFile) {
  fs::path clip = Clip("clip.mp4");
  fs::path subtitles = FFolder.Path() / "clip.srt";
  std::ofstream(subtitles) << "1\n00:00:00,500 --> 00:00:02,500\nThe same words\n";
  FWindow->AddFile(clip.string());
  FWindow->LoadSubtitles(subtitles.string());
  FWindow->btnStartConvertClick();
  ASSERT_TRUE(WaitFor([&] { return FWindow->btnAdd->isEnabled(); }));

  fs::path again = FFolder.Path() / "again";
  fs::create_directory(again);
  fs::copy_file(clip, again / "clip.mp4");
  test::CommandOutput("XDG_CONFIG_HOME='" + FFolder.Str() + "' " + CLI_PATH + " -q '" + (again / "clip.mp4").string() +
                      "' '" + subtitles.string() + "'");
  std::string fromWindow = WithoutTimes(FFolder.Path() / "clip_(Vidora)_3GP.3gp");
  ASSERT_GT(fromWindow.size(), 1000u);
  EXPECT_TRUE(fromWindow == WithoutTimes(again / "clip_(Vidora)_3GP.3gp"));
}

// Pixels of the bottom third of what the preview shows that stand out from
// the clip's mid grey: the subtitle's letters and their outline.
int MarkedBelow(const QImage& picture) {
  int marked = 0;
  for (int y = picture.height() * 2 / 3; y < picture.height(); ++y)
    for (int x = 0; x < picture.width(); ++x) marked += std::abs(qGray(picture.pixel(x, y)) - 128) > 40;
  return marked;
}

TEST_F(MainWindowTest, ThePreviewShowsTheSubtitlesWhileBurnInIsOn) {
  fs::path subtitles = FFolder.Path() / "grey.srt";
  std::ofstream(subtitles) << "1\n00:00:00,000 --> 00:00:04,000\nSeen in the preview\n";
  FWindow->AddFile(Clip("grey.mp4").string());
  FWindow->LoadSubtitles(subtitles.string());
  ASSERT_TRUE(WaitFor([&] { return MarkedBelow(FWindow->PanelVideo->LastPicture()) > 20; }, std::chrono::seconds(10)))
      << "the cue is drawn over the preview";
  QTest::mouseClick(FWindow->btnSubOn, Qt::LeftButton, Qt::NoModifier, QPoint(4, 4));
  QTest::qWait(50);
  FWindow->FFPlayer.Seek(1000000);  // a fresh picture, even after the preview's end
  EXPECT_TRUE(WaitFor([&] { return MarkedBelow(FWindow->PanelVideo->LastPicture()) == 0; }, std::chrono::seconds(10)))
      << "and not once burn-in is off";
}

TEST_F(MainWindowTest, PauseHoldsTheOutputStill) {
  fs::path clip = Clip("grey.mp4");
  FWindow->AddFile(clip.string());
  fs::path output = FFolder.Path() / "grey_(Vidora)_3GP.3gp";
  FWindow->btnStartConvertClick();
  FWindow->btnPauseConvertClick();
  QTest::qWait(300);  // whatever was on its way is written
  std::error_code error;
  auto size = fs::file_size(output, error);
  QTest::qWait(700);
  EXPECT_EQ(fs::file_size(output, error), size) << "a paused run writes nothing";
  EXPECT_TRUE(FWindow->btnResumeConvert->isVisible());
  FWindow->btnResumeConvertClick();
  ASSERT_TRUE(WaitFor([&] { return FWindow->btnAdd->isEnabled(); }));
  EXPECT_TRUE(FWindow->LProgress->text().startsWith("Done: ")) << FWindow->LProgress->text().toStdString();
}

TEST_F(MainWindowTest, ClosingDuringAConversionLeavesAFileThatPlays) {
  // Long enough that the close always comes before the end, however fast the machine.
  fs::path clip = FFolder.Path() / "long.mp4";
  test::CommandOutput("ffmpeg -v error -f lavfi -i color=gray:size=320x240:rate=25:duration=60 -f lavfi "
                      "-i sine=duration=60 -c:v mpeg4 -c:a aac -shortest '" + clip.string() + "'");
  FWindow->AddFile(clip.string());
  FWindow->btnStartConvertClick();
  // Closed once pictures are being written, however slow the machine.
  ASSERT_TRUE(WaitFor([&] { return FWindow->ProgressFill() > 1; }));
  // A close asks first; a stop signal's close does not.
  std::vector<QString> asked;
  FWindow->AskToStop = [&](const QString& question) {
    asked.push_back(question);
    return false;
  };
  FWindow->close();
  EXPECT_TRUE(FWindow->isVisible()) << "the user chose to keep converting";
  EXPECT_EQ(asked, std::vector<QString>{"Stop converting? What is done so far is kept in long_(Vidora)_3GP.3gp."});
  FWindow->CloseWithoutAsking();
  EXPECT_FALSE(FWindow->isVisible());
  EXPECT_EQ(asked.size(), 1u);
  EXPECT_FALSE(FWindow->LProgress->text().contains("100%"));
  EXPECT_EQ(StreamSummary(FFolder.Path() / "long_(Vidora)_3GP.3gp"), "h263,176,144\namr_nb,8000,1\n");
}

TEST_F(MainWindowTest, FailuresAreShownNotOnlyLogged) {
  fs::path noise = Clip("noise.mp4");
  FWindow->AddFile(noise.string());
  EXPECT_TRUE(Logged("***File load error: "));
  EXPECT_TRUE(FWindow->ShowsFailure());
  EXPECT_FALSE(FWindow->btnStartConvert->isEnabled());
}

TEST_F(MainWindowTest, DropsAndDialogs) {
  fs::path clip = Clip("clip.mp4"), part = Clip("part1.mp4");
  Drop({clip, part});
  EXPECT_EQ(FWindow->Session().RunnableJobs(), 0) << "two films add nothing";
  fs::path subtitles = FFolder.Path() / "clip.srt";
  std::ofstream(subtitles) << "1\n00:00:00,500 --> 00:00:01,500\nHello\n";
  Drop({subtitles});
  EXPECT_FALSE(FWindow->btnSubOn->isVisible()) << "no subtitles before a film";
  Drop({clip});
  EXPECT_EQ(FWindow->Session().RunnableJobs(), 1);
  Drop({subtitles});
  EXPECT_TRUE(FWindow->btnSubOn->isVisible());
  EXPECT_TRUE(FWindow->btnSubOn->Down());

  // A cancelled dialog leaves the film loaded.
  FWindow->ChooseInputFile = [] { return std::string(); };
  FWindow->btnAddClick();
  EXPECT_EQ(FWindow->Session().RunnableJobs(), 1);
  FWindow->ChooseInputFile = [&] { return part.string(); };
  FWindow->btnAddClick();
  EXPECT_EQ(FWindow->Session().RunnableJobs(), 1) << "one job at a time";
}

TEST_F(MainWindowTest, ThePreviewPlaysToItsEndAndTheBarOnlyGrows) {
  FWindow->AddFile(Clip("clip.mp4").string());
  std::vector<int> fills;
  ASSERT_TRUE(WaitFor([&] {
    if (fills.empty() || fills.back() != FWindow->ProgressFill()) fills.push_back(FWindow->ProgressFill());
    return FWindow->FFPlayer.PlayState() == TPlayState::psEnd;
  }, std::chrono::seconds(10)));
  QTest::qWait(100);
  EXPECT_TRUE(std::is_sorted(fills.begin(), fills.end())) << testing::PrintToString(fills);
  EXPECT_GT(FWindow->ProgressFill(), 120) << "near the end of the bar";
  EXPECT_EQ(FWindow->LProgress->text().right(9), "/00:00:03") << FWindow->LProgress->text().toStdString();
}

TEST_F(MainWindowTest, TheBarSeeksAndTheTransportDrivesThePlayer) {
  FWindow->AddFile(Clip("clip.mp4").string());
  ASSERT_TRUE(WaitFor([&] { return FWindow->FFPlayer.CurrentPTS() > 200000; }));
  QTest::mouseClick(FWindow->btnPause, Qt::LeftButton, Qt::NoModifier, QPoint(4, 4));
  EXPECT_TRUE(FWindow->btnPause->Down());
  EXPECT_FALSE(FWindow->btnPlay->Down());
  QTest::qWait(200);
  int64_t paused = FWindow->FFPlayer.CurrentPTS();
  QTest::qWait(400);
  EXPECT_EQ(FWindow->FFPlayer.CurrentPTS(), paused) << "a paused preview stands still";

  // Column width - 4 is the end, column 0 the start (paused seeks still show their picture).
  QTest::mouseClick(FWindow->ImageProgress, Qt::LeftButton, Qt::NoModifier, QPoint(135, 6));
  EXPECT_TRUE(WaitFor([&] { return FWindow->FFPlayer.CurrentPTS() > 2800000; }, std::chrono::seconds(5)));
  QTest::mouseClick(FWindow->ImageProgress, Qt::LeftButton, Qt::NoModifier, QPoint(0, 6));
  EXPECT_TRUE(WaitFor([&] { return FWindow->FFPlayer.CurrentPTS() < 100000; }, std::chrono::seconds(5)));

  QTest::mouseClick(FWindow->btnPlay, Qt::LeftButton, Qt::NoModifier, QPoint(20, 16));
  EXPECT_TRUE(FWindow->btnPlay->Down());
  EXPECT_TRUE(WaitFor([&] { return FWindow->FFPlayer.CurrentPTS() > 500000; }));
  QTest::mouseClick(FWindow->btnStop, Qt::LeftButton, Qt::NoModifier, QPoint(4, 4));
  EXPECT_FALSE(FWindow->btnStop->isEnabled());
  EXPECT_FALSE(FWindow->btnPause->isEnabled());
  EXPECT_TRUE(FWindow->FFPlayer.Paused());
  EXPECT_TRUE(WaitFor([&] { return FWindow->FFPlayer.CurrentPTS() < 100000; }, std::chrono::seconds(5)))
      << "stop goes back to the first picture";
}

TEST_F(MainWindowTest, VolumeQualityAndInformation) {
  QTest::mouseClick(FWindow->btnVol2, Qt::LeftButton, Qt::NoModifier, QPoint(2, 10));
  EXPECT_EQ(FWindow->FFPlayer.AudioVolume(), 128) << "up from the start changes nothing";
  QTest::mouseClick(FWindow->btnVol1, Qt::LeftButton, Qt::NoModifier, QPoint(2, 10));
  EXPECT_EQ(FWindow->FFPlayer.AudioVolume(), 118);

  // Both enabled, Hi down: Lo takes over, and Hi takes back.
  QTest::mouseClick(FWindow->btnLo, Qt::LeftButton, Qt::NoModifier, QPoint(9, 7));
  QTest::qWait(10);
  EXPECT_TRUE(FWindow->btnLo->Down());
  EXPECT_FALSE(FWindow->btnHi->Down());
  QTest::mouseClick(FWindow->btnHi, Qt::LeftButton, Qt::NoModifier, QPoint(9, 7));
  QTest::qWait(10);
  EXPECT_TRUE(FWindow->btnHi->Down());
  EXPECT_FALSE(FWindow->btnLo->Down());
  // With Lo disabled (a file was added), Hi stays down.
  FWindow->btnLo->setEnabled(false);
  QTest::mouseClick(FWindow->btnHi, Qt::LeftButton, Qt::NoModifier, QPoint(9, 7));
  QTest::qWait(10);
  EXPECT_TRUE(FWindow->btnHi->Down());
  EXPECT_FALSE(FWindow->btnLo->Down());

  std::vector<QUrl> opened;
  FWindow->UrlOpener.Open = [&](const QUrl& url) { opened.push_back(url); };
  QTest::mouseClick(FWindow->btnInfo, Qt::LeftButton, Qt::NoModifier, QPoint(39, 33));
  EXPECT_TRUE(FWindow->btnInfo->Down());
  EXPECT_TRUE(FWindow->ImageInfoEn->isVisible());
  EXPECT_FALSE(FWindow->PanelVideo->isVisible());
  QTest::mouseClick(FWindow->ImageInfoEn, Qt::LeftButton, Qt::NoModifier, QPoint(50, 50));
  FWindow->GetPhone->trigger();
  ASSERT_EQ(opened.size(), 2u);
  // Without an update server both lead to the help page installed with the program.
  EXPECT_TRUE(opened[0].isLocalFile() && opened[0].path().endsWith("help.html")) << opened[0].toString().toStdString();
  EXPECT_EQ(opened[1], opened[0]);
  QTest::mouseClick(FWindow->btnInfo, Qt::LeftButton, Qt::NoModifier, QPoint(39, 33));
  EXPECT_FALSE(FWindow->ImageInfoEn->isVisible());
}

TEST_F(MainWindowTest, OnlyTheLeftButtonAloneDragsTheWindow) {
  auto drag = [&](Qt::MouseButton button, Qt::KeyboardModifiers modifiers) {
    QPoint from = FWindow->ImageBgn->mapToGlobal(QPoint(130, 60));
    QPoint before = FWindow->pos();
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(130, 60), QPointF(from), button, button, modifiers);
    QCoreApplication::sendEvent(FWindow->ImageBgn, &press);
    QMouseEvent move(QEvent::MouseMove, QPointF(160, 90), QPointF(from + QPoint(30, 30)), Qt::NoButton, button,
                     modifiers);
    QCoreApplication::sendEvent(FWindow->ImageBgn, &move);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(160, 90), QPointF(from + QPoint(30, 30)), button,
                        Qt::NoButton, modifiers);
    QCoreApplication::sendEvent(FWindow->ImageBgn, &release);
    return FWindow->pos() - before;
  };
  EXPECT_EQ(drag(Qt::RightButton, Qt::NoModifier), QPoint(0, 0));
  EXPECT_EQ(drag(Qt::LeftButton, Qt::ShiftModifier), QPoint(0, 0));
  EXPECT_EQ(drag(Qt::LeftButton, Qt::NoModifier), QPoint(30, 30));
}

// A picture of the window with a clip added and a preview picture shown, for people to look at.
TEST_F(MainWindowTest, Screenshot) {
  fs::path clip = Clip("clip.mp4");
  FWindow->AddFile(clip.string());
  ASSERT_TRUE(WaitFor([&] { return !FWindow->PanelVideo->LastPicture().isNull(); }, std::chrono::seconds(10)))
      << testing::PrintToString(FWindow->Log().Lines());
  QTest::qWait(300);
  QImage shot = FWindow->grab().toImage();
  EXPECT_EQ(shot.size(), FWindow->ImageBgn->Picture().isNull() ? QSize(576, 500) : FWindow->ImageBgn->Picture().size());
  EXPECT_TRUE(shot.save(QString(BUILD_DIR) + "/vidora3gp-window.png"));
}

TEST_F(MainWindowTest, TheDailyUpdateCheck) {
  std::vector<QUrl> opened;
  FWindow->UrlOpener.Open = [&](const QUrl& url) { opened.push_back(url); };
  test::THttpTestServer server([](const std::string&) { return "HTTP/1.0 200 OK\r\n\r\nOpenWWW=http://new.invalid/v2\r\n"; });
  FWindow->UpdateServer = [&] { return server.Address(); };
  SettingsStore own(OwnOrganisation, OwnApplication);
  own.WriteBinary("LastLU", "");  // a first start: nothing stored
  own.Sync();
  FWindow->TimerCheckVersionTimer();
  QTest::qWait(300);
  EXPECT_TRUE(server.Requests().empty()) << "no request on a first start";
  std::optional<double> stored = DecodeLastStart(SettingsStore(OwnOrganisation, OwnApplication).ReadBinary("LastLU").value_or(""));
  ASSERT_TRUE(stored.has_value()) << "the start is written as 8 bytes";

  // The day before: the check is due, and the answer's address opens.
  SettingsStore again(OwnOrganisation, OwnApplication);
  again.WriteBinary("LastLU", EncodeLastStart(*stored - 1));
  again.Sync();
  FWindow->TimerCheckVersionTimer();
  EXPECT_TRUE(WaitFor([&] { return !opened.empty(); }, std::chrono::seconds(5)));
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0], QUrl("http://new.invalid/v2"));
  EXPECT_EQ(server.Requests().size(), 1u);
}

TEST_F(MainWindowTest, ClosingDuringAnUnansweredCheckTakesUnderASecond) {
  test::THttpTestServer server([](const std::string&) { return std::string(); });
  FWindow->UpdateServer = [&] { return server.Address(); };
  SettingsStore own(OwnOrganisation, OwnApplication);
  own.WriteBinary("LastLU", EncodeLastStart(1.0));  // long ago
  own.Sync();
  FWindow->TimerCheckVersionTimer();
  QTest::qWait(300);
  ASSERT_EQ(server.Requests().size(), 1u);
  auto start = std::chrono::steady_clock::now();
  FWindow->close();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}

TEST(PreviewWindow, ShowsTheEnginesFramesUntilTheUserClosesIt) {
  TBitmap frame(64, 48, 24);
  std::fill_n(frame.Bits(), frame.Stride() * 48, 0x80);
  std::unique_ptr<TPreviewer> previewer;
  std::atomic<bool> painted{false};
  // The engine makes its previewer and paints from its worker thread.
  std::thread worker([&] {
    previewer = std::make_unique<TPreviewer>();
    painted = previewer->PaintFrame(frame, 1, 2500000);
  });
  while (!painted) QTest::qWait(5);
  worker.join();
  TPreviewWindow* window = previewer->Window();
  while (!window->isVisible()) QTest::qWait(5);
  EXPECT_EQ(window->size(), QSize(64, 48));
  EXPECT_EQ(window->windowTitle(), "00:00:02.500");
  EXPECT_EQ(window->Picture().pixel(10, 10), qRgb(0x80, 0x80, 0x80));
  EXPECT_TRUE(window->windowFlags() & Qt::WindowStaysOnTopHint);
  window->close();
  EXPECT_FALSE(previewer->PaintFrame(frame, 2, 2540000)) << "closed by the user: no more painting";
  previewer.reset();
  QTest::qWait(10);
}

// Open, add, convert, close, again and again in one process: for the sanitizers.
TEST(MainWindowCycles, TwentyWindowsInARow) {
  test::TTempFolder folder;
  fs::path clip = folder.Path() / "part1.mp4";
  fs::copy_file(std::string(CLIPS_DIR) + "/part1.mp4", clip);
  for (int cycle = 0; cycle < 20; ++cycle) {
    TfrmOption options;
    bool polish = cycle % 2 == 1;
    TTranslations translations(QLocale(polish ? QLocale::Polish : QLocale::English));
    TfrmMain window(options, polish);
    window.show();
    EXPECT_EQ(window.LProgress->text(), polish ? QString::fromUtf8("Postęp:  0%") : QString("Progress:  0%"));
    EXPECT_EQ(window.GetPhone->text(), polish ? QString::fromUtf8("Pobierz Swój Telefon") : QString("Get Your Phone"));
    window.AddFile(clip.string());
    window.btnStartConvertClick();
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!window.btnAdd->isEnabled() && std::chrono::steady_clock::now() < end) QTest::qWait(5);
    ASSERT_TRUE(window.btnAdd->isEnabled()) << "cycle " << cycle;
    window.close();
    fs::remove(folder.Path() / "part1_(Vidora)_3GP.3gp");
  }
}

}  // namespace
}  // namespace vidora::app

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  QApplication application(argc, argv);
  // The program's settings go to a folder of the test's, not the user's.
  vidora::test::TTempFolder settings;
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(settings.Str()));
  vidora::app::TQtMainThreadHandOver handOver;
  vidora::SetMainThreadHandOver(&handOver);
  ::testing::InitGoogleTest(&argc, argv);
  int status = RUN_ALL_TESTS();
  vidora::SetMainThreadHandOver(nullptr);
  return status;
}
