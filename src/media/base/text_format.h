// printf-style formatting into a std::string of whatever length it needs.
#pragma once

#include <cstdarg>
#include <string>

namespace vidora {

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string FormatV(const char* format, va_list args);

}  // namespace vidora
