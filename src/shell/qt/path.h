// File paths and Qt's strings, both ways. Paths are bytes on Linux; Qt's
// local 8-bit form gives them back unchanged.
#pragma once

#include <QString>
#include <string>

namespace lexvia::qt {

inline std::string to_path(const QString& path) { return path.toLocal8Bit().toStdString(); }
inline QString from_path(const std::string& path) { return QString::fromLocal8Bit(path); }

}  // namespace lexvia::qt
