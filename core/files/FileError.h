// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "files/FileSystem.h"

namespace core {

// Why a file could not be copied or written, before it is turned into a failure code.
struct FileError
{
    enum class Kind {
        SourceCall,      // a call on the source file failed with systemError
        DestinationCall, // a call on the destination side failed with systemError
        BlankSource,     // no source path at all
        SourceIsFolder,
        SourceNotAFile, // a device or a pipe: refused as a folder is
        DestinationIsFolder,
    };

    Kind kind = Kind::DestinationCall;
    SystemError systemError = 0;

    static FileError destination(SystemError error) { return {Kind::DestinationCall, error}; }
};

} // namespace core
