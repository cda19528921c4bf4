#include "options/first_pass_stats.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace vidora {

namespace {

// The encoders' defaults: quantiser 31 at most, intra pictures at 0.8 of it,
// and the statistics' q in lambda units of 118 a quantiser step.
constexpr double LargestQuantiser = 31;
constexpr double SmallestQuantiser = 2;
constexpr double IntraFactor = 0.8;
constexpr double LambdaPerStep = 118;

}  // namespace

TFirstPassFloor FirstPassFloor(const std::string& statistics) {
  TFirstPassFloor floor;
  const char* picture = statistics.c_str();
  while (const char* end = std::strchr(picture, ';')) {
    int type = 0;
    float q = 0;
    long long intraBits = 0, interBits = 0, motionBits = 0, otherBits = 0;
    if (std::sscanf(picture, " in:%*d out:%*d type:%d q:%f itex:%lld ptex:%lld mv:%lld misc:%lld", &type, &q,
                    &intraBits, &interBits, &motionBits, &otherBits) == 6 && q > 0) {
      double factor = (type == 1 ? IntraFactor : 1) * LambdaPerStep;
      double texture = static_cast<double>(intraBits + interBits + 1) * q, fixed = static_cast<double>(motionBits + otherBits);
      floor.Bits += texture / (LargestQuantiser * factor) + fixed;
      floor.BestBits += texture / std::max(static_cast<double>(q), SmallestQuantiser * factor) + fixed;
      ++floor.Pictures;
    }
    picture = end + 1;
  }
  return floor;
}

}  // namespace vidora
