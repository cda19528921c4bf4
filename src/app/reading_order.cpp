#include "app/reading_order.h"

#include <algorithm>
#include <numeric>

namespace vidora::app {

std::vector<size_t> ReadingOrder(const std::vector<QRect>& places) {
  std::vector<size_t> byTop(places.size());
  std::iota(byTop.begin(), byTop.end(), size_t{0});
  std::stable_sort(byTop.begin(), byTop.end(), [&](size_t a, size_t b) { return places[a].top() < places[b].top(); });
  std::vector<size_t> order;
  size_t rowStart = 0;
  int bandTop = 0, bandBottom = -1;
  auto closeRow = [&] {
    std::stable_sort(order.begin() + static_cast<std::ptrdiff_t>(rowStart), order.end(),
                     [&](size_t a, size_t b) { return places[a].left() < places[b].left(); });
    rowStart = order.size();
  };
  for (size_t index : byTop) {
    const QRect& place = places[index];
    const int overlap = std::min(bandBottom, place.bottom()) - std::max(bandTop, place.top()) + 1;
    if (order.size() > rowStart && 2 * overlap >= place.height()) {
      bandBottom = std::max(bandBottom, place.bottom());
    } else {
      closeRow();
      bandTop = place.top();
      bandBottom = place.bottom();
    }
    order.push_back(index);
  }
  closeRow();
  return order;
}

}  // namespace vidora::app
