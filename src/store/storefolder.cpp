#include "storefolder.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <initializer_list>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace corvalo::storeprotocol {

namespace {

using Identity = StoreFolder::Identity;

// Folders nested deeper than this are left, rather than the stack run out.
constexpr int deepest = 64;

constexpr unsigned identityFields = STATX_TYPE | STATX_INO | STATX_MNT_ID;

Identity identityOf(const struct statx& status)
{
    return {status.stx_dev_major, status.stx_dev_minor, status.stx_ino,
            (status.stx_mask & STATX_MNT_ID) ? status.stx_mnt_id : 0};
}

bool sameMount(const Identity& a, const Identity& b)
{
    return a.deviceMajor == b.deviceMajor && a.deviceMinor == b.deviceMinor && a.mount == b.mount;
}

bool sameObject(const Identity& a, const Identity& b)
{
    return sameMount(a, b) && a.inode == b.inode;
}

// What the kernel hands getdents64.
struct DirectoryEntry {
    std::uint64_t inode;
    std::int64_t next;
    unsigned short length;
    unsigned char type;
    char name[1];
};

// The first thing left in place, told once the removal is over: something in the folder by its
// name, or the folder itself (no name).
struct Left {
    char name[NAME_MAX + 1] = {};
    const char* why = nullptr;

    bool note(const char* entry, const char* reason)
    {
        if (!why) {
            std::strncpy(name, entry, sizeof name - 1);
            why = reason;
        }
        return false;
    }
};

void append(char* line, std::size_t size, const char* text)
{
    const std::size_t used = std::strlen(line);
    std::strncat(line, text, size - used - 1);
}

bool removeEntry(int folder, const char* name, const Identity& top, int depth, Left& left);

// Empties the folder open as the descriptor (by that name, or the store's own folder if none);
// false when something was left. What is put into it meanwhile goes on the next pass, within
// reason.
bool empty(int folder, const char* name, const Identity& top, int depth, Left& left)
{
    alignas(DirectoryEntry) char buffer[1024];
    for (int pass = 0; pass < 3; ++pass) {
        if (lseek(folder, 0, SEEK_SET) != 0)
            return left.note(name, "it cannot be read");
        int found = 0;
        bool kept = false;
        for (;;) {
            const long length = syscall(SYS_getdents64, folder, buffer, sizeof buffer);
            if (length < 0)
                return left.note(name, "it cannot be read");
            if (length == 0)
                break;
            for (long at = 0; at < length;) {
                const auto* entry = reinterpret_cast<const DirectoryEntry*>(buffer + at);
                at += entry->length;
                if (std::strcmp(entry->name, ".") == 0 || std::strcmp(entry->name, "..") == 0)
                    continue;
                ++found;
                kept |= !removeEntry(folder, entry->name, top, depth, left);
            }
        }
        if (found == 0 || kept)
            return found == 0;
    }
    return left.note(name, "it fills up as fast as it is emptied");
}

bool removeEntry(int folder, const char* name, const Identity& top, int depth, Left& left)
{
    struct statx status {};
    if (statx(folder, name, AT_SYMLINK_NOFOLLOW, identityFields, &status) != 0)
        return errno == ENOENT || left.note(name, "it cannot be looked at");
    if (!S_ISDIR(status.stx_mode)) // a link goes, never what it leads to
        return unlinkat(folder, name, 0) == 0 || errno == ENOENT ||
               left.note(name, "it cannot be removed");
    const Identity found = identityOf(status);
    if (!sameMount(found, top))
        return left.note(name, "another file system is mounted there");
    if (depth >= deepest)
        return left.note(name, "it lies too deep");
    const int inner = openat(folder, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (inner < 0)
        return errno == ENOENT || left.note(name, "it cannot be opened");
    struct statx opened {};
    const bool same = statx(inner, "", AT_EMPTY_PATH, identityFields, &opened) == 0 &&
                      sameObject(identityOf(opened), found);
    const bool emptied = same ? empty(inner, name, top, depth + 1, left)
                              : left.note(name, "it was replaced while it was removed");
    close(inner);
    return emptied && (unlinkat(folder, name, AT_REMOVEDIR) == 0 || errno == ENOENT ||
                       left.note(name, "it cannot be removed"));
}

} // namespace

StoreFolder::StoreFolder(const char* path)
{
    const std::size_t length = std::strlen(path);
    const char* slash = std::strrchr(path, '/');
    if (length >= sizeof m_path || !slash || slash[1] == '\0')
        return;
    std::memcpy(m_path, path, length + 1);
    m_nameAt = int(slash + 1 - path);
    m_path[slash - path] = '\0'; // for a moment, the folder it lies in
    const int parent = open(slash == path ? "/" : m_path, O_PATH | O_DIRECTORY | O_CLOEXEC);
    m_path[slash - path] = '/';
    struct statx status {};
    if (parent >= 0 &&
        statx(parent, m_path + m_nameAt, AT_SYMLINK_NOFOLLOW, identityFields, &status) == 0 &&
        S_ISDIR(status.stx_mode)) {
        m_parent = parent;
        m_identity = identityOf(status);
    } else if (parent >= 0) {
        close(parent);
    }
}

StoreFolder::StoreFolder(StoreFolder&& other) noexcept
{
    *this = static_cast<StoreFolder&&>(other);
}

StoreFolder& StoreFolder::operator=(StoreFolder&& other) noexcept
{
    if (this != &other) {
        if (m_parent >= 0)
            close(m_parent);
        std::memcpy(m_path, other.m_path, sizeof m_path);
        m_nameAt = other.m_nameAt;
        m_identity = other.m_identity;
        m_parent = other.m_parent;
        other.m_parent = -1;
    }
    return *this;
}

StoreFolder::~StoreFolder()
{
    if (m_parent >= 0)
        close(m_parent);
}

void StoreFolder::remove() const
{
    if (m_parent < 0)
        return;
    const char* name = m_path + m_nameAt;
    Left left;
    struct statx status {};
    if (statx(m_parent, name, AT_SYMLINK_NOFOLLOW, identityFields, &status) != 0) {
        if (errno != ENOENT)
            left.note("", "it cannot be looked at");
    } else if (S_ISLNK(status.stx_mode)) {
        if (unlinkat(m_parent, name, 0) != 0 && errno != ENOENT)
            left.note("", "a link in its place cannot be removed");
    } else if (!sameObject(identityOf(status), m_identity)) {
        left.note("", "something else was put in its place");
    } else {
        const int folder = openat(m_parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        struct statx opened {};
        if (folder < 0 || statx(folder, "", AT_EMPTY_PATH, identityFields, &opened) != 0 ||
            !sameObject(identityOf(opened), m_identity))
            left.note("", "it was replaced while it was removed");
        else if (empty(folder, "", m_identity, 0, left) &&
                 unlinkat(m_parent, name, AT_REMOVEDIR) != 0)
            left.note("", "it cannot be removed");
        if (folder >= 0)
            close(folder);
    }
    if (!left.why)
        return;
    char line[PATH_MAX + NAME_MAX + 256] = "Corvalo: the store program's folder ";
    append(line, sizeof line, m_path);
    if (left.name[0] != '\0')
        for (const char* part : {" holds \"", static_cast<const char*>(left.name), "\", which"})
            append(line, sizeof line, part);
    for (const char* part : {" was left in place, as ", left.why, ".\n"})
        append(line, sizeof line, part);
    [[maybe_unused]] const ssize_t written = write(STDERR_FILENO, line, std::strlen(line));
}

} // namespace corvalo::storeprotocol
