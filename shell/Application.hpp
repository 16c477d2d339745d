// Constants of the desktop program as a whole: its version, its profile root, the name that
// marks the one running instance and the size of the launcher panel.
#pragma once

namespace carvento::shell {

// The version this build announces and compares with the release page.
inline constexpr const char* kCurrentVersion = "8.0.0";
// Vendor key of the per-user profile; the program's own name goes below it.
inline constexpr const char* kProfileVendor = "HVFactory";
// Name of the instance lock, the local server of the running instance and the panel window.
inline constexpr const char* kInstanceName = "HalvornWndClass";

// The launcher panel, in pixels: its size and the offset of the catalogue from its top edge.
inline constexpr int kPanelWidth = 250;
inline constexpr int kPanelHeight = 370;
inline constexpr int kCatalogueTop = 120;

} // namespace carvento::shell
