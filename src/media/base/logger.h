// The one log sink of the media layer, and the capture of the libraries' own log.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "base_component.h"

namespace vidora {

enum class TLogLevel { llQuiet, llPanic, llFatal, llError, llWarning, llInfo, llVerbose, llDebug };

// The libraries' numeric level of a log level (quiet -8 ... debug 48).
int LibraryLogLevel(TLogLevel level);
// A library level as a log level; values between two levels fall to the lower one.
TLogLevel LogLevelFromLibrary(int value);

// The system's id of the calling thread, as shown in log lines.
uint32_t CurrentThreadID();

// With TriggerEventInMainThread, lines of other threads arrive on the main
// thread later, in order; their sender may be gone by then, so it is only to
// be compared, never used.
using TLogEvent =
    std::function<void(const void* sender, uint32_t threadID, TLogLevel level, const std::string& message)>;

void LibraryLogCallback(void* context, int level, const char* format, va_list args);
// Shows the counts of repeated library lines still held back (at the end of a run).
void FlushRepeatedLibraryLines();
// Hands library lines of that library level to the current logger's handler.
void DeliverLibraryLines(const std::vector<std::string>& lines, int level, uint32_t threadID);

class TFFLogger : public TFFBaseComponent {
 public:
  TFFLogger();  // becomes the current logger of the process
  ~TFFLogger() override;
  TFFLogger(const TFFLogger&) = delete;
  TFFLogger& operator=(const TFFLogger&) = delete;

  TLogLevel LogLevel() const { return FLogLevel.load(); }
  void SetLogLevel(TLogLevel level);
  bool TriggerEventInMainThread() const { return FTriggerEventInMainThread.load(); }
  void SetTriggerEventInMainThread(bool value) { FTriggerEventInMainThread = value; }
  void SetOnLog(TLogEvent handler);

  void Log(const void* sender, TLogLevel level, const std::string& message);
  void Log(const void* sender, TLogLevel level, const char* format, ...) __attribute__((format(printf, 4, 5)));
  // The printf form for callers with their own variable arguments; nothing is
  // formatted for a line that would not be delivered.
  void LogV(const void* sender, TLogLevel level, const char* format, va_list args);
  // Whether a line of this level would reach a handler.
  bool Passes(TLogLevel level) const;
  // Sets the level from the text of the "loglevel" option: a level name or an
  // integer. Throws std::invalid_argument for anything else.
  void OptLogLevel(const std::string& arg);

  // Installs the libraries' log callback and applies the current level.
  static void InstallAVLogCallback();

 private:
  friend void LibraryLogCallback(void*, int, const char*, va_list);
  friend void DeliverLibraryLines(const std::vector<std::string>& lines, int level, uint32_t threadID);
  TLogEvent OnLogHandler() const;
  bool HasHandler() const;
  static void Deliver(const TLogEvent& handler, bool toMainThread, const void* sender, uint32_t threadID,
                      TLogLevel level, const std::string& message);
  static void DeliverQueued();

  bool FAutoCreated = false;
  std::atomic<bool> FTriggerEventInMainThread{true};
  std::atomic<TLogLevel> FLogLevel;
  mutable std::mutex FLock;  // guards FOnLog
  TLogEvent FOnLog;

  friend TFFLogger& FFLogger();
  friend struct TLogUnit;
};

// The current logger, created on demand when the host made none.
TFFLogger& FFLogger();

}  // namespace vidora
