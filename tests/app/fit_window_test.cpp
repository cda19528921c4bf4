// The phone menu's "Fit into": kept after a restart, shown with the film, and what it makes.
#include <gtest/gtest.h>

#include <QMenu>
#include <QSettings>

#include <cstdlib>
#include <filesystem>

#include "options/settings_store.h"
#include "skin/region_button.h"
#include "window_fixture.h"

namespace vidora::app {
namespace {

namespace fs = std::filesystem;

class FitWindowTest : public MainWindowTest {
 protected:
  void SetUp() override {
    Forget();
    MainWindowTest::SetUp();
  }
  void TearDown() override {
    MainWindowTest::TearDown();
    Forget();
  }
  static void Forget() { QSettings(OwnOrganisation, OwnApplication).remove(setting::FitInto); }

  static QAction* Choice(const TfrmMain& window, const char* caption) {
    for (QAction* item : window.MFitInto->actions())
      if (item->text() == QString::fromUtf8(caption)) return item;
    ADD_FAILURE() << "no " << caption << " in the menu";
    return nullptr;
  }
  std::string FilmLine() const { return FWindow->LFilmName->text().toStdString(); }
};

TEST_F(FitWindowTest, TheChoiceIsKeptAfterARestartAndTheFilmShowsWhatItWillTake) {
  ASSERT_TRUE(FWindow->MSkin->actions().contains(FWindow->MFitInto->menuAction()));
  EXPECT_TRUE(Choice(*FWindow, "None")->isChecked());
  FWindow->AddFile(Clip("clip.mp4").string());
  EXPECT_EQ(FilmLine().rfind("clip.mp4 – about ", 0), 0u) << FilmLine();
  EXPECT_TRUE(FilmLine().ends_with("\u00A0KB")) << FilmLine();
  Choice(*FWindow, "Split into 300\u00A0KB parts")->trigger();
  EXPECT_EQ(FilmLine(), "clip.mp4 – in 300\u00A0KB parts") << "the loaded film is made again";
  EXPECT_TRUE(FWindow->btnStartConvert->isEnabled());
  Choice(*FWindow, "1\u00A0MB")->trigger();
  EXPECT_EQ(FilmLine(), "clip.mp4 – at most 1\u00A0MB");
  EXPECT_FALSE(Choice(*FWindow, "None")->isChecked()) << "one choice at a time";

  FWindow->close();
  FWindow = std::make_unique<TfrmMain>(FOptions, false);
  EXPECT_TRUE(Choice(*FWindow, "1\u00A0MB")->isChecked()) << "kept after a restart";
  FWindow->AddFile(Clip("grey.mp4").string());
  EXPECT_EQ(FilmLine(), "grey.mp4 – at most 1\u00A0MB");
}

TEST_F(FitWindowTest, AFilmTooLongForTheSizeCannotBeConvertedAndTheWindowSaysWhatFits) {
  // Ten minutes of a tiny slow picture: quick to make, far too long for 300 KB.
  fs::path film = FFolder.Path() / "long.mp4";
  ASSERT_EQ(std::system(("ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=64x48:rate=1:duration=600 "
                         "-f lavfi -i sine=duration=600:sample_rate=8000 -c:v mpeg4 -c:a aac -b:a 8k -shortest '" + film.string() + "'").c_str()), 0);
  FWindow->AddFile(film.string());
  ASSERT_TRUE(FWindow->btnStartConvert->isEnabled());
  Choice(*FWindow, "300\u00A0KB")->trigger();
  EXPECT_FALSE(FWindow->btnStartConvert->isEnabled());
  ASSERT_TRUE(FWindow->ShowsFailure());
  std::string said = FWindow->LMessage->toolTip().toStdString();
  EXPECT_EQ(said.rfind("300\u00A0KB holds about ", 0), 0u) << said;
  EXPECT_TRUE(said.ends_with(" of this film. Choose “Split into 300\u00A0KB parts” or a larger size.")) << said;
  EXPECT_EQ(FilmLine(), "long.mp4 – at most 300\u00A0KB") << "the film stays chosen";

  Choice(*FWindow, "Split into 300\u00A0KB parts")->trigger();
  EXPECT_FALSE(FWindow->ShowsFailure());
  EXPECT_TRUE(FWindow->btnStartConvert->isEnabled());
}

TEST_F(FitWindowTest, AClipFittedInto300KBTellsItsPassesAndEndsUnderTheLimit) {
  Choice(*FWindow, "300\u00A0KB")->trigger();
  fs::path clip = Clip("clip.mp4");
  FWindow->AddFile(clip.string());
  FWindow->btnStartConvertClick();
  bool secondPass = false;
  ASSERT_TRUE(WaitFor([&] {
    secondPass = secondPass || FWindow->LProgress->text().contains(u"Pass 2/2: ");
    return FWindow->btnAdd->isEnabled();
  }, std::chrono::seconds(60)));
  EXPECT_TRUE(secondPass) << "one bar over both passes, and the text says which";
  fs::path output = FFolder.Path() / "clip_(Vidora)_3GP.3gp";
  EXPECT_TRUE(FWindow->LProgress->text().startsWith(u"Done: clip_(Vidora)")) << FWindow->LProgress->text().toStdString();
  ASSERT_TRUE(fs::exists(output));
  EXPECT_LE(fs::file_size(output), 300000u);
}

}  // namespace
}  // namespace vidora::app
