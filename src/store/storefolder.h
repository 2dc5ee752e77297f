#pragma once

#include <climits>
#include <cstdint>

namespace corvalo::storeprotocol {

// The store program's private folder as the one who removes it knows it: by the folder it lies in
// (held open), its name, and what it was when it was taken, so that nothing put in its place is
// ever taken for it. A program running as the same user can put links and mounts into it; the
// removal never follows a link nor crosses into another mount, and leaves what it cannot remove
// so in place, with one line on standard error. It allocates nothing and makes only system calls,
// so a process forked from a threaded one may use it.
class StoreFolder {
public:
    StoreFolder() = default;
    // The folder at this path as it is now; empty if it is no folder (a link, say).
    explicit StoreFolder(const char* path);
    StoreFolder(StoreFolder&& other) noexcept;
    StoreFolder& operator=(StoreFolder&& other) noexcept;
    ~StoreFolder(); // the folder stays
    StoreFolder(const StoreFolder&) = delete;
    StoreFolder& operator=(const StoreFolder&) = delete;

    bool isEmpty() const { return m_parent < 0; }
    int parentDescriptor() const { return m_parent; }
    // Removes the folder with everything in it, or the link put in its place.
    void remove() const;

    struct Identity {
        std::uint32_t deviceMajor = 0;
        std::uint32_t deviceMinor = 0;
        std::uint64_t inode = 0;
        std::uint64_t mount = 0; // 0 where the kernel does not tell
    };

private:
    int m_parent = -1;
    char m_path[PATH_MAX] = {};
    int m_nameAt = 0; // where its name starts in m_path
    Identity m_identity;
};

} // namespace corvalo::storeprotocol
