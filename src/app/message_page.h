// The message page that stands in for the system's message boxes: what it
// says, which buttons it offers, and what its OK or Retry does afterwards
// (its purpose).
#pragma once

#include <cstdint>
#include <string>

#include "servers/server_failover.h"

// What OK (and Retry) on the message page does.
enum eMessagePurpose : int32_t {
  eMessagePurpose_None = 0,            // back to the saved page
  eMessagePurpose_RequestManifest = 1,  // OK asks for the manifest again
  eMessagePurpose_ServerUrl = 2,        // the server-URL question: OK hands the edit field to the failover
  eMessagePurpose_StepFailed = 3,       // an install shows its single page again; other runs end
  eMessagePurpose_Cancel = 4,           // OK acts as Cancel
  // The download a network error interrupted: Retry repeats it.
  eMessagePurpose_License = eFailoverPurpose_License,
  eMessagePurpose_Manifest = eFailoverPurpose_Manifest,
  eMessagePurpose_Package = eFailoverPurpose_Package,
  eMessagePurpose_CancelAssistant = 8,  // the cancel question while the elevated assistant works
  eMessagePurpose_RetryAssistant = 9,
  eMessagePurpose_Quit = 10,
};

// The buttons of the message page; any other set shows OK only.
enum eMessageButtons : int32_t {
  eMessageButtons_Ok = 0,
  eMessageButtons_YesNo = 4,
  eMessageButtons_RetryCancel = 5,
};

// The extra control under the text.
enum eMessageExtra : int32_t {
  eMessageExtra_None = 0,
  eMessageExtra_Edit = 1,  // the edit field with its caption
  eMessageExtra_Link = 2,
};

struct MessagePage {
  std::string text;
  eMessagePurpose purpose = eMessagePurpose_None;
  eMessageButtons buttons = eMessageButtons_Ok;
  bool errorIcon = false;
  eMessageExtra extra = eMessageExtra_None;
};
