// The engine's error for misuse and set-up failures.
#pragma once

#include <stdexcept>
#include <string>

namespace vidora {

class FFmpegException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// An option of the option text that nothing takes, or a value its option refuses.
class FFmpegOptionException : public FFmpegException {
 public:
  using FFmpegException::FFmpegException;
};

}  // namespace vidora
