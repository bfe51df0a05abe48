// The DPI factor f (horizontal screen DPI / 96) shared by every control,
// the font cache and the window. Main thread only.
#pragma once

namespace ui {

double DpiFactor();
void SetDpiFactor(double factor);  // factors outside (0.25, 8] are ignored

// A design length in window pixels: truncated toward zero, as the controls
// compute their rectangles.
int ScaleByDpi(int designPixels);

}  // namespace ui
