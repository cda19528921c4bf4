#include "logger.h"

#include <strings.h>
#include <unistd.h>

#include <memory>
#include <stdexcept>
#include <unordered_map>
#include <vector>

#include "bindings.h"
#include "log_folding.h"
#include "log_queue.h"
#include "main_thread.h"
#include "text_convert.h"
#include "text_format.h"

namespace vidora {

// Process-wide state of the log unit.
struct TLogUnit {
  std::mutex CurrentLock;  // guards Current
  std::mutex CreateLock;   // one on-demand logger at a time
  TFFLogger* Current = nullptr;
  std::atomic<int> Threshold{AV_LOG_INFO};  // library messages above it are dropped
  TLogQueue Queue;  // lines of other threads waiting for the main thread

  // Serialises the library callback; guards what follows.
  std::mutex GlobalLogLock;
  std::unordered_map<uint32_t, std::string> Pending;  // per thread: text since its last line feed
  TRepeatFolder Folder;

  ~TLogUnit() {
    TFFLogger* automatic = nullptr;
    {
      std::lock_guard lock(CurrentLock);
      if (Current && Current->FAutoCreated) automatic = Current;
    }
    delete automatic;
  }
};

namespace {

TLogUnit& Unit() {
  static TLogUnit unit;
  return unit;
}

void ApplyLibraryLevel(TLogLevel level) {
  Unit().Threshold = LibraryLogLevel(level);
  if (avutil.av_log_set_level) avutil.av_log_set_level(Unit().Threshold);
}

// "[parent @ address] [context @ address]" for a library context.
std::string ContextPrefix(void* context) {
  const AVClass* avc = *static_cast<const AVClass**>(context);
  if (!avc) return {};
  auto itemName = [](const AVClass* cls, void* object) {
    return cls->item_name ? cls->item_name(object) : cls->class_name;
  };
  std::string prefix;
  if (avc->parent_log_context_offset) {
    auto** parent = *reinterpret_cast<const AVClass***>(static_cast<uint8_t*>(context) +
                                                        avc->parent_log_context_offset);
    if (parent && *parent) prefix = Format("[%s @ %p] ", itemName(*parent, parent), static_cast<void*>(parent));
  }
  return prefix + Format("[%s @ %p]", itemName(avc, context), context);
}

}  // namespace

int LibraryLogLevel(TLogLevel level) { return static_cast<int>(level) * 8 - 8; }

TLogLevel LogLevelFromLibrary(int value) {
  if (value < AV_LOG_QUIET) return TLogLevel::llQuiet;
  if (value >= AV_LOG_DEBUG) return TLogLevel::llDebug;
  // Floor division: a value between two levels falls to the lower one, so -1 is quiet.
  int floored = value < 0 ? (value - 7) / 8 : value / 8;
  return static_cast<TLogLevel>(floored + 1);
}

uint32_t CurrentThreadID() { return static_cast<uint32_t>(gettid()); }

TFFLogger::TFFLogger() : TFFBaseComponent("1.0"), FLogLevel(LogLevelFromLibrary(Unit().Threshold)) {
  TFFLogger* previousAutomatic = nullptr;
  {
    std::lock_guard lock(Unit().CurrentLock);
    if (Unit().Current && Unit().Current->FAutoCreated) previousAutomatic = Unit().Current;
    Unit().Current = this;
  }
  delete previousAutomatic;
}

TFFLogger::~TFFLogger() {
  std::lock_guard lock(Unit().CurrentLock);
  if (Unit().Current == this) Unit().Current = nullptr;
}

TFFLogger& FFLogger() {
  std::lock_guard create(Unit().CreateLock);
  {
    std::lock_guard lock(Unit().CurrentLock);
    if (Unit().Current) return *Unit().Current;
  }
  auto* logger = new TFFLogger();
  logger->FAutoCreated = true;
  return *logger;
}

void TFFLogger::SetLogLevel(TLogLevel level) {
  if (FLogLevel.exchange(level) != level) ApplyLibraryLevel(level);
}

void TFFLogger::SetOnLog(TLogEvent handler) {
  std::lock_guard lock(FLock);
  FOnLog = std::move(handler);
}

TLogEvent TFFLogger::OnLogHandler() const {
  std::lock_guard lock(FLock);
  return FOnLog;
}

bool TFFLogger::HasHandler() const {
  std::lock_guard lock(FLock);
  return static_cast<bool>(FOnLog);
}

// A line for the main thread is posted, never waited for: callers log under
// their locks, and the sound callback under the sound device's, which the main
// thread takes to pause.
void TFFLogger::Deliver(const TLogEvent& handler, bool toMainThread, const void* sender, uint32_t threadID,
                        TLogLevel level, const std::string& message) {
  if (toMainThread && !IsMainThread()) {
    if (Unit().Queue.Add(TLogLine{sender, threadID, level, message})) PostToMainThread(DeliverQueued);
    return;
  }
  if (toMainThread) DeliverQueued();  // the other threads' earlier lines first
  handler(sender, threadID, level, message);
}

// On the main thread: the queued lines go to the handler of the logger that is
// current now (the one they were logged through may be gone).
void TFFLogger::DeliverQueued() {
  int leftOut = 0;
  std::vector<TLogLine> lines = Unit().Queue.Take(leftOut);
  if (lines.empty() && leftOut == 0) return;
  TLogEvent handler;
  const void* logger = nullptr;
  {
    std::lock_guard lock(Unit().CurrentLock);
    if (Unit().Current) {
      handler = Unit().Current->OnLogHandler();
      logger = Unit().Current;
    }
  }
  if (!handler) return;
  for (const TLogLine& line : lines) handler(line.Sender, line.ThreadID, line.Level, line.Message);
  if (leftOut > 0)
    handler(logger, CurrentThreadID(), TLogLevel::llWarning,
            Format("%d log lines were left out: they came faster than the main thread took them", leftOut));
}

bool TFFLogger::Passes(TLogLevel level) const {
  TLogLevel current = LogLevel();
  // Verbose lines pass at every level but quiet.
  bool passes = level <= current || (level == TLogLevel::llVerbose && current != TLogLevel::llQuiet);
  return passes && HasHandler();
}

void TFFLogger::Log(const void* sender, TLogLevel level, const std::string& message) {
  if (!Passes(level)) return;
  TLogEvent handler = OnLogHandler();
  if (handler) Deliver(handler, TriggerEventInMainThread(), sender, CurrentThreadID(), level, message);
}

void TFFLogger::LogV(const void* sender, TLogLevel level, const char* format, va_list args) {
  if (Passes(level)) Log(sender, level, FormatV(format, args));
}

void TFFLogger::Log(const void* sender, TLogLevel level, const char* format, ...) {
  va_list args;
  va_start(args, format);
  LogV(sender, level, format, args);
  va_end(args);
}

void TFFLogger::OptLogLevel(const std::string& arg) {
  static const char* const names[] = {"quiet", "panic", "fatal", "error", "warning", "info", "verbose", "debug"};
  for (int i = 0; i < 8; ++i) {
    if (strcasecmp(arg.c_str(), names[i]) == 0) {
      SetLogLevel(static_cast<TLogLevel>(i));
      return;
    }
  }
  SetLogLevel(LogLevelFromLibrary(StrToInt(arg)));
}

void TFFLogger::InstallAVLogCallback() {
  if (!avutil.av_log_set_callback) return;
  avutil.av_log_set_callback(LibraryLogCallback);
  ApplyLibraryLevel(FFLogger().LogLevel());
}

void LibraryLogCallback(void* context, int level, const char* format, va_list args) {
  TLogUnit& unit = Unit();
  if (unit.Threshold < level) return;
  uint32_t threadID = CurrentThreadID();
  std::vector<std::string> lines;
  {
    std::lock_guard lock(unit.GlobalLogLock);
    std::string& pending = unit.Pending[threadID];
    std::string text;
    if (context && pending.empty()) text = ContextPrefix(context);
    text += FormatV(format, args);
    pending += text;
    for (size_t end; (end = pending.find('\n')) != std::string::npos; pending.erase(0, end + 1))
      for (std::string& line : unit.Folder.Take(pending.substr(0, end))) lines.push_back(std::move(line));
    if (pending.empty()) unit.Pending.erase(threadID);
  }
  DeliverLibraryLines(lines, level, threadID);
}

void FlushRepeatedLibraryLines() {
  std::vector<std::string> lines;
  {
    std::lock_guard lock(Unit().GlobalLogLock);
    lines = Unit().Folder.Flush();
  }
  DeliverLibraryLines(lines, AV_LOG_WARNING, CurrentThreadID());
}

void DeliverLibraryLines(const std::vector<std::string>& lines, int level, uint32_t threadID) {
  if (lines.empty()) return;
  // Delivered after leaving the lock, so that a main thread that logs while a
  // worker waits for it cannot deadlock.
  TFFLogger& logger = FFLogger();
  TLogEvent handler = logger.OnLogHandler();
  if (!handler) return;
  TLogLevel lineLevel = LogLevelFromLibrary(level);
  bool toMainThread = logger.TriggerEventInMainThread();
  for (const std::string& line : lines)
    TFFLogger::Deliver(handler, toMainThread, &logger, threadID, lineLevel, line);
}

}  // namespace vidora
