#pragma once
// Reads a Windows cursor file (.cur) into a QCursor with the hot spot it records.

#include <QCursor>
#include <QString>

#include <optional>

namespace skin {

std::optional<QCursor> loadCursorFile(const QString& path);

}  // namespace skin
