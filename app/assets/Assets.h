// The program's pictures, embedded with Qt's resource system under /assets.
// They are rendered from the SVG sources beside this file by render.sh.
#pragma once

namespace quillon {

// Makes sure the embedded pictures are registered. The core library is a
// static library, so the program calls this once at start (before the first
// picture is loaded); calling it again does no harm.
void InitAssets();

namespace assets {
// Application icon: 128 x 128 (24-bit colour), 48, 32 and 16 (32-bit colour).
inline constexpr char IconIco[] = ":/assets/quillon.ico";
// The same icon as one 256 x 256 picture, for the desktop and the window.
inline constexpr char IconPng[] = ":/assets/quillon.png";
// Logo, 149 x 49, 32-colour palette.
inline constexpr char LogoGif[] = ":/assets/logo.gif";
// Button pictures, 16 x 16: Refresh (16 colours) and Exit (24-bit colour).
inline constexpr char RefreshPng[] = ":/assets/refresh.png";
inline constexpr char ExitPng[] = ":/assets/exit.png";
}  // namespace assets

}  // namespace quillon
