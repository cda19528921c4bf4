#include "skin/skin_values.h"

#include <QColor>

#include <charconv>
#include <limits>

namespace vidora {

std::optional<int> SkinInteger(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  int base = 10;
  if (!text.empty() && text[0] == '$') {
    base = 16;
    text.remove_prefix(1);
  }
  // from_chars takes no sign of its own here: "--5" and "$-5" are malformed.
  if (text.empty() || text[0] == '-' || text[0] == '+') return std::nullopt;
  long long magnitude = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  long long value = negative ? -magnitude : magnitude;
  if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max()) return std::nullopt;
  return static_cast<int>(value);
}

std::optional<int> SkinCoordinate(std::string_view text) {
  std::optional<int> value = SkinInteger(text);
  if (!value || *value < -SkinCoordinateLimit || *value > SkinCoordinateLimit) return std::nullopt;
  return value;
}

std::optional<int> SkinExtent(std::string_view text) {
  std::optional<int> value = SkinInteger(text);
  if (!value || *value < 0 || *value > SkinCoordinateLimit) return std::nullopt;
  return value;
}

bool SkinBoolean(std::string_view text) { return text != "0"; }

std::optional<TTextPos> SkinTextPosition(int value) {
  switch (value) {
    case 0: return TTextPos::tpAbove;
    case 1: return TTextPos::tpBelow;
    case 2: return TTextPos::tpLeft;
    case 3: return TTextPos::tpNone;
    case 4: return TTextPos::tpRight;
    default: return std::nullopt;
  }
}

TButtonStyle SkinFlatStyle(TButtonStyle current, std::string_view value) {
  if (value == "1") {
    if (current == btNormal) return btFlat;
    if (current == btSpeed) return btSpeedFlat;
  } else {
    if (current == btFlat) return btNormal;
    if (current == btSpeedFlat) return btSpeed;
  }
  return current;
}

QRgb SkinColour(int value) { return qRgb(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF); }

QString MenuStyleSheet(const TMenuColours& colours) {
  const QString menu = QColor(colours.Menu).name(), text = QColor(colours.Text).name();
  return QStringLiteral(
             "QMenu { background: %1; color: %2; border: 1px solid %2; }"
             "QMenu::item { padding: 3px 16px 3px 22px; background: transparent; }"
             "QMenu::item:selected { background: %2; color: %1; }"
             "QMenu::separator { height: 1px; background: %2; margin: 3px 6px; }")
      .arg(menu, text);
}

}  // namespace vidora
