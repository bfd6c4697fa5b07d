// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "files/FileError.h"
#include "files/FileSystem.h"
#include "files/WrittenFile.h"

#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace core {

// What this program last wrote over each game file, kept beside the originals: a text file
// of one line per written file, "<target name>\t<size>\t<time>\t<hash>", after a first line
// naming the format. A slot may have two lines while a replacement is under way: the file it
// held and the one about to take its place. An overwrite in place under way adds the file it
// started from, "...\t<hash>\toverwritten in place", so that a file left neither old nor new
// is known as this program's unfinished write. A file moved in from elsewhere is recorded as
// "<target name>\tmoved in\t<its name beside the originals>\t<where it was>". The lines are
// checked against the game files whenever they are used, never trusted blindly.
class OriginalsManifest
{
  public:
    static constexpr std::string_view fileName = "manifest.txt";
    static constexpr std::string_view firstLine = "valdrune-music-changer written 1";

    struct Entry
    {
        std::vector<WrittenFile> written;
        // What the game file held when an overwrite in place of it began, while it is under way.
        std::optional<WrittenFile> overwrittenInPlace;
        // The record was found damaged or missing while this file's original was kept: what
        // this program last wrote there is not known.
        bool doubtful = false;
        // What no program can set of the file this program last made there: its device, inode
        // (file ID) and change time. Size and time alone are trusted only with these.
        struct Identity
        {
            std::uint64_t device = 0;
            std::uint64_t inode = 0;
            std::int64_t changed = 0;
            bool operator==(const Identity &) const = default;
        };
        std::optional<Identity> identity;
        // The game file as its original was kept under a second name of it, until the new file
        // takes the game file's name: a change since means the original was written over.
        std::optional<Identity> secondName;
        // The original, kept under a second name, was written over through the game file's
        // name before the run could go on: it cannot be restored.
        bool lost = false;

        bool empty() const
        {
            return written.empty() && !overwrittenInPlace && !doubtful && !secondName && !lost;
        }
    };
    struct MovedIn
    {
        std::string targetName;
        std::string file; // its name in the folder it was moved to
        std::string from;
    };
    struct Contents
    {
        std::map<std::string, Entry> entries;
        std::vector<MovedIn> movedIn;
        // Its first line named the format and its last line ended: nothing was cut off.
        bool whole = true;
    };

    OriginalsManifest(std::filesystem::path file, FileSystem &fileSystem);

    bool existed() const { return existed_; }
    // Read whole and undamaged: what it lacks, this program did not write.
    bool trustworthy() const { return trustworthy_; }
    // The system's error where the record is there but could not be read (rights, a failing
    // disk): not damage, and never to be saved over; else 0.
    SystemError readError() const { return readError_; }
    const Entry &entry(const std::string &targetName) const;
    const std::vector<WrittenFile> &written(const std::string &targetName) const
    {
        return entry(targetName).written;
    }
    const std::vector<MovedIn> &movedIn() const { return contents_.movedIn; }
    void setEntry(const std::string &targetName, Entry entry);
    void setWritten(const std::string &targetName, std::vector<WrittenFile> files)
    {
        Entry entry;
        entry.written = std::move(files);
        setEntry(targetName, std::move(entry));
    }
    void addMovedIn(MovedIn file);

    // Reads the file again, as another copy of the program may have changed it, keeping the
    // changes made here and not yet saved.
    void reload();
    // Written atomically over what the file holds now, so that no line another copy wrote
    // is lost; nothing to do where nothing changed.
    std::optional<FileError> save();

    static std::string format(const Contents &contents);
    // Lines that do not read as an entry are passed over; CRLF line ends and a byte-order
    // mark are taken as they come.
    static Contents parse(std::string_view text);

  private:
    std::filesystem::path file_;
    FileSystem &fileSystem_;
    Contents contents_;
    std::set<std::string> changed_;
    std::vector<MovedIn> movedInAdded_;
    bool existed_ = false;
    bool trustworthy_ = true;
    SystemError readError_ = 0;
};

} // namespace core
