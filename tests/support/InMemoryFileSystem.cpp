// SPDX-License-Identifier: GPL-3.0-or-later
#include "InMemoryFileSystem.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

using core::FileStatus;
using core::SystemError;
namespace fs = std::filesystem;

namespace {
constexpr std::uint64_t root = 1;
constexpr int maximumLinks = 40;
constexpr std::int64_t tick = 1'000'000'000;
} // namespace

InMemoryFileSystem::InMemoryFileSystem()
{
    Node folder;
    folder.type = FileStatus::Type::Folder;
    folder.mode = 0755;
    nodes_[root] = folder;
}

SystemError InMemoryFileSystem::enter(Op op)
{
    if (quiet_)
        return 0;
    ++calls_;
    if (killed_)
        return EIO;
    if (!armed_ || (armed_->writesOnly && op != Op::Write))
        return 0;
    if (armed_->countdown > 0) {
        --armed_->countdown;
        return 0;
    }
    const Fault fault = armed_->fault;
    if ((fault == Fault::ReadFails && op != Op::Read) ||
        (fault == Fault::Busy && op != Op::Open && op != Op::Change) ||
        (fault == Fault::DiskFull && op != Op::Write) || (fault != Fault::Kill && op == Op::Look))
        return 0;
    armed_.reset();
    ++struck_[std::size_t(fault)];
    switch (fault) {
    case Fault::Kill:
        killed_ = true;
        return EIO;
    case Fault::DiskFull:
        // Full from here on for this step, a few bytes in: a write is cut short.
        free_ = usedBytes() + std::uint64_t(calls_ % 1500);
        return 0;
    case Fault::IoError:
    case Fault::ReadFails:
        return EIO;
    case Fault::Busy:
        return EBUSY;
    case Fault::AccessDenied:
        return EACCES;
    }
    return 0;
}

void InMemoryFileSystem::arm(Fault fault, int afterCalls)
{
    armed_ = Armed{fault, afterCalls};
}

void InMemoryFileSystem::revive()
{
    killed_ = false;
    armed_.reset();
    holdAfter_.reset();
    syncsBeforeCut_.reset();
    open_.clear();
    lockHolder_.clear();
    free_.reset();
    for (auto it = nodes_.begin(); it != nodes_.end();)
        it = it->second.links == 0 ? nodes_.erase(it) : std::next(it);
}

void InMemoryFileSystem::settle()
{
    durable_ = nodes_;
}

InMemoryFileSystem::Node &InMemoryFileSystem::durableNode(std::uint64_t inode)
{
    const auto found = durable_.find(inode);
    if (found != durable_.end())
        return found->second;
    Node node = nodes_.at(inode);
    node.data.clear();
    node.children.clear();
    return durable_[inode] = node;
}

void InMemoryFileSystem::losePower()
{
    if (durable_.empty())
        return revive();
    // What is reachable from the root through durable names, with its names counted anew.
    std::unordered_map<std::uint64_t, Node> kept;
    std::vector<std::uint64_t> pending{root};
    while (!pending.empty()) {
        const std::uint64_t inode = pending.back();
        pending.pop_back();
        Node &node = kept[inode] = durable_.at(inode);
        node.links = 0;
        for (const auto &[name, child] : node.children)
            if (!kept.count(child))
                pending.push_back(child);
    }
    for (const auto &[inode, node] : kept)
        for (const auto &[name, child] : node.children)
            ++kept.at(child).links;
    nodes_ = std::move(kept);
    nodes_.at(root).links = 1;
    revive();
}

SystemError InMemoryFileSystem::lookup(const fs::path &path, bool followLinks, std::uint64_t &inode,
                                       int depth) const
{
    inode = 0;
    if (depth > maximumLinks)
        return ELOOP;
    const fs::path normal = path.lexically_normal();
    std::vector<std::string> parts;
    for (const fs::path &part : normal.relative_path())
        if (!part.empty() && part != ".")
            parts.push_back(part.string());
    std::uint64_t current = root;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const Node &node = nodes_.at(current);
        if (node.type != FileStatus::Type::Folder)
            return ENOTDIR;
        const auto found = node.children.find(storedName(node, parts[i]));
        if (found == node.children.end())
            return ENOENT;
        const Node &child = nodes_.at(found->second);
        const bool last = i + 1 == parts.size();
        if (child.type == FileStatus::Type::Link && (!last || followLinks)) {
            fs::path prefix("/");
            for (std::size_t j = 0; j < i; ++j)
                prefix /= parts[j];
            fs::path next =
                fs::path(child.link).is_absolute() ? fs::path(child.link) : prefix / child.link;
            for (std::size_t j = i + 1; j < parts.size(); ++j)
                next /= parts[j];
            return lookup(next, followLinks, inode, depth + 1);
        }
        current = found->second;
    }
    inode = current;
    return 0;
}

SystemError InMemoryFileSystem::parentOf(const fs::path &path, std::uint64_t &folder,
                                         std::string &name) const
{
    const fs::path normal = path.lexically_normal();
    name = normal.filename().string();
    if (const SystemError error = lookup(normal.parent_path(), true, folder))
        return error;
    if (nodes_.at(folder).type != FileStatus::Type::Folder)
        return ENOTDIR;
    name = storedName(nodes_.at(folder), name);
    return 0;
}

std::string InMemoryFileSystem::storedName(const Node &folder, const std::string &name) const
{
    if (!caseFolding_ || folder.children.count(name))
        return name;
    const auto lower = [](std::string text) {
        for (char &c : text)
            if (c >= 'A' && c <= 'Z')
                c = char(c - 'A' + 'a');
        return text;
    };
    const std::string wanted = lower(name);
    for (const auto &[stored, inode] : folder.children)
        if (lower(stored) == wanted)
            return stored;
    return name;
}

void InMemoryFileSystem::setTimeGranularity(std::int64_t ticks)
{
    granularity_ = ticks;
    step_ = ticks < tick ? tick + 37 : tick;
}

std::int64_t InMemoryFileSystem::keptTime(std::int64_t ticks) const
{
    return ticks - ticks % granularity_;
}

void InMemoryFileSystem::putDevice(const fs::path &folder, std::uint64_t device)
{
    devices_[folder.lexically_normal()] = device;
    std::uint64_t inode = 0;
    if (lookup(folder, true, inode) == 0)
        nodes_.at(inode).device = device;
}

std::uint64_t InMemoryFileSystem::makeFolder(const fs::path &path, std::uint64_t folder)
{
    const std::uint64_t inode = make(FileStatus::Type::Folder, folder);
    const auto device = devices_.find(path.lexically_normal());
    if (device != devices_.end())
        nodes_.at(inode).device = device->second;
    return inode;
}

SystemError InMemoryFileSystem::writableParent(const fs::path &path, std::uint64_t &folder,
                                               std::string &name) const
{
    if (const SystemError error = parentOf(path, folder, name))
        return error;
    return (nodes_.at(folder).mode & 0200) ? 0 : EACCES;
}

std::uint64_t InMemoryFileSystem::make(FileStatus::Type type, std::uint64_t folder)
{
    const std::uint64_t inode = nextInode_++;
    const std::uint64_t device = nodes_.at(folder).device;
    Node &node = nodes_[inode];
    node.device = device;
    node.type = type;
    node.mode = type == FileStatus::Type::Folder ? 0755 : 0644;
    touch(node, true);
    return inode;
}

void InMemoryFileSystem::touch(Node &node, bool content)
{
    ++clock_;
    // A file system that keeps times to 2 s keeps its change time no finer.
    node.changed = granularity_ > tick ? keptTime(clock_ * tick) / tick : clock_;
    if (content)
        node.modified = keptTime(clock_ * step_);
}

bool InMemoryFileSystem::inUse(const fs::path &path)
{
    // Asked only under Windows' rules, so that the sequences of the others stay as they were.
    std::uint64_t inode = 0;
    if (!windowsRules_ || enter(Op::Look) || lookup(path, true, inode) != 0)
        return false;
    return nodes_.at(inode).busy;
}

SystemError InMemoryFileSystem::heldInPlace(const Node &node) const
{
    if (!windowsRules_ || node.type == FileStatus::Type::Folder)
        return 0;
    if (node.busy)
        return EBUSY;
    return (node.mode & 0222) == 0 ? EACCES : 0;
}

void InMemoryFileSystem::unlinkNode(std::uint64_t inode)
{
    Node &node = nodes_.at(inode);
    if (node.links > 0)
        --node.links;
    touch(node, false);
    if (node.links > 0)
        return;
    for (const auto &[handle, open] : open_)
        if (open.inode == inode)
            return; // gone once closed; revive() sweeps it
    nodes_.erase(inode);
}

std::uint64_t InMemoryFileSystem::usedBytes() const
{
    std::uint64_t used = 0;
    for (const auto &[inode, node] : nodes_)
        used += node.data.size();
    return used;
}

InMemoryFileSystem::Open *InMemoryFileSystem::openOf(Handle handle)
{
    const auto it = open_.find(handle);
    return it == open_.end() || nodes_.count(it->second.inode) == 0 ? nullptr : &it->second;
}

SystemError InMemoryFileSystem::openForReading(const fs::path &path, Handle &handle)
{
    if (const SystemError error = enter(Op::Open))
        return error;
    std::uint64_t inode = 0;
    if (const SystemError error = lookup(path, true, inode))
        return error;
    const Node &node = nodes_.at(inode);
    if (node.type == FileStatus::Type::Folder)
        return EISDIR;
    if (node.type != FileStatus::Type::File)
        return notAFile;
    if ((node.mode & 0444) == 0)
        return EACCES;
    handle = nextHandle_++;
    open_[handle] = {inode, 0, false, false};
    return 0;
}

SystemError InMemoryFileSystem::createNew(const fs::path &path, Handle &handle)
{
    if (const SystemError error = enter(Op::Change))
        return error;
    std::uint64_t folder = 0;
    std::string name;
    if (const SystemError error = writableParent(path, folder, name))
        return error;
    if (nodes_.at(folder).children.count(name))
        return EEXIST;
    const std::uint64_t inode = make(FileStatus::Type::File, folder);
    nodes_.at(folder).children[name] = inode;
    handle = nextHandle_++;
    open_[handle] = {inode, 0, true, false};
    return 0;
}

SystemError InMemoryFileSystem::openForOverwrite(const fs::path &path, Handle &handle)
{
    if (const SystemError error = enter(Op::Open))
        return error;
    std::uint64_t inode = 0;
    if (const SystemError error = lookup(path, true, inode))
        return error;
    Node &node = nodes_.at(inode);
    if (node.type == FileStatus::Type::Folder)
        return EISDIR;
    if ((node.mode & 0222) == 0)
        return EACCES;
    if (node.busy)
        return EBUSY;
    node.data.clear();
    touch(node, true);
    handle = nextHandle_++;
    open_[handle] = {inode, 0, true, false};
    return 0;
}

SystemError InMemoryFileSystem::read(Handle handle, char *buffer, std::size_t capacity,
                                     std::size_t &bytesRead)
{
    if (const SystemError error = enter(Op::Read))
        return error;
    Open *open = openOf(handle);
    if (!open)
        return EBADF;
    const std::string &data = nodes_.at(open->inode).data;
    const std::size_t from = std::min<std::size_t>(open->position, data.size());
    bytesRead = std::min(capacity, data.size() - from);
    std::memcpy(buffer, data.data() + from, bytesRead);
    open->position = from + bytesRead;
    return 0;
}

SystemError InMemoryFileSystem::seek(Handle handle, std::int64_t offset, int whence,
                                     std::int64_t &position)
{
    if (const SystemError error = enter(Op::Look))
        return error;
    Open *open = openOf(handle);
    if (!open)
        return EBADF;
    const std::int64_t base = whence == SEEK_END ? std::int64_t(nodes_.at(open->inode).data.size())
                              : whence == SEEK_CUR ? std::int64_t(open->position)
                                                   : 0;
    if (base + offset < 0)
        return EINVAL;
    open->position = std::uint64_t(base + offset);
    position = std::int64_t(open->position);
    return 0;
}

SystemError InMemoryFileSystem::write(Handle handle, const char *data, std::size_t size)
{
    if (const SystemError error = enter(Op::Write))
        return error;
    Open *open = openOf(handle);
    if (!open || !open->writes)
        return EBADF;
    Node &node = nodes_.at(open->inode);
    std::size_t fits = size;
    if (free_) {
        const std::uint64_t used = usedBytes();
        const std::uint64_t room = *free_ > used ? *free_ - used : 0;
        const std::uint64_t growth =
            open->position + size > node.data.size() ? open->position + size - node.data.size() : 0;
        if (growth > room)
            fits = std::size_t(std::min<std::uint64_t>(size, size - (growth - room)));
    }
    if (node.data.size() < open->position + fits)
        node.data.resize(open->position + fits);
    if (fits > 0)
        std::memcpy(node.data.data() + open->position, data, fits);
    open->position += fits;
    touch(node, true);
    return fits == size ? 0 : ENOSPC;
}

void InMemoryFileSystem::countSync()
{
    if (quiet_ || killed_ || !syncsBeforeCut_)
        return;
    if ((*syncsBeforeCut_)-- > 0)
        return;
    syncsBeforeCut_.reset();
    killed_ = true;
    ++struck_[std::size_t(Fault::Kill)];
}

SystemError InMemoryFileSystem::flushToDisk(Handle handle)
{
    countSync();
    if (const SystemError error = enter(Op::Write))
        return error;
    const Open *open = openOf(handle);
    if (!open)
        return EBADF;
    if (!durable_.empty()) {
        Node &durable = durableNode(open->inode);
        durable.data = nodes_.at(open->inode).data;
        durable.modified = nodes_.at(open->inode).modified;
        durable.changed = nodes_.at(open->inode).changed;
    }
    return 0;
}

void InMemoryFileSystem::close(Handle handle)
{
    // A dead program tidies nothing up: its handles and locks stay until revive().
    if (killed_ && !quiet_)
        return;
    const auto it = open_.find(handle);
    if (it == open_.end())
        return;
    const std::uint64_t inode = it->second.inode;
    const auto holder = lockHolder_.find(inode);
    if (holder != lockHolder_.end() && holder->second == handle)
        lockHolder_.erase(holder);
    open_.erase(it);
    const auto node = nodes_.find(inode);
    if (node != nodes_.end() && node->second.links == 0) {
        for (const auto &[other, open] : open_)
            if (open.inode == inode)
                return;
        nodes_.erase(node);
    }
}

void InMemoryFileSystem::copyPermissions(const fs::path &from, Handle to)
{
    if (enter(Op::Change))
        return;
    std::uint64_t inode = 0;
    Open *open = openOf(to);
    if (!open || lookup(from, true, inode) != 0)
        return;
    nodes_.at(open->inode).mode = nodes_.at(inode).mode;
}

SystemError InMemoryFileSystem::replace(const fs::path &from, const fs::path &to)
{
    std::uint64_t target = 0;
    if (!killed_ && lookup(to, true, target) == 0 && (nodes_.at(target).mode & 0222) == 0) {
        if (const SystemError error = enter(Op::Change))
            return error;
        return EACCES;
    }
    return rename(from, to);
}

void InMemoryFileSystem::syncFolder(const fs::path &folder)
{
    // The seam's sync reports nothing: only a kill keeps it from happening.
    countSync();
    std::uint64_t inode = 0;
    enter(Op::Write);
    if (killed_ || durable_.empty() || lookup(folder, true, inode) != 0 ||
        nodes_.at(inode).type != FileStatus::Type::Folder)
        return;
    durableNode(inode).children = nodes_.at(inode).children;
    // A name is durable only with its file's own record (links, change time, mode), as a
    // journal commits them together: a name never outlives the change time of its making.
    for (const auto &[name, child] : nodes_.at(inode).children) {
        Node &durable = durableNode(child);
        durable.changed = nodes_.at(child).changed;
        durable.mode = nodes_.at(child).mode;
    }
}

SystemError InMemoryFileSystem::remove(const fs::path &path)
{
    if (const SystemError error = enter(Op::Change))
        return error;
    std::uint64_t folder = 0;
    std::string name;
    if (parentOf(path, folder, name) != 0)
        return 0;
    const auto found = nodes_.at(folder).children.find(name);
    if (found == nodes_.at(folder).children.end())
        return 0;
    const Node &node = nodes_.at(found->second);
    if (node.type == FileStatus::Type::Folder)
        return EISDIR;
    if (!(nodes_.at(folder).mode & 0200))
        return EACCES;
    if (const SystemError error = heldInPlace(node))
        return error;
    const std::uint64_t inode = found->second;
    nodes_.at(folder).children.erase(found);
    unlinkNode(inode);
    return 0;
}

SystemError InMemoryFileSystem::hardLink(const fs::path &existing, const fs::path &link)
{
    if (const SystemError error = enter(Op::Change))
        return error;
    std::uint64_t inode = 0;
    if (const SystemError error = lookup(existing, false, inode))
        return error;
    if (nodes_.at(inode).type == FileStatus::Type::Folder)
        return EPERM;
    std::uint64_t folder = 0;
    std::string name;
    if (const SystemError error = writableParent(link, folder, name))
        return error;
    if (nodes_.at(folder).device != nodes_.at(inode).device)
        return EXDEV;
    if (nodes_.at(folder).children.count(name))
        return EEXIST;
    nodes_.at(folder).children[name] = inode;
    ++nodes_.at(inode).links;
    touch(nodes_.at(inode), false);
    return 0;
}

SystemError InMemoryFileSystem::createFolder(const fs::path &path)
{
    if (const SystemError error = enter(Op::Change))
        return error;
    std::uint64_t folder = 0;
    std::string name;
    if (const SystemError error = parentOf(path, folder, name))
        return error;
    if (nodes_.at(folder).children.count(name))
        return 0;
    if (!(nodes_.at(folder).mode & 0200))
        return EACCES;
    nodes_.at(folder).children[name] = makeFolder(path, folder);
    return 0;
}

bool InMemoryFileSystem::isFolder(const fs::path &path)
{
    if (enter(Op::Look))
        return false;
    std::uint64_t inode = 0;
    return lookup(path, true, inode) == 0 && nodes_.at(inode).type == FileStatus::Type::Folder;
}

SystemError InMemoryFileSystem::removeFolder(const fs::path &path)
{
    if (const SystemError error = enter(Op::Change))
        return error;
    std::uint64_t folder = 0;
    std::string name;
    if (parentOf(path, folder, name) != 0)
        return 0;
    const auto found = nodes_.at(folder).children.find(name);
    if (found == nodes_.at(folder).children.end())
        return 0;
    const Node &node = nodes_.at(found->second);
    if (node.type != FileStatus::Type::Folder)
        return ENOTDIR;
    if (!node.children.empty())
        return ENOTEMPTY;
    nodes_.erase(found->second);
    nodes_.at(folder).children.erase(found);
    return 0;
}

SystemError InMemoryFileSystem::status(const fs::path &path, FileStatus &status, bool followLinks)
{
    status = {};
    if (const SystemError error = enter(Op::Look))
        return error;
    std::uint64_t inode = 0;
    const SystemError error = lookup(path, followLinks, inode);
    if (error == ENOENT || error == ENOTDIR)
        return 0;
    if (error)
        return error;
    const Node &node = nodes_.at(inode);
    status.type = node.type;
    status.device = node.device;
    status.inode = inode;
    status.size = node.data.size();
    status.modified = node.modified;
    status.changed = node.changed;
    status.mode = node.mode;
    status.links = node.links;
    return 0;
}

SystemError InMemoryFileSystem::listFolder(const fs::path &folder, std::vector<fs::path> &names)
{
    names.clear();
    if (const SystemError error = enter(Op::Look))
        return error;
    std::uint64_t inode = 0;
    if (const SystemError error = lookup(folder, true, inode))
        return error;
    const Node &node = nodes_.at(inode);
    if (node.type != FileStatus::Type::Folder)
        return ENOTDIR;
    for (const auto &[name, child] : node.children)
        names.emplace_back(name);
    return 0;
}

SystemError InMemoryFileSystem::rename(const fs::path &from, const fs::path &to)
{
    if (const SystemError error = enter(Op::Change))
        return error;
    std::uint64_t fromFolder = 0;
    std::uint64_t toFolder = 0;
    std::string fromName;
    std::string toName;
    if (const SystemError error = writableParent(from, fromFolder, fromName))
        return error;
    if (const SystemError error = writableParent(to, toFolder, toName))
        return error;
    auto &fromChildren = nodes_.at(fromFolder).children;
    const auto moving = fromChildren.find(fromName);
    if (moving == fromChildren.end())
        return ENOENT;
    const std::uint64_t inode = moving->second;
    if (nodes_.at(toFolder).device != nodes_.at(inode).device)
        return EXDEV;
    if (windowsRules_ && nodes_.at(inode).busy)
        return EBUSY;
    auto &toChildren = nodes_.at(toFolder).children;
    const auto there = toChildren.find(toName);
    if (there != toChildren.end() && holdAfter_ && calls_ >= *holdAfter_ && !quiet_) {
        holdAfter_.reset();
        nodes_.at(there->second).busy = true;
    }
    if (there != toChildren.end()) {
        if (there->second == inode)
            return 0;
        const Node &old = nodes_.at(there->second);
        if (old.busy)
            return EBUSY;
        if (const SystemError error = heldInPlace(old))
            return error;
        if (old.type == FileStatus::Type::Folder &&
            (nodes_.at(inode).type != FileStatus::Type::Folder || !old.children.empty()))
            return old.children.empty() ? EISDIR : ENOTEMPTY;
        if (old.type != FileStatus::Type::Folder &&
            nodes_.at(inode).type == FileStatus::Type::Folder)
            return ENOTDIR;
        const std::uint64_t replaced = there->second;
        toChildren.erase(there);
        if (nodes_.at(replaced).type == FileStatus::Type::Folder)
            nodes_.erase(replaced);
        else
            unlinkNode(replaced);
    }
    nodes_.at(fromFolder).children.erase(fromName);
    nodes_.at(toFolder).children[toName] = inode;
    touch(nodes_.at(inode), false);
    return 0;
}

SystemError InMemoryFileSystem::readLink(const fs::path &link, fs::path &target)
{
    if (const SystemError error = enter(Op::Look))
        return error;
    std::uint64_t inode = 0;
    if (const SystemError error = lookup(link, false, inode))
        return error;
    if (nodes_.at(inode).type != FileStatus::Type::Link)
        return EINVAL;
    target = nodes_.at(inode).link;
    return 0;
}

SystemError InMemoryFileSystem::setModified(const fs::path &path, std::int64_t modified)
{
    if (const SystemError error = enter(Op::Change))
        return error;
    std::uint64_t inode = 0;
    if (const SystemError error = lookup(path, true, inode))
        return error;
    Node &node = nodes_.at(inode);
    touch(node, false);
    node.modified = keptTime(modified);
    return 0;
}

SystemError InMemoryFileSystem::openLock(const fs::path &path, bool create, Handle &handle)
{
    if (const SystemError error = enter(Op::Open))
        return error;
    std::uint64_t inode = 0;
    SystemError error = lookup(path, false, inode);
    if (error == ENOENT && create) {
        std::uint64_t folder = 0;
        std::string name;
        if ((error = writableParent(path, folder, name)))
            return error;
        inode = make(FileStatus::Type::File, folder);
        nodes_.at(folder).children[name] = inode;
    } else if (error) {
        return error;
    }
    const Node &node = nodes_.at(inode);
    if (node.type == FileStatus::Type::Link)
        return ELOOP;
    if (node.type == FileStatus::Type::Folder)
        return EISDIR;
    handle = nextHandle_++;
    open_[handle] = {inode, 0, false, true};
    return 0;
}

SystemError InMemoryFileSystem::tryLock(Handle handle)
{
    if (const SystemError error = enter(Op::Open))
        return error;
    Open *open = openOf(handle);
    if (!open)
        return EBADF;
    const auto holder = lockHolder_.find(open->inode);
    if (holder != lockHolder_.end() && holder->second != handle)
        return lockHeld;
    lockHolder_[open->inode] = handle;
    return 0;
}

void InMemoryFileSystem::put(const fs::path &path, const std::string &bytes)
{
    std::uint64_t inode = 0;
    if (lookup(path, true, inode) == 0 && nodes_.at(inode).type == FileStatus::Type::File) {
        nodes_.at(inode).data = bytes;
        touch(nodes_.at(inode), true);
        return;
    }
    std::uint64_t folder = 0;
    std::string name;
    if (parentOf(path, folder, name) != 0)
        return;
    erase(path);
    const std::uint64_t made = make(FileStatus::Type::File, folder);
    nodes_.at(made).data = bytes;
    nodes_.at(folder).children[name] = made;
}

void InMemoryFileSystem::putByRename(const fs::path &path, const std::string &bytes)
{
    std::uint64_t folder = 0;
    std::string name;
    if (parentOf(path, folder, name) != 0)
        return;
    erase(path);
    const std::uint64_t made = make(FileStatus::Type::File, folder);
    nodes_.at(made).data = bytes;
    nodes_.at(folder).children[name] = made;
}

void InMemoryFileSystem::putFolder(const fs::path &path)
{
    fs::path sofar("/");
    for (const fs::path &part : path.lexically_normal().relative_path()) {
        sofar /= part;
        std::uint64_t inode = 0;
        if (lookup(sofar, true, inode) == 0)
            continue;
        std::uint64_t folder = 0;
        std::string name;
        if (parentOf(sofar, folder, name) != 0)
            return;
        nodes_.at(folder).children[name] = makeFolder(sofar, folder);
    }
}

void InMemoryFileSystem::putLink(const fs::path &path, const std::string &target)
{
    std::uint64_t folder = 0;
    std::string name;
    if (parentOf(path, folder, name) != 0)
        return;
    erase(path);
    const std::uint64_t made = make(FileStatus::Type::Link, folder);
    nodes_.at(made).link = target;
    nodes_.at(folder).children[name] = made;
}

void InMemoryFileSystem::erase(const fs::path &path)
{
    std::uint64_t folder = 0;
    std::string name;
    if (parentOf(path, folder, name) != 0)
        return;
    auto &children = nodes_.at(folder).children;
    const auto found = children.find(name);
    if (found == children.end())
        return;
    const std::uint64_t inode = found->second;
    if (nodes_.at(inode).type == FileStatus::Type::Folder) {
        std::vector<std::string> names;
        for (const auto &[child, unused] : nodes_.at(inode).children)
            names.push_back(child);
        for (const std::string &child : names)
            erase(path / child);
        nodes_.erase(inode);
        nodes_.at(folder).children.erase(name);
        return;
    }
    children.erase(found);
    unlinkNode(inode);
}

void InMemoryFileSystem::swapNames(const fs::path &a, const fs::path &b)
{
    std::uint64_t folderA = 0;
    std::uint64_t folderB = 0;
    std::string nameA;
    std::string nameB;
    if (parentOf(a, folderA, nameA) != 0 || parentOf(b, folderB, nameB) != 0)
        return;
    auto &childrenA = nodes_.at(folderA).children;
    auto &childrenB = nodes_.at(folderB).children;
    if (!childrenA.count(nameA) || !childrenB.count(nameB))
        return;
    std::swap(childrenA[nameA], childrenB[nameB]);
    touch(nodes_.at(childrenA[nameA]), false);
    touch(nodes_.at(childrenB[nameB]), false);
}

void InMemoryFileSystem::setMode(const fs::path &path, std::uint32_t mode)
{
    std::uint64_t inode = 0;
    if (lookup(path, true, inode) == 0) {
        nodes_.at(inode).mode = mode;
        touch(nodes_.at(inode), false);
    }
}

void InMemoryFileSystem::setTimeOf(const fs::path &path, std::int64_t modified)
{
    std::uint64_t inode = 0;
    if (lookup(path, true, inode) == 0) {
        touch(nodes_.at(inode), false);
        nodes_.at(inode).modified = keptTime(modified);
    }
}

void InMemoryFileSystem::setBusy(const fs::path &path, bool busy)
{
    std::uint64_t inode = 0;
    if (lookup(path, true, inode) == 0)
        nodes_.at(inode).busy = busy;
}

std::optional<std::string> InMemoryFileSystem::peek(const fs::path &path) const
{
    std::uint64_t inode = 0;
    if (lookup(path, true, inode) != 0 || nodes_.at(inode).type != FileStatus::Type::File)
        return std::nullopt;
    return nodes_.at(inode).data;
}

std::optional<FileStatus> InMemoryFileSystem::peekStatus(const fs::path &path,
                                                         bool followLinks) const
{
    std::uint64_t inode = 0;
    if (lookup(path, followLinks, inode) != 0)
        return std::nullopt;
    const Node &node = nodes_.at(inode);
    FileStatus status;
    status.type = node.type;
    status.device = node.device;
    status.inode = inode;
    status.size = node.data.size();
    status.modified = node.modified;
    status.changed = node.changed;
    status.mode = node.mode;
    status.links = node.links;
    return status;
}

std::vector<fs::path> InMemoryFileSystem::filesUnder(const fs::path &folder) const
{
    std::vector<fs::path> files;
    std::uint64_t inode = 0;
    if (lookup(folder, false, inode) != 0 || nodes_.at(inode).type != FileStatus::Type::Folder)
        return files;
    for (const auto &[name, child] : nodes_.at(inode).children) {
        const Node &node = nodes_.at(child);
        if (node.type == FileStatus::Type::File)
            files.push_back(folder / name);
        else if (node.type == FileStatus::Type::Folder)
            for (fs::path &file : filesUnder(folder / name))
                files.push_back(std::move(file));
    }
    return files;
}

void InMemoryFileSystem::setFreeBytes(std::optional<std::uint64_t> free)
{
    free_ = free ? std::optional<std::uint64_t>(usedBytes() + *free) : std::nullopt;
}
