#include "options/subtitle_settings.h"

#include <algorithm>
#include <cmath>

namespace vidora {

namespace {
constexpr double ScreenPixelsPerInch = 96;
}  // namespace

int PixelsToPoints(int pixels) { return static_cast<int>(std::lround(pixels * 72 / ScreenPixelsPerInch)); }
int PointsToPixels(int points) { return static_cast<int>(std::lround(points * ScreenPixelsPerInch / 72)); }

int TWorkingFont::Size() const { return PixelsToPoints(Height); }
void TWorkingFont::SetSize(int points) { Height = PointsToPixels(points); }

void TSubtitleSettings::SetFWidth(double value) { FFWidth = std::clamp(value, 50.0, 99.0); }

void TSubtitleSettings::SetIQTime(int value) {
  FIQTime = std::clamp((value + 250) / 500 * 500, 2500, 5500);
}

void TSubtitleSettings::SetFontSize(double value) { FFontSize = std::clamp(value, 6.0, 99.0); }
void TSubtitleSettings::SetObwodka(double value) { FObwodka = std::clamp(value, 1.0, 6.0); }
void TSubtitleSettings::SetFontVol(double value) { FFontVol = std::clamp(value, 3.0, 30.0); }

void TSubtitleSettings::SetNapisyCzas(double value) {
  FNapisyCzas = std::clamp(value, 1.0, 10.0);
  FNapisyCzasTag = static_cast<int>(FNapisyCzas * 1000);
}

void TSubtitleSettings::SetNapisBottom(double value) { FNapisBottom = std::clamp(value, 0.0, 99.0); }
void TSubtitleSettings::SetFontType(int value) { FFontType = static_cast<TSubtitleType>(std::clamp(value, 0, 3)); }

}  // namespace vidora
