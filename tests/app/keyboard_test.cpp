// The window without the mouse: what screen readers learn of each key, the
// order Tab walks the keys in, and a film converted from the keyboard alone.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QTest>

#include <algorithm>
#include <fstream>
#include <map>
#include <set>

#include "app/shortcuts_page.h"
#include "app/video_panel.h"
#include "skin/region_button.h"
#include "window_fixture.h"

namespace vidora::app {
namespace {

namespace fs = std::filesystem;

class KeyboardTest : public MainWindowTest {
 protected:
  void Activate() {
    FWindow->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(FWindow.get()));
  }
  // A key as the keyboard sends it: to whatever has the focus.
  void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : FWindow.get();
    QTest::keyClick(target, key, modifiers);
  }
  // The keys Tab reaches, in order, one round from wherever the focus is.
  std::vector<TRegionButton*> TabRound() {
    std::vector<TRegionButton*> reached;
    std::set<QWidget*> seen;
    for (int step = 0; step < 40; ++step) {
      Key(Qt::Key_Tab);
      QWidget* focus = QApplication::focusWidget();
      if (!focus || !seen.insert(focus).second) break;
      if (auto* key = qobject_cast<TRegionButton*>(focus)) reached.push_back(key);
    }
    return reached;
  }
  // Every accessible object under the window, by the object it stands for.
  static void Walk(QAccessibleInterface* node, std::map<QObject*, QAccessibleInterface*>& found) {
    for (int i = 0; i < node->childCount(); ++i) {
      QAccessibleInterface* child = node->child(i);
      if (!child || found.count(child->object())) continue;
      found[child->object()] = child;
      Walk(child, found);
    }
  }
};

std::string Name(QAccessibleInterface* node) { return node->text(QAccessible::Name).toStdString(); }

TEST_F(KeyboardTest, EveryKeyIsNamedAndTabReachesEachInReadingOrder) {
  fs::path subtitles = FFolder.Path() / "clip.srt";
  std::ofstream(subtitles) << "1\n00:00:00,500 --> 00:00:01,500\nHello\n";
  Activate();
  for (const char* phone : {"Standard", "Wide320"}) {
    SCOPED_TRACE(phone);
    FWindow->StartWithSkin(phone);
    FWindow->AddFile(Clip(phone == std::string("Standard") ? "clip.mp4" : "part1.mp4").string());
    FWindow->LoadSubtitles(subtitles.string());
    ASSERT_TRUE(FWindow->btnSubOn->isVisible());

    std::map<QObject*, QAccessibleInterface*> found;
    Walk(QAccessible::queryAccessibleInterface(FWindow.get()), found);
    std::vector<TRegionButton*> enabled;
    for (TRegionButton* key : FWindow->findChildren<TRegionButton*>()) {
      if (!key->isVisible()) continue;
      SCOPED_TRACE(key->objectName().toStdString());
      if (key->isEnabled()) enabled.push_back(key);
      ASSERT_TRUE(found.count(key)) << "not in the accessible tree";
      QAccessibleInterface* node = found[key];
      EXPECT_FALSE(node->text(QAccessible::Name).isEmpty());
      EXPECT_FALSE(node->text(QAccessible::Description).isEmpty()) << "the hint describes it";
      const bool latching = key->ButtonStyle() == btSpeed;
      EXPECT_EQ(node->role(), key->DropDownMenu() ? QAccessible::ButtonMenu
                              : latching          ? QAccessible::CheckBox
                                                  : QAccessible::Button);
      EXPECT_EQ(node->state().checkable, latching);
      EXPECT_EQ(node->state().checked, key->Down());
      EXPECT_EQ(node->state().disabled, !key->isEnabled());
    }
    EXPECT_TRUE(found[FWindow->btnHi]->state().checked) << "a film added in high quality";
    EXPECT_TRUE(found[FWindow->btnLo]->state().disabled);

    // Burn-in latches off through the screen reader's action, and says so.
    QAccessibleInterface* burnIn = found[FWindow->btnSubOn];
    EXPECT_EQ(Name(burnIn), "Burn in subtitles: on");
    burnIn->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_FALSE(FWindow->btnSubOn->Down());
    EXPECT_FALSE(burnIn->state().checked);
    EXPECT_EQ(Name(burnIn), "Burn in subtitles: off");

    QAccessibleInterface* bar = found[FWindow->ImageProgress];
    EXPECT_EQ(bar->role(), QAccessible::ProgressBar);
    ASSERT_TRUE(bar->valueInterface());
    EXPECT_EQ(bar->valueInterface()->maximumValue().toInt(), 100);
    QAccessibleInterface* label = found[FWindow->LProgress];
    EXPECT_EQ(label->role(), QAccessible::StaticText);
    EXPECT_EQ(label->text(QAccessible::Name), FWindow->LProgress->text());
    QAccessibleInterface* menu = QAccessible::queryAccessibleInterface(FWindow->MSkin);
    ASSERT_GE(menu->childCount(), 4);
    for (int i = 0; i < menu->childCount(); ++i) {
      if (menu->child(i)->role() != QAccessible::Separator) {
        EXPECT_FALSE(menu->child(i)->text(QAccessible::Name).isEmpty());
      }
    }

    std::vector<TRegionButton*> reached = TabRound();
    EXPECT_EQ(std::set<TRegionButton*>(reached.begin(), reached.end()),
              std::set<TRegionButton*>(enabled.begin(), enabled.end()));
    if (phone == std::string("Standard")) {
      // Top to bottom, and along each row from the left.
      std::vector<std::string> order;
      for (TRegionButton* key : reached) order.push_back(key->objectName().toStdString());
      std::rotate(order.begin(), std::find(order.begin(), order.end(), "btnMinimize"), order.end());
      EXPECT_EQ(order, std::vector<std::string>({"btnMinimize", "btnHi", "btnVol2", "btnVol1", "btnStartConvert", "btnAdd",
                                             "btnStop", "btnPlay", "btnPause", "btnAddSub", "btnSubOn", "btnInfo",
                                             "btnSetup", "btnClose"}));
    }
  }
}

TEST_F(KeyboardTest, AFilmIsConvertedPausedAndResumedWithoutTheMouse) {
  fs::path clip = Clip("clip.mp4");
  int asked = 0;
  FWindow->ChooseInputFile = [&] {
    ++asked;
    return clip.string();
  };
  Activate();
  Key(Qt::Key_Return);
  EXPECT_FALSE(FWindow->Session().Running()) << "nothing to convert: Enter does nothing";
  Key(Qt::Key_O, Qt::ControlModifier);
  ASSERT_EQ(asked, 1);
  ASSERT_TRUE(FWindow->btnStartConvert->isEnabled());

  // The preview: Space pauses it, Right seeks on, Space plays again.
  Key(Qt::Key_Space);
  EXPECT_TRUE(FWindow->btnPause->Down());
  EXPECT_TRUE(WaitFor([&] { return FWindow->FFPlayer.Paused(); }, std::chrono::seconds(5)));
  Key(Qt::Key_Right);
  EXPECT_TRUE(WaitFor([&] { return FWindow->FFPlayer.CurrentPTS() > 2'000'000; }, std::chrono::seconds(5)));
  Key(Qt::Key_Space);
  EXPECT_TRUE(FWindow->btnPlay->Down());

  // The information view and its second page, by F1 and Page Down.
  Key(Qt::Key_F1);
  EXPECT_TRUE(FWindow->ImageInfoEn->isVisible());
  Key(Qt::Key_PageDown);
  auto* page = FWindow->findChild<TShortcutsPage*>();
  EXPECT_TRUE(page->isVisible());
  EXPECT_FALSE(FWindow->ImageInfoEn->isVisible());
  Key(Qt::Key_F1);
  EXPECT_FALSE(page->isVisible());
  EXPECT_FALSE(FWindow->btnInfo->Down());

  // Tab to CONVERT and press it with Enter; the ring stays where the key was.
  while (QApplication::focusWidget() != FWindow->btnStartConvert) Key(Qt::Key_Tab);
  EXPECT_TRUE(FWindow->btnStartConvert->FocusShown());
  Key(Qt::Key_Return);
  ASSERT_TRUE(FWindow->btnPauseConvert->isVisible());
  EXPECT_TRUE(FWindow->btnPauseConvert->FocusShown()) << "the ring follows CONVERT to PAUSE";
  Key(Qt::Key_O, Qt::ControlModifier);
  EXPECT_EQ(asked, 1) << "no film is added while converting";
  Key(Qt::Key_Space);
  EXPECT_TRUE(FWindow->btnResumeConvert->isVisible());
  EXPECT_FALSE(FWindow->btnPauseConvert->isVisible());
  Key(Qt::Key_Space);
  EXPECT_TRUE(FWindow->btnPauseConvert->isVisible());
  ASSERT_TRUE(WaitFor([&] { return FWindow->btnAdd->isEnabled(); }));
  EXPECT_TRUE(fs::exists(FFolder.Path() / "clip_(Vidora)_3GP.3gp"));
}

}  // namespace
}  // namespace vidora::app
