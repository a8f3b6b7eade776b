// The program's logo, drawn in code.
#pragma once

#include <QPixmap>

namespace tarvik::ui {

/// Width and height of the logo in pixels.
inline constexpr int kLogoWidth = 121;
inline constexpr int kLogoHeight = 50;

/// A field harvested in passes, the yield map's colours and an ear of grain;
/// 121 x 50 pixels, opaque.
QPixmap DrawLogo();

}  // namespace tarvik::ui
