// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/WrittenFile.h"

#include "files/FileSystem.h"

#include <fstream>
#include <memory>
#include <system_error>

#define XXH_INLINE_ALL
#include <xxhash.h>

namespace core {

namespace {

struct HashStateFree
{
    void operator()(XXH3_state_t *state) const { XXH3_freeState(state); }
};

std::string hexOf(XXH128_hash_t hash)
{
    XXH128_canonical_t canonical;
    XXH128_canonicalFromHash(&canonical, hash);
    static constexpr char digits[] = "0123456789abcdef";
    std::string hex;
    for (const unsigned char byte : canonical.digest) {
        hex += digits[byte >> 4];
        hex += digits[byte & 15];
    }
    return hex;
}

std::optional<std::string> contentHash(const std::filesystem::path &file, FileSystem &fileSystem)
{
    FileSystem::Handle input = 0;
    if (fileSystem.openForReading(file, input))
        return std::nullopt;
    WrittenFile::Hasher hasher;
    constexpr std::size_t bufferSize = std::size_t(1) << 20;
    const auto buffer = std::make_unique_for_overwrite<char[]>(bufferSize);
    SystemError error = 0;
    for (;;) {
        std::size_t got = 0;
        if ((error = fileSystem.read(input, buffer.get(), bufferSize, got)) || got == 0)
            break;
        hasher.update(buffer.get(), got);
    }
    fileSystem.close(input);
    std::string hash = hasher.hash();
    if (error || hash.empty())
        return std::nullopt;
    return hash;
}

} // namespace

struct WrittenFile::Hasher::State
{
    std::unique_ptr<XXH3_state_t, HashStateFree> xxh{XXH3_createState()};
};

WrittenFile::Hasher::Hasher() : state_(std::make_unique<State>())
{
    // Allocation is all that can fail here; a failed state is caught by hash().
    if (state_->xxh)
        XXH3_128bits_reset(state_->xxh.get());
}

WrittenFile::Hasher::~Hasher() = default;

void WrittenFile::Hasher::update(const char *data, std::size_t size)
{
    if (state_->xxh)
        XXH3_128bits_update(state_->xxh.get(), data, size);
}

std::string WrittenFile::Hasher::hash() const
{
    return state_->xxh ? hexOf(XXH3_128bits_digest(state_->xxh.get())) : std::string();
}

std::string WrittenFile::hashOfBytes(std::string_view bytes)
{
    return hexOf(XXH3_128bits(bytes.data(), bytes.size()));
}

std::optional<WrittenFile> WrittenFile::statOf(const std::filesystem::path &file)
{
    return statOf(file, FileSystem::native());
}

std::optional<WrittenFile> WrittenFile::statOf(const std::filesystem::path &file,
                                               FileSystem &fileSystem)
{
    FileStatus status;
    if (fileSystem.status(file, status) != 0 || !status.isFile())
        return std::nullopt;
    return WrittenFile{status.size, status.modified, {}};
}

std::optional<WrittenFile> WrittenFile::of(const std::filesystem::path &file)
{
    return of(file, FileSystem::native());
}

std::optional<WrittenFile> WrittenFile::of(const std::filesystem::path &file,
                                           FileSystem &fileSystem)
{
    std::optional<WrittenFile> written = statOf(file, fileSystem);
    if (!written)
        return std::nullopt;
    std::optional<std::string> hash = contentHash(file, fileSystem);
    if (!hash)
        return std::nullopt;
    written->hash = std::move(*hash);
    return written;
}

} // namespace core
