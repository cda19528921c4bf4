#include <gtest/gtest.h>

#include <stdexcept>

#include "media/base/bitmap.h"

namespace vidora {
namespace {

TEST(Bitmap, RowsArePaddedToFourBytes) {
  TBitmap bitmap(3, 2, 24);
  EXPECT_EQ(bitmap.Stride(), 12);
  EXPECT_EQ(bitmap.ScanLine(1) - bitmap.ScanLine(0), 12);
  bitmap.SetSize(3, 2, 15);
  EXPECT_EQ(bitmap.Stride(), 8) << "15-bit pixels take two bytes";
  bitmap.SetSize(5, 1, 8);
  EXPECT_EQ(bitmap.Stride(), 8);
  bitmap.SetSize(176, 144, 32);
  EXPECT_EQ(bitmap.Stride(), 704);
  EXPECT_EQ(bitmap.ScanLine(143) + 704, bitmap.Bits() + 704 * 144);
}

TEST(Bitmap, RefusesUnknownDepthsAndKeepsItsSize) {
  TBitmap bitmap(4, 4, 32);
  EXPECT_THROW(bitmap.SetSize(4, 4, 12), std::invalid_argument);
  EXPECT_THROW(bitmap.SetSize(-1, 4, 32), std::invalid_argument);
  EXPECT_EQ(bitmap.Width(), 4);
  EXPECT_EQ(bitmap.BitsPerPixel(), 32);
}

}  // namespace
}  // namespace vidora
