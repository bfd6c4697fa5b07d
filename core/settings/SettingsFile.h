// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "files/FileSystem.h"
#include "files/Platform.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace core {

// The two stored settings: the game music folder (with the separator the save appended)
// and the language code, which languageFromCode reads.
struct Settings
{
    std::string folder;
    std::uint8_t language = 0;
};

struct SaveFailure
{
    enum class Kind {
        Unrepresentable, // the folder has letters the system's text encoding cannot store
        Unstorable,      // a double quote or line break, which would end the folder field
        Write,           // systemError tells why
        ReadBack,        // written, but it could not be read back
    };
    Kind kind = Kind::Write;
    SystemError systemError = 0;
    std::string location; // the file whose write failed; empty before any write
};

// What a save stored, as read back from the file, or why it failed.
struct SaveResult
{
    std::optional<Settings> stored;
    SaveFailure failure;

    bool saved() const { return stored.has_value(); }
};

// The one-line settings file config.ini in the program's folder. Where that folder cannot
// be written, the same file lives in the user's own settings folder; the one beside the
// program wins when both are there. An installed program (no program folder given) keeps it
// in the user's folder only.
class SettingsFile
{
  public:
    // The separator is the one appended to the stored folder; it is the platform's own
    // except where a test writes the other platform's bytes. Without a user folder the
    // file is beside the program only.
    explicit SettingsFile(std::string programFolder, char separator = platform::nativeSeparator(),
                          FileSystem &fileSystem = FileSystem::native(),
                          std::string userFolder = {});

    // Beside the program; the user's file where there is no program folder.
    std::string location() const;
    std::string userLocation() const;

    // The startup read: nothing when the file is absent, hidden, or cannot be read.
    std::optional<Settings> read() const;

    // Stores the folder text with one separator appended and the language of the selected
    // option, replacing the whole file in one step, then reads it back.
    SaveResult save(std::string_view folderText, bool hungarianSelected) const;

    // The file's exact bytes for a folder already in the file's encoding.
    static std::string lineFor(std::string_view folderBytes, std::uint8_t language, char separator);
    // The two fields of the file's bytes; the folder stays in the file's encoding.
    static std::optional<Settings> parse(std::string_view bytes);

  private:
    std::optional<Settings> readAt(const std::string &location) const;
    SaveResult writeAt(const std::string &location, const std::string &line) const;
    SaveResult writeInUserFolder(const std::string &line) const;

    std::string programFolder_;
    char separator_;
    FileSystem &fileSystem_;
    std::string userFolder_;
};

} // namespace core
