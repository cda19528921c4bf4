#include "file_names.h"

#include <langinfo.h>
#include <sys/stat.h>

#include <cstring>
#include <optional>

#include "text_codec.h"

namespace vidora {

namespace {

bool LocaleIsUTF8() { return std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0; }

// Converts between UTF-8 and the locale's character set; nothing when a
// character has no counterpart.
std::optional<std::string> Convert(const std::string& text, bool toLocale) {
  if (text.empty() || LocaleIsUTF8()) return text;
  const char* codeset = nl_langinfo(CODESET);
  return toLocale ? Recode(text, "UTF-8", codeset) : Recode(text, codeset, "UTF-8");
}

bool HasKnownPrefix(const std::string& name) {
  size_t colon = name.find(':');
  if (colon == std::string::npos || colon == 0) return false;
  std::string prefix = ":" + name.substr(0, colon) + ":";
  return std::strstr(KnownProtocolPrefixes, prefix.c_str()) != nullptr;
}

// Whether the media libraries would take the text before the first ":" for a
// protocol ("clip:01.mp4" would be protocol "clip").
bool LooksLikeProtocol(const std::string& name) {
  size_t schemeLength = std::strspn(name.c_str(), "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789+-.");
  return schemeLength > 0 && schemeLength < name.size() && name[schemeLength] == ':';
}

}  // namespace

bool IsProtocolName(const std::string& name) {
  // A file that exists under the name is that file, whatever its name looks like.
  struct stat entry;
  return HasKnownPrefix(name) && lstat(name.c_str(), &entry) != 0;
}

bool NeedsUnicodeName(const std::string& name) {
  if (IsProtocolName(name)) return false;
  // Only the known prefixes are protocols: any other name is a file, opened by our own I/O.
  if (LooksLikeProtocol(name)) return true;
  std::optional<std::string> local = Convert(name, true);
  if (!local) return true;
  std::optional<std::string> back = Convert(*local, false);
  return !back || *back != name;
}

std::string LibraryFileName(const std::string& name) {
  if (name.empty()) return {};
  if (NeedsUnicodeName(name)) return UnicodeNamePrefix + name;
  return Convert(name, true).value_or(name);
}

std::string WideFileName(const std::string& libraryName) {
  const size_t prefixLength = std::strlen(UnicodeNamePrefix);
  if (libraryName.size() > prefixLength && libraryName.compare(0, prefixLength, UnicodeNamePrefix) == 0)
    return libraryName.substr(prefixLength);
  return Convert(libraryName, false).value_or(libraryName);
}

}  // namespace vidora
