// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "files/FileSystem.h"

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

// A whole file system in memory behind the seam, for a simulation that must run thousands of
// sequences a minute: inodes and hard links, symbolic links, a change time no call can set,
// modes, files in use, a disk that fills, and faults injected at any call. Errors are POSIX
// numbers. Calls named "put", "peek" and the like are the test's own hands: they never fail
// and are never counted.
class InMemoryFileSystem : public core::FileSystem
{
  public:
    enum class Fault { Kill, DiskFull, IoError, ReadFails, Busy, AccessDenied };
    static constexpr int faultKinds = 6;

    InMemoryFileSystem();

    core::SystemError openForReading(const std::filesystem::path &path, Handle &handle) override;
    core::SystemError createNew(const std::filesystem::path &path, Handle &handle) override;
    core::SystemError openForOverwrite(const std::filesystem::path &path, Handle &handle) override;
    core::SystemError read(Handle handle, char *buffer, std::size_t capacity,
                           std::size_t &bytesRead) override;
    core::SystemError seek(Handle handle, std::int64_t offset, int whence,
                           std::int64_t &position) override;
    core::SystemError write(Handle handle, const char *data, std::size_t size) override;
    core::SystemError flushToDisk(Handle handle) override;
    void close(Handle handle) override;
    void copyPermissions(const std::filesystem::path &from, Handle to) override;
    core::SystemError replace(const std::filesystem::path &from,
                              const std::filesystem::path &to) override;
    void syncFolder(const std::filesystem::path &folder) override;
    core::SystemError remove(const std::filesystem::path &path) override;
    core::SystemError hardLink(const std::filesystem::path &existing,
                               const std::filesystem::path &link) override;
    core::SystemError createFolder(const std::filesystem::path &path) override;
    bool isFolder(const std::filesystem::path &path) override;
    core::SystemError removeFolder(const std::filesystem::path &path) override;
    core::SystemError status(const std::filesystem::path &path, core::FileStatus &status,
                             bool followLinks = true) override;
    core::SystemError listFolder(const std::filesystem::path &folder,
                                 std::vector<std::filesystem::path> &names) override;
    core::SystemError rename(const std::filesystem::path &from,
                             const std::filesystem::path &to) override;
    core::SystemError readLink(const std::filesystem::path &link,
                               std::filesystem::path &target) override;
    core::SystemError setModified(const std::filesystem::path &path,
                                  std::int64_t modified) override;
    core::SystemError openLock(const std::filesystem::path &path, bool create,
                               Handle &handle) override;
    core::SystemError tryLock(Handle handle) override;
    bool inUse(const std::filesystem::path &path) override;
    std::chrono::steady_clock::time_point now() override { return steady_; }
    void pause(std::chrono::milliseconds duration) override { steady_ += duration; }

    // The test's hands.
    // Writes a file in place (the same inode, as a patcher writing into it) or makes it.
    void put(const std::filesystem::path &path, const std::string &bytes);
    // A new file renamed over the name, as an updater does.
    void putByRename(const std::filesystem::path &path, const std::string &bytes);
    void putFolder(const std::filesystem::path &path);
    void putLink(const std::filesystem::path &path, const std::string &target);
    void erase(const std::filesystem::path &path); // a file, a link or a whole folder
    void swapNames(const std::filesystem::path &a, const std::filesystem::path &b);
    void setMode(const std::filesystem::path &path, std::uint32_t mode);
    void setTimeOf(const std::filesystem::path &path, std::int64_t modified);
    void setBusy(const std::filesystem::path &path, bool busy);
    // Windows' rules: a file in use cannot be removed or renamed under any of its names, nor
    // renamed over; a read-only file cannot be removed or renamed over.
    void setWindowsRules(bool on) { windowsRules_ = on; }
    // Names that differ only in letter case are one name, as on Windows and Wine: a name
    // keeps the case it was made with, and any case finds it.
    void setCaseFolding(bool on) { caseFolding_ = on; }
    // Times kept to this many of the file clock's ticks: 2 s on FAT, 100 ns on NTFS. The
    // clock then moves by steps that are no multiple of it, so that the rounding shows.
    void setTimeGranularity(std::int64_t ticks);
    // The folder at this path, there now or made later, is another file system: a rename or a
    // second name from one into the other fails with EXDEV, as between two disks.
    void putDevice(const std::filesystem::path &folder, std::uint64_t device);
    std::optional<std::string> peek(const std::filesystem::path &path) const;
    std::optional<core::FileStatus> peekStatus(const std::filesystem::path &path,
                                               bool followLinks = false) const;
    // Every regular file under a folder, links not followed.
    std::vector<std::filesystem::path> filesUnder(const std::filesystem::path &folder) const;
    // Bytes that fit before the disk is full; none: unlimited.
    void setFreeBytes(std::optional<std::uint64_t> free);

    // The fault strikes at the call `afterCalls` calls from now (Busy and ReadFails at the
    // first call of their kind from then). A kill makes that call and every later one fail
    // with no effect until revive().
    void arm(Fault fault, int afterCalls);
    // The same, counting only writes, flushes and syncs: where a write in place is cut short.
    void armAtWrite(Fault fault, int afterWrites) { armed_ = Armed{fault, afterWrites, true}; }
    // The game opens the file that a rename, `afterCalls` calls from now or later, would
    // replace, and holds it until setBusy() lets go: the moment between a check and a write.
    void armHold(int afterCalls) { holdAfter_ = calls_ + std::uint64_t(afterCalls); }
    // The program dies at its flush or folder sync `syncs` syncs from now, as the power fails:
    // the moment a missing sync matters.
    void armPowerCut(int syncs) { syncsBeforeCut_ = syncs; }
    void disarm() { armed_.reset(); }
    bool killed() const { return killed_; }
    // A fresh program over the disk as it was left: the dead one's handles and locks go.
    void revive();
    // Power loss. settle() makes all there is now durable, as time passing does; losePower()
    // then keeps of what changed since only what a flush (a file's data) or a folder's sync
    // (its names) made durable, and revives.
    void settle();
    void losePower();
    // The test's own checks go through the seam uncounted and unfaulted.
    void setQuiet(bool quiet) { quiet_ = quiet; }
    std::uint64_t calls() const { return calls_; }
    const std::array<std::uint64_t, faultKinds> &faultsStruck() const { return struck_; }

  private:
    struct Node
    {
        core::FileStatus::Type type = core::FileStatus::Type::File;
        std::string data;
        std::map<std::string, std::uint64_t> children;
        std::string link;
        std::uint32_t mode = 0644;
        std::int64_t modified = 0;
        std::int64_t changed = 0;
        std::uint32_t links = 1;
        bool busy = false;
        std::uint64_t device = 1;
    };
    struct Open
    {
        std::uint64_t inode = 0;
        std::uint64_t position = 0;
        bool writes = false;
        bool locks = false;
    };
    enum class Op { Read, Open, Write, Change, Look };
    struct Armed
    {
        Fault fault;
        int countdown;
        bool writesOnly = false;
    };

    core::SystemError enter(Op op);
    // The inode a path names (0 where none), and why not.
    core::SystemError lookup(const std::filesystem::path &path, bool followLinks,
                             std::uint64_t &inode, int depth = 0) const;
    // The folder a new name goes in, and the name.
    core::SystemError parentOf(const std::filesystem::path &path, std::uint64_t &folder,
                               std::string &name) const;
    core::SystemError writableParent(const std::filesystem::path &path, std::uint64_t &folder,
                                     std::string &name) const;
    // A node made in a folder, on the folder's file system.
    std::uint64_t make(core::FileStatus::Type type, std::uint64_t folder);
    // A new folder at path: on another file system where one was put there.
    std::uint64_t makeFolder(const std::filesystem::path &path, std::uint64_t folder);
    // The name a folder holds for name: itself, or with case folding the one that differs
    // from it only in letter case.
    std::string storedName(const Node &folder, const std::string &name) const;
    // A time in the file clock's ticks as the file system keeps it.
    std::int64_t keptTime(std::int64_t ticks) const;
    void unlinkNode(std::uint64_t inode);
    void touch(Node &node, bool content);
    std::uint64_t usedBytes() const;
    Open *openOf(Handle handle);
    // The durable state of a node, made from what it is now without its data or names.
    Node &durableNode(std::uint64_t inode);
    // Why Windows would keep this name where it is: in use, or read-only; 0 elsewhere.
    core::SystemError heldInPlace(const Node &node) const;
    void countSync();

    std::unordered_map<std::uint64_t, Node> nodes_;
    std::unordered_map<std::uint64_t, Node> durable_;
    std::map<Handle, Open> open_;
    std::map<std::uint64_t, Handle> lockHolder_;
    std::uint64_t nextInode_ = 2;
    Handle nextHandle_ = 3;
    std::int64_t clock_ = 1'700'000'000;
    std::chrono::steady_clock::time_point steady_{};
    std::optional<std::uint64_t> free_;
    std::optional<Armed> armed_;
    bool killed_ = false;
    bool quiet_ = false;
    bool windowsRules_ = false;
    bool caseFolding_ = false;
    std::int64_t granularity_ = 1;
    std::int64_t step_ = 1'000'000'000;
    std::map<std::filesystem::path, std::uint64_t> devices_;
    std::optional<std::uint64_t> holdAfter_;
    std::optional<int> syncsBeforeCut_;
    std::uint64_t calls_ = 0;
    std::array<std::uint64_t, faultKinds> struck_{};
};
