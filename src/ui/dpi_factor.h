// The DPI factor f (horizontal screen DPI / 96) shared by every control,
// the font cache and the window. Main thread only.
#pragma once

namespace ui {

double DpiFactor();
void SetDpiFactor(double factor);  // factors outside (0.25, 8] are ignored

// A design length in window pixels: truncated toward zero, as the controls
// compute their rectangles.
int ScaleByDpi(int designPixels);

// A DPI the display reports, rounded to the scaling steps the theme is
// drawn for: 25 % steps (24 DPI) from 100 % (96) to 400 % (384).
int RoundDpiToThemeStep(int dpi);

}  // namespace ui
