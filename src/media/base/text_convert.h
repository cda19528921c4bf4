// Text to number conversions that refuse what is not entirely a number.
#pragma once

#include <cstdint>
#include <string>

namespace vidora {

// Throw std::invalid_argument "'%s' is not a valid integer value" (or
// "... floating point value") for text that is not a number.
int32_t StrToInt(const std::string& text);
int64_t StrToInt64(const std::string& text);
double StrToFloat(const std::string& text);
// The text without the given characters at either end.
std::string Trim(const std::string& text, const char* blanks = " \t\r\n");
std::string Upper(std::string text);
std::string Lower(std::string text);

// Integer with base detection: "0x" hexadecimal, a leading "0" octal. Sets
// `end` to the first character after the number; nothing read leaves it at text.
long StrToIntBase(const char* text, const char** end);

}  // namespace vidora
