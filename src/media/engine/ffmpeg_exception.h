// The engine's error for misuse and set-up failures.
#pragma once

#include <stdexcept>
#include <string>

namespace vidora {

// The message is the fixed text users see; the library's error code behind
// the failure, when there is one, travels beside it for the log.
class FFmpegException : public std::runtime_error {
 public:
  explicit FFmpegException(const std::string& message, int code = 0) : std::runtime_error(message), FCode(code) {}
  // The library's (negative) error code; 0 when the failure is the engine's own.
  int Code() const { return FCode; }
  // The library's words for the code ("Invalid argument"); empty without one.
  std::string Reason() const;
  // The message with the library's reason, for the log line of the failure.
  std::string LogText() const;

 private:
  int FCode = 0;
};

// An option of the option text that nothing takes, or a value its option refuses.
class FFmpegOptionException : public FFmpegException {
 public:
  using FFmpegException::FFmpegException;
};

}  // namespace vidora
