// SPDX-License-Identifier: GPL-3.0-or-later
#include "SharedState.h"

#include "files/Platform.h"

std::string SharedState::folderWithoutSeparator() const
{
    std::string folder = utvonal;
    if (!folder.empty() && folder.back() == core::platform::nativeSeparator())
        folder.pop_back();
    return folder;
}
