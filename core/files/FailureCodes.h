// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "files/FileError.h"

#include <string>

namespace core {

// The numbers the user sees when a copy fails.
namespace failure {
inline constexpr int fileNotFound = 53;
inline constexpr int deviceIo = 57;
inline constexpr int diskFull = 61;
inline constexpr int deviceUnavailable = 68;
inline constexpr int permissionDenied = 70;
inline constexpr int pathFileAccess = 75;
inline constexpr int pathNotFound = 76;
} // namespace failure

// The one table from the operating system's errors to those numbers.
int failureCodeFor(const FileError &error);

// The operating system's own wording of an error, for messages we write ourselves.
std::string describeSystemError(SystemError error);

// The failures players meet, which our messages name in the interface's language; Other
// keeps the system's own wording.
enum class CommonFailure { AccessDenied, ReadOnly, DiskFull, NotFound, InUse, Other };
CommonFailure commonFailureOf(SystemError error);

} // namespace core
