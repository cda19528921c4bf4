// The real window on the offscreen platform, with the clips and waits its tests share.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QMimeData>
#include <QTest>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "options/option_form.h"
#include "test_support.h"

namespace vidora::app {

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FWindow = std::make_unique<TfrmMain>(FOptions, false);
    FWindow->show();
  }
  void TearDown() override {
    FWindow->close();
    FWindow.reset();
  }

  std::filesystem::path Clip(const char* name) {
    std::filesystem::path copy = FFolder.Path() / name;
    std::filesystem::copy_file(std::string(CLIPS_DIR) + "/" + name, copy);
    return copy;
  }

  // Serves the event loop until `done` or the time is up.
  template <typename Done>
  bool WaitFor(Done done, std::chrono::milliseconds limit = std::chrono::seconds(30)) {
    auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
      if (std::chrono::steady_clock::now() > end) return false;
      QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
      QTest::qWait(5);
    }
    return true;
  }

  bool Logged(const std::string& text) const {
    for (const std::string& line : FWindow->Log().Lines())
      if (line.find(text) != std::string::npos) return true;
    return false;
  }

  void Drop(const std::vector<std::filesystem::path>& files) {
    auto* data = new QMimeData;
    QList<QUrl> urls;
    for (const std::filesystem::path& file : files) urls << QUrl::fromLocalFile(QString::fromStdString(file.string()));
    data->setUrls(urls);
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(FWindow.get(), &enter);
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(FWindow.get(), &drop);
    delete data;
  }

  test::TTempFolder FFolder;
  TfrmOption FOptions;
  std::unique_ptr<TfrmMain> FWindow;
};

}  // namespace vidora::app
