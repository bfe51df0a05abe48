// The product's icon drawn from the theme: its logo, scaled into a square
// and centred. Used for the window and for the notification-area item.
#pragma once

#include <cstdint>
#include <vector>

namespace ui {

// `side` x `side` straight (not premultiplied) ARGB pixels, row by row;
// empty when the loaded theme has no logo.
std::vector<std::uint32_t> ThemeIcon(int side);

}  // namespace ui
