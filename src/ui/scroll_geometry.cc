#include "ui/scroll_geometry.h"

#include <algorithm>
#include <cmath>

namespace ui {

ScrollGeometry::ScrollGeometry(int viewHeight, int contentHeight, int minThumbHeight)
    : m_view(std::max(0, viewHeight)), m_content(std::max(0, contentHeight)), m_minThumb(std::max(0, minThumbHeight)) {}

int ScrollGeometry::ClampOffset(int offset) const { return std::clamp(offset, MinOffset(), 0); }

int ScrollGeometry::ThumbHeight() const {
  if (!Scrollable()) return m_view;
  const double exact = static_cast<double>(m_view) * m_view / m_content;
  const int thumb = std::max(static_cast<int>(exact), std::min(m_minThumb, m_view));
  return std::min(thumb, m_view);
}

int ScrollGeometry::ThumbTopForOffset(int offset) const {
  if (!Scrollable()) return 0;
  const double range = static_cast<double>(m_content - m_view);  // > 0 when scrollable
  const double top = -static_cast<double>(ClampOffset(offset)) / range * ThumbTravel();
  return std::clamp(static_cast<int>(std::lround(top)), 0, ThumbTravel());
}

int ScrollGeometry::OffsetForThumbTop(int thumbTop) const {
  const int travel = ThumbTravel();
  if (!Scrollable() || travel <= 0) return 0;
  const int top = std::clamp(thumbTop, 0, travel);
  const double offset = -static_cast<double>(top) / travel * (m_content - m_view);
  return ClampOffset(static_cast<int>(std::lround(offset)));
}

}  // namespace ui
