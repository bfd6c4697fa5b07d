// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace core {

class FileSystem;

// A file as this program wrote it: its size, modification time and a 128-bit content hash
// (XXH3-128). Size and time tell cheaply that a file is unchanged; the hash decides.
struct WrittenFile
{
    std::uint64_t size = 0;
    std::int64_t modified = 0; // the file clock's ticks
    std::string hash;          // 32 lowercase hex digits

    // Nothing where the file cannot be read.
    static std::optional<WrittenFile> of(const std::filesystem::path &file);
    static std::optional<WrittenFile> of(const std::filesystem::path &file, FileSystem &fileSystem);
    // The same hash of a text, as 32 hex digits.
    static std::string hashOfBytes(std::string_view bytes);
    // The size and time alone, without reading the file.
    static std::optional<WrittenFile> statOf(const std::filesystem::path &file);
    static std::optional<WrittenFile> statOf(const std::filesystem::path &file,
                                             FileSystem &fileSystem);

    bool sameSizeAndTime(const WrittenFile &other) const
    {
        return size == other.size && modified == other.modified;
    }
    bool sameContent(const WrittenFile &other) const
    {
        return size == other.size && hash == other.hash;
    }

    // The same hash taken piece by piece, as the bytes go by while they are copied.
    class Hasher
    {
      public:
        Hasher();
        ~Hasher();
        Hasher(const Hasher &) = delete;
        Hasher &operator=(const Hasher &) = delete;
        void update(const char *data, std::size_t size);
        std::string hash() const;

      private:
        struct State;
        std::unique_ptr<State> state_;
    };
};

} // namespace core
