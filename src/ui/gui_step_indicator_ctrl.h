// CGuiStepIndicatorCtrl: the wizard's step indicator, a row of step marks
// joined by short bars. Its form's frame number is the current step (the
// controller shows each wizard page once with its step number as the
// frame), the form's step count the number of marks. Steps before the
// current one show as done, the current one stands out, later ones wait.
//
// Texture pieces: 0 done mark, 1 current mark, 2 waiting mark, 3 bar
// between done steps, 4 bar towards waiting steps. Marks are as tall as the
// control and keep their shape; the bars stretch between them.
//
// Window (main) thread only. Draws nothing without texture, outside a form,
// or while the form has no step (frame number below 1 or above the count).
#pragma once

#include "ui/gui_control.h"

namespace ui {

class CGuiStepIndicatorCtrl : public GuiControl {
 public:
  CGuiStepIndicatorCtrl();
  bool SetProfile(const ThemeProfile* newProfile, GuiControl* newParent) override;
  void Paint(cairo_t* cr) override;
  // The current step and the step count of the form it sits on (0, 0
  // outside a form).
  int CurrentStep() const;
  int StepCount() const;
};

}  // namespace ui
