// CFolderChoiceForm: the folder choice of our own, shown where the desktop
// offers no folder chooser. One form of the launcher window, drawn with the
// theme's standard profiles: a caption, the folder being listed, the list
// of its subfolders (a click enters one, ".." goes up), and the edit field
// with the full destination, which the user may overwrite with any path.
// Entering a folder proposes it with the product's folder name appended
// (not for the current client folder itself). OK and Cancel end the
// choice; the owner then shows its page again and takes the edit field's
// text.
//
// While it is open it is the window's only form in front, so nothing else
// of the window answers: the choice is modal for the launcher.
//
// Window (main) thread only; lists folders synchronously (one directory
// read per step). Unreadable folders list nothing.
#pragma once

#include <memory>
#include <string>

#include "ui/gui_bitmap_border_step_ctrl.h"

namespace ui {

class CLayeredWindow;

struct FolderChoiceStart {
  std::string productFolder;  // appended to an entered folder
  std::string currentFolder;  // the client folder: the edit field's first text
  std::string startFolder;    // listed first; an existing folder
};

class CFolderChoiceForm {
 public:
  enum eResult { eResult_None, eResult_Ok, eResult_Cancel };

  // The form's controls, drawn with "profile_bg", "profile_text_caption_big",
  // "profile_text_caption", "profile_scroll", "profile_edit" and
  // "profile_buttontext"; null when the theme lacks one of them.
  static std::unique_ptr<CGuiBitmapBorderStepCtrl> CreateForm();

  // `formNumber`: the form's 1-based number in `window`.
  CFolderChoiceForm(CLayeredWindow& window, int formNumber) : m_window(window), m_formNumber(formNumber) {}

  // The form's 1-based number in `window`: the form that holds the folder
  // list; 0 when none does.
  static int FormNumberIn(const CLayeredWindow& window);

  // Lists the start folder, fills the edit field and shows the form.
  void Open(const FolderChoiceStart& start);
  bool IsOpen() const { return m_open; }
  // A command of the form's controls: the list and ".." move, OK and
  // Cancel close the form (the result says which). Other ids: eResult_None.
  eResult OnCommand(int id);
  // The edit field's text as typed.
  std::string EditText() const;
  const std::string& ListedFolder() const { return m_listed; }

 private:
  void List(const std::string& folder);
  void Propose(const std::string& folder);

  CLayeredWindow& m_window;
  int m_formNumber;
  bool m_open = false;
  FolderChoiceStart m_start;
  std::string m_listed;
};

}  // namespace ui
