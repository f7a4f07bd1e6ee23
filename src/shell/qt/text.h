// The core's UTF-16 texts and Qt's, both ways, without a copy in between.
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace lexvia::qt {

inline QString to_qstring(std::u16string_view text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::u16string to_u16(const QString& text) {
  return {reinterpret_cast<const char16_t*>(text.utf16()), static_cast<std::size_t>(text.size())};
}

}  // namespace lexvia::qt
