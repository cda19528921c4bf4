#include "update/update_rules.h"

#include <strings.h>

#include <cmath>
#include <cstring>
#include <ctime>

namespace vidora {

namespace {

int DayOfMonth(double dateTime) {
  // Days since 1899-12-30; 25569 of them lie before 1970-01-01.
  auto seconds = static_cast<time_t>(std::floor((dateTime - 25569.0) * 86400.0));
  tm date{};
  gmtime_r(&seconds, &date);  // the value already counts local time
  return date.tm_mday;
}

}  // namespace

std::string UpdateCheckBody(const std::string& version) { return "prg=VidoraTo3GP&ver=" + version; }

bool UpdateCheckDue(std::optional<double> lastStart, double now) {
  if (!lastStart || *lastStart == 0 || !std::isfinite(*lastStart)) return false;
  return DayOfMonth(*lastStart) != DayOfMonth(now);
}

std::string EncodeLastStart(double dateTime) {
  std::string bytes(sizeof dateTime, '\0');
  std::memcpy(bytes.data(), &dateTime, sizeof dateTime);  // little-endian here, as stored
  return bytes;
}

std::optional<double> DecodeLastStart(const std::string& bytes) {
  double dateTime;
  if (bytes.size() != sizeof dateTime) return std::nullopt;
  std::memcpy(&dateTime, bytes.data(), sizeof dateTime);
  if (!std::isfinite(dateTime)) return std::nullopt;
  return dateTime;
}

std::optional<std::string> AddressInAnswer(const std::string& answer) {
  size_t marker = answer.find(UpdateAnswerMarker);
  if (marker == std::string::npos) return std::nullopt;
  std::string address = answer.substr(marker + std::strlen(UpdateAnswerMarker), 1000);
  while (!address.empty() && std::strchr("\r\n \t", address.back())) address.pop_back();
  for (unsigned char c : address)
    if (c < 0x20 || c == 0x7F) return std::nullopt;
  bool web = strncasecmp(address.c_str(), "http://", 7) == 0 || strncasecmp(address.c_str(), "https://", 8) == 0;
  size_t hostStart = address.find("//") + 2;
  if (!web || address.size() <= hostStart || address[hostStart] == '/') return std::nullopt;
  return address;
}

}  // namespace vidora
