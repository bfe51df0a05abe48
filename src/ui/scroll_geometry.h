// The arithmetic of a vertical scroll bar: how far content taller than its
// view can move, how tall the thumb is and where it stands for an offset.
// Pure values; any thread.
//
// Offsets are the content's vertical position relative to the view: 0 at
// the top, down to (view height - content height) at the bottom. A view
// without content, or with content no taller than the view, is not
// scrollable: its only offset is 0, its thumb fills the track and stands at
// the top. No operation divides by zero.
#pragma once

namespace ui {

class ScrollGeometry {
 public:
  ScrollGeometry() = default;
  // `minThumbHeight` keeps a very long content's thumb tall enough to draw
  // its end pieces; it never exceeds the view.
  ScrollGeometry(int viewHeight, int contentHeight, int minThumbHeight = 0);

  int ViewHeight() const { return m_view; }
  int ContentHeight() const { return m_content; }
  bool Scrollable() const { return m_content > 0 && m_view > 0 && m_view < m_content; }
  // The lowest offset (0 when not scrollable).
  int MinOffset() const { return Scrollable() ? m_view - m_content : 0; }
  int ClampOffset(int offset) const;

  // min(view, view * view / content), raised to the minimum thumb height.
  int ThumbHeight() const;
  // The room the thumb's top moves in: view - thumb height.
  int ThumbTravel() const { return m_view - ThumbHeight(); }
  // Thumb top for an offset: -offset / (content - view) * (view - thumb).
  int ThumbTopForOffset(int offset) const;
  // The inverse: offset for a thumb top (clamped to the track).
  int OffsetForThumbTop(int thumbTop) const;

 private:
  int m_view = 0;
  int m_content = 0;
  int m_minThumb = 0;
};

}  // namespace ui
