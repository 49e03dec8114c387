#pragma once

// Cabinet file services for the passes over a set spread across removable disks.
// The reader asks for each next part (and the user swaps disks) before it
// decodes a folder that runs on into later parts, and the decoder then opens
// the earlier parts again, whose disks are out of the drive by then. So a
// part on removable media is read whole when it is first opened and served
// from memory for the rest of the archive's passes, as if every disk were
// still there.

#include "cabinet/reader.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

class RemovableCabinetFiles {
public:
    // Services backed by the platform for everything else; valid while this
    // object lives.
    cab::Io io();

    // True when the part at `path` (any case) was read and is kept.
    bool holds(const std::string &path) const;

    // Parts larger than this are not kept (no floppy holds one) and are
    // opened directly every time.
    static constexpr std::size_t kLargestKept = 64u << 20;

private:
    struct OpenCopy {
        const std::vector<unsigned char> *bytes = nullptr;
        std::size_t position = 0;
    };
    static cab::FileHandle open(void *context, const char *path);
    static std::int32_t read(void *context, cab::FileHandle file, void *buffer, std::uint32_t size);
    static std::int32_t write(void *context, cab::FileHandle file, const void *buffer,
                              std::uint32_t size);
    static int close(void *context, cab::FileHandle file);
    static std::int64_t seek(void *context, cab::FileHandle file, std::int64_t offset, int origin);
    OpenCopy *copyOf(cab::FileHandle file);
    // Reads a removable-media part whole; null when it is not one, cannot
    // be read or is too large to keep.
    const std::vector<unsigned char> *load(const std::string &path);

    std::map<std::string, std::unique_ptr<std::vector<unsigned char>>>
        m_parts; // by upper-case path
    std::map<cab::FileHandle, std::unique_ptr<OpenCopy>> m_open;
    cab::Io m_platform;
};
