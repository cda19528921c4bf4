// Text between character sets, and text into lines.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vidora {

// Converts `text` from one character set to another (iconv names). Nothing
// when the converter is unknown; a character with no counterpart gives
// nothing too, unless `lenient`, which skips that byte and goes on.
std::optional<std::string> Recode(const std::string& text, const char* from, const char* to, bool lenient = false);

// UTF-8 to code points; each invalid byte becomes U+FFFD and clears `valid`.
std::u32string DecodeUtf8(const std::string& text, bool* valid = nullptr);
std::string EncodeUtf8(const std::u32string& text);

// Lines at each "\n", without a "\r" before it; no line after a final "\n".
std::vector<std::string> SplitLines(const std::string& text);

}  // namespace vidora
