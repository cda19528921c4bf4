#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>

#include "../media/base/test_support.h"
#include "cli_options.h"
#include "progress_display.h"

namespace vidora::test {
namespace {

namespace fs = std::filesystem;
using namespace vidora::cli;

TCliOptions Parse(std::vector<std::string> words) {
  words.insert(words.begin(), "vidora3gp-cli");
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  return ParseCommandLine(static_cast<int>(argv.size()), argv.data());
}

TEST(CommandLine, InputsSubtitlesAndOptions) {
  TCliOptions one = Parse({"clip.avi", "clip.SRT"});
  EXPECT_EQ(one.Inputs, std::vector<std::string>{"clip.avi"});
  EXPECT_EQ(one.Subtitles, "clip.SRT");
  TCliOptions batch = Parse({"-j", "2", "a.mp4", "b.mp4", "c.mp4", "--set", "FrameSize=320x240", "-q"});
  EXPECT_EQ(batch.Inputs.size(), 3u);
  EXPECT_EQ(batch.Jobs, 2);
  EXPECT_EQ(batch.Verbosity, -1);
  EXPECT_EQ(batch.Sets[0], (std::pair<std::string, std::string>{"FrameSize", "320x240"}));
  EXPECT_THROW(Parse({"-o", "x.3gp", "a.mp4", "b.mp4"}), std::invalid_argument);
  EXPECT_THROW(Parse({"-j", "0", "a.mp4"}), std::invalid_argument);
  EXPECT_THROW(Parse({"--set", "=3", "a.mp4"}), std::invalid_argument);
  EXPECT_THROW(Parse({"--bogus", "a.mp4"}), std::invalid_argument);
  EXPECT_THROW(Parse({"a.mp4", "-o"}), std::invalid_argument);
}

TEST(Progress, LineShowsShareTimesAndSpeed) {
  EXPECT_EQ(TProgressDisplay::Line("a.3gp", 1500000, 3000000, 1.0),
            "a.3gp [###############---------------]  50%  00:01 elapsed, 00:01 left, 1.5x");
  EXPECT_EQ(TProgressDisplay::Line("a.3gp", 0, -1, 0.1), "a.3gp [------------------------------]   ?%  00:00 elapsed");
}

// Runs the converter and returns its exit status and what it wrote.
std::pair<int, std::string> RunCli(const std::string& arguments) {
  std::string output;
  std::string command = std::string(CLI_PATH) + " " + arguments + " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  char buffer[4096];
  while (size_t count = std::fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, count);
  int status = pclose(pipe);
  return {WEXITSTATUS(status), output};
}

TEST(Converter, ConvertsBatchesTwoAtATime) {
  TTempFolder folder;
  for (const char* name : {"a", "b", "c"}) fs::copy_file(std::string(CLIPS_DIR) + "/part1.mp4", folder.Path() / (std::string(name) + ".mp4"));
  std::string inputs;
  for (const char* name : {"a", "b", "c"}) inputs += " '" + (folder.Path() / (std::string(name) + ".mp4")).string() + "'";
  auto [status, output] = RunCli("-j 2" + inputs);
  EXPECT_EQ(status, 0) << output;
  for (const char* name : {"a", "b", "c"}) {
    fs::path result = folder.Path() / (std::string(name) + "_(Vidora)_3GP.3gp");
    EXPECT_TRUE(fs::exists(result)) << result;
    EXPECT_GT(fs::file_size(result), 5000u);
  }
}

TEST(Converter, BadInputsFailClearlyAndLeaveNothing) {
  TTempFolder folder;
  auto [missing, missingText] = RunCli("'" + (folder.Path() / "none.mp4").string() + "'");
  EXPECT_EQ(missing, 1);
  EXPECT_NE(missingText.find("No such file or directory"), std::string::npos) << missingText;

  fs::path noise = folder.Path() / "noise.mp4";
  fs::copy_file(std::string(CLIPS_DIR) + "/noise.mp4", noise);
  auto [invalid, invalidText] = RunCli("-q '" + noise.string() + "'");
  EXPECT_EQ(invalid, 1);
  EXPECT_NE(invalidText.find("Invalid data found when processing input"), std::string::npos) << invalidText;

  fs::path clip = folder.Path() / "clip.mp4";
  fs::copy_file(std::string(CLIPS_DIR) + "/part1.mp4", clip);
  auto [refused, refusedText] = RunCli("--ext 'qscale=0' '" + clip.string() + "'");
  EXPECT_EQ(refused, 1);
  EXPECT_NE(refusedText.find("qscale must be > 0.0 and <= 255"), std::string::npos) << refusedText;
  auto [unwritable, unwritableText] = RunCli("-o /proc/none/x.3gp '" + clip.string() + "'");
  EXPECT_EQ(unwritable, 1);
  std::vector<fs::path> left;
  for (const auto& entry : fs::directory_iterator(folder.Path())) left.push_back(entry.path().filename());
  EXPECT_EQ(left.size(), 2u) << "only the two inputs";
}

}  // namespace
}  // namespace vidora::test
