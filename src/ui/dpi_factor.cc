#include "ui/dpi_factor.h"

namespace ui {
namespace {
double g_dpiFactor = 1.0;
}

double DpiFactor() { return g_dpiFactor; }

void SetDpiFactor(double factor) {
  if (factor > 0.25 && factor <= 8.0) g_dpiFactor = factor;
}

int ScaleByDpi(int designPixels) {
  return static_cast<int>(static_cast<double>(designPixels) * g_dpiFactor);
}

int RoundDpiToThemeStep(int dpi) {
  constexpr int kStep = 24;
  const int rounded = (dpi + kStep / 2) / kStep * kStep;
  if (rounded < 96) return 96;
  if (rounded > 384) return 384;
  return rounded;
}

}  // namespace ui
