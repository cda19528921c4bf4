#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "media/base/loader.h"
#include "media/base/logger.h"
#include "media/engine/ffmpeg.h"
#include "../base/test_support.h"

namespace vidora::test {

// The engine with its settings open to inspection.
class TTestFFmpeg : public TFFmpeg {
 public:
  using TFFmpeg::OpenLocalOutputs;
  const TFFmpegSettings& S() const { return *this; }
  const TOutputStreamCodec& OutStream(int file, int stream) const { return OutputFile(file).streams.at(stream); }
};

// A file's bytes.
inline std::string ReadAll(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), {}};
}

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    LoadMediaLibraries();
    FLogger.SetTriggerEventInMainThread(false);
    FLogger.SetOnLog([this](const void*, uint32_t, TLogLevel level, const std::string& message) {
      std::lock_guard lock(FLock);
      FLog.emplace_back(level, message);
    });
    FEngine.Reset();
  }

  // The phone profile: 176x144 at 150000 bit/s, 8000 Hz mono at 12200 bit/s.
  const std::vector<std::string> Phone = {"s", "176x144", "b", "150000", "ar", "8000", "ac", "1", "ab", "12200"};

  // Opens the input, gives the output options (name, value pairs) and opens the output.
  void Open(const std::string& input, const std::string& output, const std::vector<std::string>& options) {
    ASSERT_TRUE(FEngine.OpenInputFile(input)) << FEngine.LastErrMsg();
    for (size_t i = 0; i + 1 < options.size(); i += 2) FEngine.ParseOption(options[i], options[i + 1]);
    ASSERT_GT(FEngine.OpenOutputFile(output, false), 0) << FEngine.LastErrMsg();
  }

  static std::string Clip(const std::string& name) { return std::string(CLIPS_DIR) + "/" + name; }
  std::string Out(const std::string& name) const { return (FFolder.Path() / name).string(); }

  // Whether a line (of that level, when one is given) holds the text.
  bool Logged(const std::string& text, std::optional<TLogLevel> level = std::nullopt) {
    std::lock_guard lock(FLock);
    for (const auto& line : FLog)
      if ((!level || line.first == *level) && line.second.find(text) != std::string::npos) return true;
    return false;
  }

  // Runs the call and returns the message it raised, or "" when it did not raise.
  template <typename Call>
  static std::string Raised(Call call) {
    try {
      call();
    } catch (const std::exception& error) {
      return error.what();
    }
    return {};
  }

  TFFLogger FLogger;
  TTestFFmpeg FEngine;
  TTempFolder FFolder;
  std::mutex FLock;
  std::vector<std::pair<TLogLevel, std::string>> FLog;
};

}  // namespace vidora::test
