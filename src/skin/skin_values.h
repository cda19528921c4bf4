// How the values of a skin file read: integers, Booleans, caption positions,
// the flat look and colours. Plain rules, so the window only applies them.
#pragma once

#include <QRgb>
#include <QString>

#include <optional>
#include <string>
#include <string_view>

#include "skin/button_kinds.h"

namespace vidora {

// Decimal, or hexadecimal after "$", with an optional sign. Empty for
// anything else, and for a value that does not fit in an int.
std::optional<int> SkinInteger(std::string_view text);

// Places and sizes further out than this are refused as malformed: no phone
// is that large, and Qt's geometry arithmetic must not overflow.
inline constexpr int SkinCoordinateLimit = 8192;
std::optional<int> SkinCoordinate(std::string_view text);  // −limit … limit
std::optional<int> SkinExtent(std::string_view text);      // 0 … limit

// "0" is false, any other text true.
bool SkinBoolean(std::string_view text);

// 0 above, 1 below, 2 left, 3 none, 4 right; empty for other numbers.
std::optional<TTextPos> SkinTextPosition(int value);

// "Flat" of "1" turns the normal styles flat, any other value turns the flat
// styles back; the result for a button of style `current`.
TButtonStyle SkinFlatStyle(TButtonStyle current, std::string_view value);

// A colour integer of the skin format: red in the low byte, then green, then blue.
QRgb SkinColour(int value);

// The colours of a button's drop-down menu (keys "MenuColor", "MenuTextColor"
// of its section). A section without them brings back these dark defaults,
// the built-in phone's key deck and lettering.
struct TMenuColours {
  QRgb Menu = qRgb(0x1b, 0x1e, 0x23);
  QRgb Text = qRgb(0xe4, 0xe8, 0xed);
};
// The ring that marks the key with the keyboard focus (key "FocusColor" of
// the [Settings] section): the built-in phone's highlight blue when a skin
// names none.
inline constexpr QRgb DefaultFocusColour = qRgb(0x38, 0xc6, 0xff);

// The menu's style sheet: its colours, and the item under the pointer in
// the same two colours swapped, so it reads whatever the skin chose.
QString MenuStyleSheet(const TMenuColours& colours);

}  // namespace vidora
