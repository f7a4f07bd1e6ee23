// The core's colours and Qt's, both ways. The core's have no alpha; a
// QColor made from one is opaque.
#pragma once

#include <QColor>
#include <cstdint>

#include "listing/result_list.h"

namespace lexvia::qt {

inline Rgb to_rgb(const QColor& colour) {
  return {static_cast<std::uint8_t>(colour.red()), static_cast<std::uint8_t>(colour.green()),
          static_cast<std::uint8_t>(colour.blue())};
}

inline QColor to_qcolor(Rgb colour) { return QColor(colour.r, colour.g, colour.b); }

}  // namespace lexvia::qt
