// The rules of the daily update check: when it is due, how the last start is
// stored, and which address of an answer may be opened.
#pragma once

#include <optional>
#include <string>

namespace vidora {

inline constexpr const char* UpdateCheckPath = "/LiveUpdate/check.php";
inline constexpr const char* UpdateAnswerMarker = "OpenWWW=";

// The body of the check: "prg=VidoraTo3GP&ver=" + version.
std::string UpdateCheckBody(const std::string& version);
// A check is due when there was a previous start (days since 1899-12-30,
// local) on another day of the month than `now`.
bool UpdateCheckDue(std::optional<double> lastStart, double now);
// "LastLU": the date-time as its raw 8 bytes (little-endian double), and back.
std::string EncodeLastStart(double dateTime);
std::optional<double> DecodeLastStart(const std::string& bytes);
// The address after the first marker of an answer (at most 1000 characters,
// trailing line breaks and blanks removed), when it is an absolute http:// or
// https:// address without control characters: an answer must not open
// local files, scripts or programs.
std::optional<std::string> AddressInAnswer(const std::string& answer);

}  // namespace vidora
