#include "text_convert.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <limits>
#include <stdexcept>

namespace vidora {

namespace {

[[noreturn]] void Refuse(const std::string& text, const char* kind) {
  throw std::invalid_argument("'" + text + "' is not a valid " + kind + " value");
}

}  // namespace

std::string Trim(const std::string& text, const char* blanks) {
  size_t first = text.find_first_not_of(blanks);
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

std::string Upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
  return text;
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

int64_t StrToInt64(const std::string& text) {
  std::string trimmed = Trim(text, " \t");
  char* end = nullptr;
  errno = 0;
  long long value = std::strtoll(trimmed.c_str(), &end, 10);
  if (trimmed.empty() || *end != '\0' || errno == ERANGE) Refuse(text, "integer");
  return value;
}

int32_t StrToInt(const std::string& text) {
  int64_t value = StrToInt64(text);
  if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max())
    Refuse(text, "integer");
  return static_cast<int32_t>(value);
}

double StrToFloat(const std::string& text) {
  std::string trimmed = Trim(text, " \t");
  char* end = nullptr;
  errno = 0;
  double value = std::strtod(trimmed.c_str(), &end);
  if (trimmed.empty() || *end != '\0' || errno == ERANGE) Refuse(text, "floating point");
  return value;
}

long StrToIntBase(const char* text, const char** end) {
  char* stop = nullptr;
  long value = std::strtol(text, &stop, 0);
  *end = stop;
  return value;
}

}  // namespace vidora
