#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include "../media/base/test_support.h"
#include "http_test_server.h"
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
  EXPECT_EQ(Parse({"--fit", "pad", "a.mp4"}).Fit, "pad");
  EXPECT_THROW(Parse({"--fit", "oval", "a.mp4"}), std::invalid_argument);
}

TEST(Progress, LineShowsShareTimesAndSpeed) {
  EXPECT_EQ(TProgressDisplay::Line("a.3gp", 1500000, 3000000, 1.0),
            "a.3gp [###############---------------]  50%  00:01 elapsed, 00:01 left, 1.5x");
  EXPECT_EQ(TProgressDisplay::Line("a.3gp", 0, -1, 0.1), "a.3gp [------------------------------]   ?%  00:00 elapsed");
}

// Runs the converter and returns its exit status and what it wrote.
std::pair<int, std::string> RunCli(const std::string& arguments, const std::string& prefix = "") {
  std::string output;
  std::string command = prefix + CLI_PATH + " " + arguments + " 2>&1";
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

TEST(Converter, OneBadInputFailsAloneInABatch) {
  TTempFolder folder;
  std::string inputs;
  for (const char* name : {"a", "b", "cut", "c", "d", "e"}) {
    fs::path input = folder.Path() / (std::string(name) + ".mp4");
    fs::copy_file(std::string(CLIPS_DIR) + (name == std::string("cut") ? "/truncated.mp4" : "/part1.mp4"), input);
    inputs += " '" + input.string() + "'";
  }
  auto [status, output] = RunCli("-q -j 4" + inputs);
  EXPECT_EQ(status, 1);
  EXPECT_NE(output.find("cut.mp4: Invalid data found when processing input"), std::string::npos) << output;
  for (const char* name : {"a", "b", "c", "d", "e"})
    EXPECT_GT(fs::file_size(folder.Path() / (std::string(name) + "_(Vidora)_3GP.3gp")), 5000u) << name;
}

TEST(Converter, RefusedValuesStopBeforeAnythingIsWritten) {
  TTempFolder folder;
  fs::path clip = folder.Path() / "clip.mp4";
  fs::copy_file(std::string(CLIPS_DIR) + "/part1.mp4", clip);
  for (auto [option, message] : std::vector<std::pair<std::string, std::string>>{
           {"--set VideoBitrate=-5", "Invalid value \"-5\" for option \"VideoBitrate\""},
           {"--set audiochannels=0", "Invalid value \"0\" for option \"AudioChannels\""},
           {"--ext 'this is not=an option'", "Unrecognized option 'this is not'"},
           {"--ext 'b=abc'", "Invalid value \"abc\" for option \"b\""},
           // The generic profile refuses it, and H.263 has no profile of its own to take it.
           {"--ext 'profile=nonsense'", "Invalid value \"nonsense\" for option \"profile\""},
           {"--ext 'preset=fast'", "no encoder nor the format takes the option \"preset\""}}) {
    auto [status, output] = RunCli("-q " + option + " '" + clip.string() + "'");
    EXPECT_EQ(status, 2) << option;
    EXPECT_NE(output.find(message), std::string::npos) << output;
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(folder.Path()), fs::directory_iterator()), 1);
}

TEST(Converter, OutputsAreNeverWrittenOverOrThrough) {
  TTempFolder folder;
  // A name with a colon is a file, and one starting with "-" comes after "--".
  fs::path clip = folder.Path() / "-clip:01.mp4", chosen = folder.Path() / "out.3gp";
  fs::copy_file(std::string(CLIPS_DIR) + "/part1.mp4", clip);
  std::ofstream(chosen) << "keep me";
  auto [kept, keptText] = RunCli("-q -o '" + chosen.string() + "' -- '" + clip.string() + "'");
  EXPECT_EQ(kept, 1);
  EXPECT_NE(keptText.find("exists; give --overwrite to replace it"), std::string::npos) << keptText;
  EXPECT_EQ(fs::file_size(chosen), 7u);
  auto [replaced, replacedText] = RunCli("-q --overwrite -o '" + chosen.string() + "' -- '" + clip.string() + "'");
  EXPECT_EQ(replaced, 0) << replacedText;
  EXPECT_EQ(StreamSummary(chosen), "h263,176,144\namr_nb,8000,1\n");

  fs::path link = folder.Path() / "link.3gp", target = folder.Path() / "gone" / "x.3gp";
  fs::create_symlink(target, link);
  auto [dangling, danglingText] = RunCli("-q --overwrite -o '" + link.string() + "' -- '" + clip.string() + "'");
  EXPECT_EQ(dangling, 1);
  EXPECT_NE(danglingText.find("a symbolic link to nothing"), std::string::npos) << danglingText;
  EXPECT_FALSE(fs::exists(target.parent_path()));

  auto [named, namedText] = RunCli("-q -- '" + clip.string() + "'");
  EXPECT_EQ(named, 0) << namedText;
  EXPECT_TRUE(fs::exists(folder.Path() / "-clip:01_(Vidora)_3GP.3gp"));
}

// A pipe is read once, and a stop signal still leaves a file that plays.
// Waits (up to 30 s) until the process started as `command` catches `signal`:
// on a loaded machine a stop sent earlier would meet the default action, not the converter.
void WaitUntilCatches(const std::string& command, int signal) {
  for (int i = 0; i < 600; ++i) {
    std::unique_ptr<FILE, int (*)(FILE*)> ids(popen(("pgrep -f '^" + command + "'").c_str(), "r"), pclose);
    int pid = 0;
    if (ids && std::fscanf(ids.get(), "%d", &pid) == 1) {
      std::ifstream status("/proc/" + std::to_string(pid) + "/status");
      for (std::string line; std::getline(status, line);)
        if (line.rfind("SigCgt:", 0) == 0 && (std::stoull(line.substr(7), nullptr, 16) >> (signal - 1) & 1)) return;
    }
    usleep(50000);
  }
  ADD_FAILURE() << command << " never caught signal " << signal;
}

TEST(Converter, StopSignalsFinishWhatAPipeGave) {
  TTempFolder folder;
  fs::path fifo = folder.Path() / "live.ts", result = folder.Path() / "live.3gp";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  // A live source: the clip again and again, for longer than the test waits.
  std::string feed = "(for i in $(seq 40); do cat '" + std::string(CLIPS_DIR) + "/clip.ts' || exit; sleep 0.2; done) > '" +
                     fifo.string() + "' 2>/dev/null &";
  ASSERT_EQ(std::system(feed.c_str()), 0);
  std::string command = std::string(CLI_PATH) + " -q -o '" + result.string() + "' '" + fifo.string() + "' 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  // Wait until the clip's pictures have reached the output, then stop the converter.
  for (int i = 0; i < 100 && (!fs::exists(result) || fs::file_size(result) < 20000); ++i) usleep(50000);
  std::system(("pkill -TERM -f '^" + std::string(CLI_PATH) + " -q -o " + result.string() + "'").c_str());
  std::string output;
  char buffer[4096];
  while (size_t count = std::fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, count);
  int status = pclose(pipe);
  EXPECT_EQ(WEXITSTATUS(status), 1) << output;
  EXPECT_NE(output.find("stopped; " + result.string() + " holds what was converted"), std::string::npos) << output;
  EXPECT_EQ(StreamSummary(result), "h263,176,144\n");

  // A source that never opens: the stop ends the converter at once, leaving nothing.
  fs::path silent = folder.Path() / "silent.ts";
  ASSERT_EQ(mkfifo(silent.c_str(), 0600), 0);
  pipe = popen(("timeout 30 " + std::string(CLI_PATH) + " -q '" + silent.string() + "' 2>&1").c_str(), "r");
  WaitUntilCatches(std::string(CLI_PATH) + " -q " + silent.string(), SIGTERM);
  std::system(("pkill -TERM -f '^" + std::string(CLI_PATH) + " -q " + silent.string() + "'").c_str());
  output.clear();
  while (size_t count = std::fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, count);
  status = pclose(pipe);
  EXPECT_EQ(WEXITSTATUS(status), 128 + SIGTERM) << output;
  EXPECT_NE(output.find("stopped before converting; nothing was written"), std::string::npos) << output;
  EXPECT_FALSE(fs::exists(folder.Path() / "silent_(Vidora)_3GP.3gp"));
}

// The end of a run used to race with its report: short runs on one CPU crashed.
TEST(Converter, ShortRunsOnOneCPUEndCleanly) {
  TTempFolder folder;
  fs::path sound = folder.Path() / "second.mp3";
  fs::copy_file(std::string(CLIPS_DIR) + "/second.mp3", sound);
  for (int run = 0; run < 20; ++run) {
    fs::path result = folder.Path() / ("run" + std::to_string(run) + ".3gp");
    auto [status, output] = RunCli("-q -o '" + result.string() + "' '" + sound.string() + "'", "taskset -c 0 ");
    ASSERT_EQ(status, 0) << "run " << run << ": " << output;
    ASSERT_EQ(StreamSummary(result), "amr_nb,8000,1\n");
  }
}

// A busy picture with sound, made for the test: every picture differs.
fs::path MakeBusyClip(const TTempFolder& folder, int seconds) {
  fs::path clip = folder.Path() / ("busy" + std::to_string(seconds) + ".mp4");
  std::string command = "ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=size=176x144:rate=25,noise=alls=20:allf=t "
                        "-f lavfi -i sine=frequency=440 -t " + std::to_string(seconds) +
                        " -c:v libx264 -preset ultrafast -crf 23 -c:a aac '" + clip.string() + "'";
  EXPECT_EQ(std::system(command.c_str()), 0);
  return clip;
}

// The length of a file's first stream of that kind ("v" or "a"), or of the whole file.
double Seconds(const fs::path& file, const std::string& stream = "") {
  std::string which = stream.empty() ? "format=duration" : "stream=duration -select_streams " + stream + ":0";
  return std::atof(CommandOutput("ffprobe -v error -show_entries " + which + " -of csv=p=0 '" + file.string() + "'").c_str());
}

size_t FileCount(const fs::path& folder) {
  return static_cast<size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

TEST(FitIntoSize, ABusyClipFillsButNeverPassesTheLimit) {
  TTempFolder folder;
  fs::path clip = MakeBusyClip(folder, 20), result = folder.Path() / "busy20_(Vidora)_3GP.3gp";
  for (const char* nonsense : {"abc", "0", "-5", "12T"}) {
    auto [status, output] = RunCli("--size " + std::string(nonsense) + " '" + clip.string() + "'");
    EXPECT_EQ(status, 2) << nonsense;
    EXPECT_NE(output.find("--size: a size such as 300k, 1.5M or 600KiB is needed"), std::string::npos) << output;
  }
  auto [status, output] = RunCli("-q --size 300k '" + clip.string() + "'");
  ASSERT_EQ(status, 0) << output;
  EXPECT_LE(fs::file_size(result), 300000u);
  EXPECT_GE(fs::file_size(result), 255000u) << "at least 85 % of the budget";
  EXPECT_EQ(StreamSummary(result), "h263,176,144\namr_nb,8000,1\n");
  EXPECT_NEAR(Seconds(result), 20, 0.1) << "the whole film";
  EXPECT_EQ(FileCount(folder.Path()), 2u) << "no attempt is left beside it";
}

TEST(FitIntoSize, PartsEachFitAndAddUpToTheFilm) {
  TTempFolder folder;
  fs::path clip = MakeBusyClip(folder, 60);
  auto [impossible, impossibleText] = RunCli("--size 20k '" + clip.string() + "'");
  EXPECT_EQ(impossible, 1);
  EXPECT_NE(impossibleText.find("20 KB holds about "), std::string::npos) << impossibleText;
  EXPECT_NE(impossibleText.find(" s of this film at the lowest quality; try --split 20k or a shorter part"),
            std::string::npos) << impossibleText;
  EXPECT_EQ(FileCount(folder.Path()), 1u) << "nothing is written";
  // Noise takes more than the budget even at the encoder's largest quantiser:
  // only the first pass can tell, and the second must not be asked for less.
  fs::path noise = folder.Path() / "noise.mp4";
  ASSERT_EQ(std::system(("ffmpeg -nostdin -v error -y -f lavfi -i 'nullsrc=size=176x144:rate=25,geq=random(1)*255:128:128' "
                         "-t 5 -c:v libx264 -preset ultrafast -crf 16 '" + noise.string() + "'").c_str()), 0);
  auto [noisy, noisyText] = RunCli("-q --size 300k '" + noise.string() + "'");
  EXPECT_EQ(noisy, 1) << noisyText;
  EXPECT_NE(noisyText.find("even at the encoder's lowest quality this picture needs"), std::string::npos) << noisyText;
  EXPECT_EQ(FileCount(folder.Path()), 2u) << "nothing is written";

  auto [status, output] = RunCli("-q --split 300k '" + clip.string() + "'");
  ASSERT_EQ(status, 0) << output;
  double total = 0;
  int parts = 0;
  for (fs::path part; fs::exists(part = folder.Path() / ("busy60_(Vidora)_3GP_" + std::to_string(parts + 1) + ".3gp"));
       ++parts) {
    EXPECT_LE(fs::file_size(part), 300000u) << part;
    EXPECT_EQ(StreamSummary(part), "h263,176,144\namr_nb,8000,1\n");
    // The sound ends on its own 20 ms frames: within one picture of the picture.
    EXPECT_NEAR(Seconds(part, "a"), Seconds(part, "v"), 0.04) << part;
    total += Seconds(part, "v");
  }
  EXPECT_GE(parts, 2);
  EXPECT_NEAR(total, 60, 0.1);
  EXPECT_EQ(FileCount(folder.Path()), 2u + parts);
}

// A download that stopped halfway still promises its whole length: the parts
// end where its data does, and the converter says so, keeping them.
TEST(FitIntoSize, AFilmCutShortIsSplitUpToWhereItBreaksOff) {
  TTempFolder folder;
  fs::path clip = MakeBusyClip(folder, 30), whole = folder.Path() / "whole.mp4", cut = folder.Path() / "cut.mp4";
  ASSERT_EQ(std::system(("ffmpeg -nostdin -v error -i '" + clip.string() + "' -c copy -movflags +faststart '" +
                         whole.string() + "'").c_str()), 0);
  fs::resize_file(whole, fs::file_size(whole) / 2);
  fs::rename(whole, cut);
  auto [status, output] = RunCli("-q --split 150k '" + cut.string() + "'");
  EXPECT_EQ(status, 1) << output;
  EXPECT_EQ(output.find("nothing could be read"), std::string::npos) << output;
  size_t at = output.find("input broke off at ");
  ASSERT_NE(at, std::string::npos) << output;
  double end = std::atof(output.c_str() + at + 19);
  EXPECT_GT(end, 5);
  EXPECT_LT(end, 25);
  double total = 0;
  int parts = 0;
  for (fs::path part; fs::exists(part = folder.Path() / ("cut_(Vidora)_3GP_" + std::to_string(parts + 1) + ".3gp"));
       ++parts) {
    EXPECT_LE(fs::file_size(part), 150000u) << part;
    total += Seconds(part, "v");
  }
  EXPECT_GE(parts, 2);
  EXPECT_NEAR(total, end, 0.2);
  EXPECT_EQ(FileCount(folder.Path()), 2u + parts) << "no attempt is left beside them";
}

// A pipe has no length to plan by: it is copied aside as it comes, then split.
// A stop during a pass leaves neither an output nor the first pass's statistics.
TEST(FitIntoSize, APipeIsMeasuredAsItComesAndAStopLeavesNothingBehind) {
  TTempFolder folder, temporary;
  fs::path clip = MakeBusyClip(folder, 30), stream = folder.Path() / "busy30.ts";
  ASSERT_EQ(std::system(("ffmpeg -nostdin -v error -i '" + clip.string() + "' -c copy '" + stream.string() + "'").c_str()), 0);
  fs::path piped = folder.Path() / "piped.3gp";
  auto [status, output] = RunCli("-q --split 300k -o '" + piped.string() + "' pipe:0", "cat '" + stream.string() + "' | ");
  ASSERT_EQ(status, 0) << output;
  double total = 0;
  int parts = 0;
  for (fs::path part; fs::exists(part = folder.Path() / ("piped_" + std::to_string(parts + 1) + ".3gp")); ++parts) {
    EXPECT_LE(fs::file_size(part), 300000u) << part;
    total += Seconds(part, "v");
  }
  EXPECT_GE(parts, 2);
  EXPECT_NEAR(total, 30, 0.1);
  EXPECT_EQ(FileCount(folder.Path()), 2u + parts) << "the copy of the pipe is gone";

  std::string command = std::string(CLI_PATH) + " -q --size 300k " + clip.string();
  FILE* pipe = popen(("TMPDIR='" + temporary.Path().string() + "' " + command + " 2>&1").c_str(), "r");
  WaitUntilCatches(command, SIGTERM);
  // Stop while the first pass writes its statistics.
  for (int i = 0; i < 1500 && FileCount(temporary.Path()) == 0; ++i) usleep(20000);
  EXPECT_EQ(FileCount(temporary.Path()), 1u) << "the first pass never began";
  std::system(("pkill -TERM -f '^" + command + "'").c_str());
  output.clear();
  char buffer[4096];
  while (size_t count = std::fread(buffer, 1, sizeof buffer, pipe)) output.append(buffer, count);
  EXPECT_EQ(WEXITSTATUS(pclose(pipe)), 1) << output;
  EXPECT_NE(output.find("stopped; " + (folder.Path() / "busy30_(Vidora)_3GP.3gp").string() + " was not written"),
            std::string::npos) << output;
  EXPECT_EQ(FileCount(temporary.Path()), 0u);
  EXPECT_EQ(FileCount(folder.Path()), 2u + parts);
}

// Serves the first `bytes` of a file to one client on 127.0.0.1, then resets the connection.
class TBreakingServer {
 public:
  TBreakingServer(const fs::path& file, size_t bytes) {
    FSocket = test::ListenOnLoopback(FPort);
    std::ifstream in(file, std::ios::binary);
    std::string data((std::istreambuf_iterator<char>(in)), {});
    data.resize(std::min(bytes, data.size()));
    FThread = std::thread([this, data] {
      int client = accept(FSocket, nullptr, nullptr);
      if (client < 0) return;
      send(client, data.data(), data.size(), MSG_NOSIGNAL);
      usleep(300000);
      linger reset{1, 0};  // close with a reset, as a dropped connection does
      setsockopt(client, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
      close(client);
    });
  }
  ~TBreakingServer() {
    shutdown(FSocket, SHUT_RDWR);
    close(FSocket);
    FThread.join();
  }
  int Port() const { return FPort; }

 private:
  int FSocket = -1;
  int FPort = 0;
  std::thread FThread;
};

TEST(Converter, AnInputThatBreaksOffStillGivesAFileThatPlays) {
  TTempFolder folder;
  fs::path result = folder.Path() / "live.3gp";
  TBreakingServer server(fs::path(CLIPS_DIR) / "clip.ts", 150000);
  auto [status, output] =
      RunCli("-q -o '" + result.string() + "' tcp://127.0.0.1:" + std::to_string(server.Port()));
  EXPECT_EQ(status, 1);
  EXPECT_NE(output.find(": input broke off at "), std::string::npos) << output;
  EXPECT_NE(output.find("Connection reset by peer; " + result.string() + " holds what was converted"), std::string::npos)
      << output;
  EXPECT_EQ(StreamSummary(result), "h263,176,144\n");
}

TEST(Converter, AnOutputThatCannotBeFinishedIsRemoved) {
  TTempFolder folder;
  fs::path clip = folder.Path() / "grey.mp4";
  fs::copy_file(std::string(CLIPS_DIR) + "/grey.mp4", clip);
  // A 16 KiB file-size limit fails the writes as a full disk would.
  auto [status, output] = RunCli("-q '" + clip.string() + "'", "ulimit -f 16; ");
  EXPECT_EQ(status, 1);
  EXPECT_NE(output.find("File too large; the unfinished "), std::string::npos) << output;
  EXPECT_FALSE(fs::exists(folder.Path() / "grey_(Vidora)_3GP.3gp"));
}

TEST(Converter, AFilmWhosePicturesCannotBeDecodedSaysSoAndKeepsItsSound) {
  TTempFolder folder;
  // Cut in front of its only parameter sets, the picture stream is lost; the sound is not.
  fs::path whole = folder.Path() / "whole.ts", cut = folder.Path() / "cut.ts";
  ASSERT_EQ(std::system(("ffmpeg -v error -f lavfi -i testsrc=size=176x144:rate=25 -f lavfi -i sine -t 4 "
                         "-c:v libx264 -c:a aac '" + whole.string() + "' && tail -c +4097 '" + whole.string() +
                         "' > '" + cut.string() + "'").c_str()),
            0);
  auto [status, output] = RunCli("-q '" + cut.string() + "'");
  EXPECT_EQ(status, 1) << "a film that became a sound file is not a success";
  EXPECT_NE(output.find(": no picture could be decoded from stream #0.0, so "), std::string::npos) << output;
  EXPECT_EQ(StreamSummary(folder.Path() / "cut_(Vidora)_3GP.3gp"), "amr_nb,8000,1\n");
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
  EXPECT_EQ(refused, 2);
  EXPECT_NE(refusedText.find("qscale must be > 0.0 and <= 255"), std::string::npos) << refusedText;
  auto [unwritable, unwritableText] = RunCli("-o /proc/none/x.3gp '" + clip.string() + "'");
  EXPECT_EQ(unwritable, 1);
  std::vector<fs::path> left;
  for (const auto& entry : fs::directory_iterator(folder.Path())) left.push_back(entry.path().filename());
  EXPECT_EQ(left.size(), 2u) << "only the two inputs";
}

// The luma of the picture at `seconds`, decoded by the ffmpeg tool.
std::vector<uint8_t> LumaAt(const fs::path& file, double seconds, size_t size) {
  std::string command = "ffmpeg -v error -ss " + std::to_string(seconds) + " -i '" + file.string() +
                        "' -frames:v 1 -f rawvideo -pix_fmt gray -";
  std::vector<uint8_t> luma(size);
  FILE* pipe = popen(command.c_str(), "r");
  size_t read = std::fread(luma.data(), 1, size, pipe);
  pclose(pipe);
  luma.resize(read);
  return luma;
}

TEST(Converter, BurnsSubtitlesIntoThePicture) {
  TTempFolder folder;
  fs::path clip = folder.Path() / "grey.mp4", subtitles = folder.Path() / "grey.srt";
  fs::copy_file(std::string(CLIPS_DIR) + "/grey.mp4", clip);
  // 40 characters stay 2.4 s: from 1 s to 3.4 s.
  std::ofstream(subtitles) << "1\r\n00:00:01,000 --> 00:00:03,000\r\nBright words on a grey|ground, for a test\r\n\r\n";
  auto [status, output] = RunCli("-q '" + clip.string() + "' '" + subtitles.string() + "'");
  ASSERT_EQ(status, 0) << output;
  fs::path result = folder.Path() / "grey_(Vidora)_3GP.3gp";
  EXPECT_EQ(StreamSummary(result), "h263,176,144\namr_nb,8000,1\n");

  auto band = [&](double seconds) {
    std::vector<uint8_t> luma = LumaAt(result, seconds, 176 * 144);
    EXPECT_EQ(luma.size(), 176u * 144u);
    std::pair<int, int> brightDark{0, 0};
    for (size_t i = 0; i < luma.size(); ++i) {
      bool lower = i / 176 >= 96;
      EXPECT_TRUE(lower || (luma[i] > 90 && luma[i] < 170)) << "text only in the lower band, pixel " << i;
      brightDark.first += lower && luma[i] > 200;
      brightDark.second += lower && luma[i] < 50;
    }
    return brightDark;
  };
  auto [bright, dark] = band(2.0);
  EXPECT_GT(bright, 40) << "bright text";
  EXPECT_GT(dark, 40) << "with a dark outline";
  auto [after, afterDark] = band(3.7);
  EXPECT_EQ(after + afterDark, 0) << "gone after its time";

  fs::path empty = folder.Path() / "empty.srt", binary = folder.Path() / "binary.srt";
  std::ofstream(empty) << "";
  std::string bytes;
  for (int i = 0; i < 2048; ++i) bytes += static_cast<char>(i * 37 % 256);
  std::ofstream(binary, std::ios::binary) << bytes;
  for (const fs::path& unreadable : {empty, binary}) {
    auto [refused, refusedText] = RunCli("-q '" + clip.string() + "' '" + unreadable.string() + "'");
    EXPECT_EQ(refused, 1) << unreadable;
    EXPECT_NE(refusedText.find("no subtitles could be read"), std::string::npos) << refusedText;
  }
}

TEST(Converter, FixedSetAndSkinProfilesGiveFilesThatPlay) {
  TTempFolder folder;
  fs::path clip = folder.Path() / "clip.mp4";
  fs::copy_file(std::string(CLIPS_DIR) + "/clip.mp4", clip);
  auto [fixed, fixedText] = RunCli("-q --lo '" + clip.string() + "'");
  ASSERT_EQ(fixed, 0) << fixedText;
  fs::path lo = folder.Path() / "clip_(Vidora)_3GP.3gp";
  EXPECT_EQ(StreamSummary(lo), "mpeg4,320,240\naac,22050,2\n");
  std::string decodeAll = "ffmpeg -v error -xerror -i '" + lo.string() + "' -f null - 2>&1";
  EXPECT_EQ(std::system(decodeAll.c_str()), 0) << "every packet decodes";

  auto [skin, skinText] = RunCli("-q --skin Wide320 '" + clip.string() + "'");
  ASSERT_EQ(skin, 0) << skinText;
  EXPECT_EQ(StreamSummary(folder.Path() / "clip_(Vidora)_Wide320.3gp"), "mpeg4,320,240\naac,22050,2\n");
  fs::path random = folder.Path() / "data/vidora3gp/Skins/Random";
  fs::create_directories(random);
  std::ofstream(random / "skin.all") << "[btnAdd]\nLeft=3\n";
  auto [unprofiled, unprofiledText] =
      RunCli("-q --skin Random '" + clip.string() + "'", "XDG_DATA_HOME='" + (folder.Path() / "data").string() + "' ");
  EXPECT_EQ(unprofiled, 2);
  EXPECT_NE(unprofiledText.find("skin Random has no phone profile"), std::string::npos) << unprofiledText;
  auto [again, againText] = RunCli("-q --lo '" + clip.string() + "'");
  ASSERT_EQ(again, 0) << againText;
  EXPECT_TRUE(fs::exists(folder.Path() / "clip_(Vidora_1)_3GP.3gp")) << "the first output is not overwritten";
  auto [bad, badText] = RunCli("-q --set VideoBitrate=fast '" + clip.string() + "'");
  EXPECT_EQ(bad, 2);
  EXPECT_NE(badText.find("profile field VideoBitrate: 'fast' is not a valid integer value"), std::string::npos)
      << badText;
  // A rate the phone's codec cannot take is lowered, and the user hears of it.
  auto [fast, fastText] = RunCli("--set FrameRate=60 '" + clip.string() + "'");
  EXPECT_EQ(fast, 0) << fastText;
  EXPECT_NE(fastText.find(": h263 takes at most 30000/1001 pictures a second: the frame rate 60/1 is lowered to it"),
            std::string::npos)
      << fastText;
}

TEST(Converter, PaddingFromTheCommandLineOrAProfileLine) {
  // A portrait picture, bright all over: black bars are what padding adds.
  TTempFolder folder;
  fs::path clip = folder.Path() / "portrait.mp4";
  CommandOutput("ffmpeg -nostdin -v error -f lavfi -i color=c=white:size=360x640:rate=25:duration=0.4 -c:v mpeg4 '" +
                clip.string() + "'");
  // The columns of a middle line of the output's first picture that are not black.
  auto brightColumns = [](const fs::path& file) {
    std::string line = CommandOutput("ffmpeg -nostdin -v error -i '" + file.string() +
                                     "' -frames:v 1 -vf crop=176:2:0:72 -f rawvideo -pix_fmt gray -");
    return std::count_if(line.begin(), line.begin() + std::min<size_t>(line.size(), 176), [](char pixel) { return static_cast<unsigned char>(pixel) > 128; });
  };
  for (auto [option, columns] : std::vector<std::pair<std::string, int>>{
           {"--fit pad", 82}, {"--set ExtOptions=fit=pad", 82}, {"--set ExtOptions=fit=pad --fit stretch", 176}, {"", 176}}) {
    fs::path output = folder.Path() / "out.3gp";
    auto [status, text] = RunCli("-q --overwrite " + option + " -o '" + output.string() + "' '" + clip.string() + "'");
    ASSERT_EQ(status, 0) << option << text;
    EXPECT_NEAR(brightColumns(output), columns, 3) << option;
  }
}

}  // namespace
}  // namespace vidora::test
