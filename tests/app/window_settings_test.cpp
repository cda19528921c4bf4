// What the window keeps in the settings: staying on top, the log window's place.
#include <gtest/gtest.h>

#include <QMenu>
#include <QPlainTextEdit>
#include <QSettings>
#include <QTest>

#include <cstdlib>

#include "app/main_window.h"
#include "options/option_form.h"
#include "options/settings_store.h"

namespace vidora::app {
namespace {

bool OnTop(const QWidget& window) { return window.windowFlags().testFlag(Qt::WindowStaysOnTopHint); }

TEST(WindowSettings, AlwaysOnTopIsOnUntilTurnedOffInThePhoneMenuAndStaysOffAfterARestart) {
  QSettings(OwnOrganisation, OwnApplication).remove(setting::AlwaysOnTop);
  {
    TfrmOption options;
    TfrmMain window(options, false);
    window.show();
    ASSERT_TRUE(window.MSkin->actions().contains(window.AlwaysOnTop));
    EXPECT_TRUE(window.AlwaysOnTop->isChecked());
    EXPECT_TRUE(OnTop(window));
    window.AlwaysOnTop->trigger();
    EXPECT_FALSE(OnTop(window));
    EXPECT_TRUE(window.isVisible()) << "the phone stays shown when the flag changes";
    EXPECT_EQ(window.size(), QSize(264, 500));
    window.close();
  }
  TfrmOption options;
  TfrmMain restarted(options, false);
  EXPECT_FALSE(restarted.AlwaysOnTop->isChecked());
  EXPECT_FALSE(OnTop(restarted));
  restarted.AlwaysOnTop->trigger();
  EXPECT_TRUE(OnTop(restarted));
  EXPECT_EQ(SettingsStore(OwnOrganisation, OwnApplication).ReadBool(setting::AlwaysOnTop), true);
}

TEST(WindowSettings, F12OpensTheLogAsAWindowOfItsOwnWhereItWasLeft) {
  QSettings(OwnOrganisation, OwnApplication).remove(setting::LogWindowPlace);
  const QRect place(150, 120, 500, 300);
  {
    TfrmOption options;
    TfrmMain window(options, false);
    window.show();
    QTest::keyClick(&window, Qt::Key_F12);
    QWidget* log = window.mmoLog->window();
    ASSERT_NE(log, &window);
    EXPECT_TRUE(log->isVisible());
    EXPECT_EQ(window.size(), QSize(264, 500)) << "the phone keeps its size";
    EXPECT_LT(log->minimumWidth(), log->maximumWidth()) << "resizable";
    const QPalette colours = window.mmoLog->palette();
    EXPECT_GT(std::abs(colours.color(QPalette::Text).lightness() - colours.color(QPalette::Base).lightness()), 100);
    log->setGeometry(place);
    QTest::keyClick(log, Qt::Key_F12);
    EXPECT_FALSE(log->isVisible());
    QTest::keyClick(&window, Qt::Key_F12);
    window.close();
    EXPECT_FALSE(log->isVisible()) << "closing the phone closes its log";
  }
  TfrmOption options;
  TfrmMain restarted(options, false);
  restarted.show();
  QTest::keyClick(&restarted, Qt::Key_F12);
  EXPECT_EQ(restarted.mmoLog->window()->geometry(), place);
  restarted.close();
}

}  // namespace
}  // namespace vidora::app
