// The order Tab walks the phone's keys in: rows from the top, each row from
// the left, as one reads the phone.
#pragma once

#include <QRect>

#include <vector>

namespace vidora::app {

// Indexes into `places`, in reading order. A key is on a row when at least
// half of its height lies within the band of the keys already on it, so a
// small key set into a large one's row reads with that row.
std::vector<size_t> ReadingOrder(const std::vector<QRect>& places);

}  // namespace vidora::app
