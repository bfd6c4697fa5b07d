// SPDX-License-Identifier: GPL-3.0-or-later
#include "MusicFormats.h"

#include "Platform.h"

#include <string>

namespace core {

bool MusicFormats::isMusicFileName(std::string_view fileName)
{
    const std::size_t dot = fileName.rfind('.');
    if (dot == std::string_view::npos || dot == 0)
        return false;
    const std::string extension = platform::asciiLowerCase(std::string(fileName.substr(dot + 1)));
    for (const std::string_view known : extensions) {
        if (extension == known)
            return true;
    }
    return false;
}

} // namespace core
