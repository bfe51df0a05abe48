// The font cache of the interface: the theme's private font families and
// every font handed out for a FontSpec.
//
// LoadPrivateFonts reads every ".ttf" entry of the resource archive whose
// immediate parent folder is "fonts" (exact, case-sensitive; anywhere in the
// archive) and registers it under its file name without folder and
// extension ("theme\fonts\Roboto-Bold.ttf" -> "Roboto-Bold"). GetFont hands
// out one shared font per (name, pixel size after ScaleByDpi, bold,
// italic). A name that is no private key gets the system's sans-serif
// family metric-compatible with "Arial": "Liberation Sans" when installed,
// else whatever fontconfig matches for "Arial", else its "sans-serif".
//
// Process-wide state, window thread only. Failures are results: false with
// a reason, or a null font; nothing throws.
#pragma once

#include <string>

#include "ui/font_spec.h"
#include "ui/gui_font.h"

class ResourceArchive;

namespace ui {

// Registers the private families of `archive`. All or nothing: when any
// font file cannot be read as a scalable face, nothing is registered, the
// result is false and `error` names the entry and the reason. Registering
// again replaces families of the same key (fonts already handed out keep
// theirs). An archive without fonts succeeds.
bool LoadPrivateFonts(const ResourceArchive& archive, std::string& error);
// The same for the process-wide archive (ResourceArchive::Instance()).
bool LoadPrivateFonts(std::string& error);

// Whether `name` is a registered private family key.
bool IsPrivateFont(const std::string& name);

// The font for `spec` (its colour plays no part): null for an empty name,
// for a pixel size (size x DPI factor, truncated) outside
// 1..CGuiFont::kMaxPixelSize, or when no family at all can be made. The
// same key gives the same object until ResetFontCache.
FontPtr GetFont(const FontSpec& spec);

// Forgets every cached font (the private families stay registered). Used
// after a DPI change and by tests; fonts already handed out stay valid.
void ResetFontCache();
// Forgets the private families as well (tests).
void UnloadPrivateFonts();

}  // namespace ui
