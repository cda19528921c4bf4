// How burned-in subtitles look and how long they stay: the settings the
// sister player shares with us, kept within the ranges of their controls.
#pragma once

#include <cstdint>
#include <string>

namespace vidora {

// Font style bits as stored: bold, italic, underline, strike-out.
enum TFontStyle : uint8_t { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };

// Colours are kept as stored: 0x00BBGGRR.
inline constexpr uint32_t clWhite = 0xFFFFFF;
inline constexpr uint32_t clSilver = 0xC0C0C0;
inline constexpr uint32_t clBlack = 0x000000;

// Font sizes between points and screen pixels (96 per inch), rounded.
int PixelsToPoints(int pixels);
int PointsToPixels(int points);

struct TWorkingFont {
  std::string Name = "Arial";
  int Height = 27;  // character height in pixels
  uint32_t Color = clWhite;
  uint8_t Style = 0;
  int Charset = 238;  // East European

  int Size() const;  // points, rounded
  void SetSize(int points);
};

enum class TSubtitleType { Transparent = 0, Opaque = 1, SemiTransparent = 2, SemiTransparentXP = 3 };

class TSubtitleSettings {
 public:
  double FWidth() const { return FFWidth; }
  int IQTime() const { return FIQTime; }
  double FontSize() const { return FFontSize; }
  double Obwodka() const { return FObwodka; }
  double FontVol() const { return FFontVol; }
  double NapisyCzas() const { return FNapisyCzas; }
  // The fixed display time in milliseconds, as the scheduler reads it.
  int NapisyCzasTag() const { return FNapisyCzasTag; }
  double NapisBottom() const { return FNapisBottom; }
  TSubtitleType FontType() const { return FFontType; }

  // Values outside a control's range are brought to its nearest end.
  void SetFWidth(double value);
  void SetIQTime(int value);  // 2500..5500 in steps of 500
  void SetFontSize(double value);
  void SetObwodka(double value);
  void SetFontVol(double value);
  void SetNapisyCzas(double value);
  void SetNapisBottom(double value);
  void SetFontType(int value);

  bool IQDziel = true;          // split a line that does not fit
  bool IQZmniejsz = true;       // shrink the font when a line does not fit
  bool IQText = true;           // smart subtitles
  bool FontAutoHeight = true;
  std::string FontName = "Arial";
  uint32_t FontColor = clSilver;
  uint8_t FontStyle = 0;
  int FontCharset = 1;  // the default character set

 private:
  double FFWidth = 95;
  int FIQTime = 4000;
  double FFontSize = 20;
  double FObwodka = 4;
  double FFontVol = 10;
  double FNapisyCzas = 4;
  int FNapisyCzasTag = 4000;
  double FNapisBottom = 1;
  TSubtitleType FFontType = TSubtitleType::Transparent;
};

}  // namespace vidora
