// The theme's resources in the order the window needs them (controller
// initialisation, the snapshot tool, theme tests): the texture cache reads
// from the archive's theme folder, the private fonts are registered, the
// profiles loaded. The DPI factor must be set before (font sizes depend on
// it); the forms come after (LoadForms, CreateLauncherWindow).
//
// Main thread only. False with a reason in `error`; what was loaded before
// a failure stays (the caller gives up the start anyway).
#pragma once

#include <tinyxml2.h>

#include <string>

class ResourceArchive;

namespace ui {

// `archive` must outlive every texture use (the cache borrows it).
bool LoadThemeResources(const ResourceArchive& archive, const std::string& themeFolder,
                        const tinyxml2::XMLDocument& themeDocument, std::string& error);

}  // namespace ui
