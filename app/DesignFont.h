// The window font: "MS Sans Serif" at a pixel size, with faces of similar
// width standing in where it is not installed.
#pragma once

#include <QFont>
#include <QStringList>

namespace quillon {

QFont DesignFont(int pixelSize);

}  // namespace quillon
