// File names as the media libraries receive them.
//
// Names in the media layer are UTF-8. The libraries get a name in the
// locale's character set when it survives the round trip, and otherwise
// "unicode:utf8:" + the UTF-8 name, which the layer's own I/O opens.
#pragma once

#include <string>

namespace vidora {

// Protocol prefixes that are passed on unconverted.
inline constexpr const char* KnownProtocolPrefixes = ":unicode:stream:gopher:http:pipe:rtp:tcp:udp:";
inline constexpr const char* UnicodeNamePrefix = "unicode:utf8:";

// A known protocol's address ("http://...", "pipe:1"), not a local file of that name.
bool IsProtocolName(const std::string& name);
bool NeedsUnicodeName(const std::string& name);
std::string LibraryFileName(const std::string& name);
std::string WideFileName(const std::string& libraryName);

}  // namespace vidora
