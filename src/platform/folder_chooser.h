// The desktop's own folder chooser: the XDG desktop portal's FileChooser
// asked for a directory (OpenFile with "directory"), over the session bus.
//
// Asynchronous: Open sends the request from a thread of its own and returns
// at once, so the caller's message loop keeps running (and its window
// painting) while the portal's dialog, modal for the parent window, is
// open. Once the answer is in (a folder, a cancel, or no portal answering:
// no session bus, no portal on it, or no reply to the call within 10 s)
// `answered` runs once, on the chooser's thread; the caller hands that on
// to its own thread (a posted message) and takes the answer there with
// TakeAnswer. Close withdraws a request still open (the portal's
// Request.Close) and waits for the thread; `answered` does not run after
// Close returned.
//
// Open, IsOpen, TakeAnswer, Close and the destructor: the owner's thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace platform {

enum ePortalChoice {
  ePortalChoice_Chosen = 0,
  ePortalChoice_Cancelled = 1,
  ePortalChoice_Unavailable = 2,
};

struct FolderChooserRequest {
  std::string title;
  // The folder the dialog opens in (must exist; empty: the portal's choice).
  std::string startFolder;
  // The X11 window the dialog is modal for (0: none).
  uint64_t parentWindow = 0;
};

class FolderChooser {
 public:
  FolderChooser() = default;
  // As Close.
  ~FolderChooser();
  FolderChooser(const FolderChooser&) = delete;
  FolderChooser& operator=(const FolderChooser&) = delete;

  // Sends the request; false (nothing sent) while another one is open.
  bool Open(const FolderChooserRequest& request, std::function<void()> answered);
  // From Open until TakeAnswer or Close.
  bool IsOpen() const { return m_thread.joinable(); }
  // Once `answered` ran: the answer, and for ePortalChoice_Chosen the
  // chosen folder's local path in `folder`; the request is over. Before
  // that (or with none open): ePortalChoice_Unavailable after closing the
  // request.
  ePortalChoice TakeAnswer(std::string& folder);
  void Close();

 private:
  struct State;
  std::shared_ptr<State> m_state;  // shared with the request's thread
  std::thread m_thread;
};

}  // namespace platform
