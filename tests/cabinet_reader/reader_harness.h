#pragma once

// Host-file services for the cabinet reader with failure injection, and a
// notification handler that records what the reader reports and keeps the
// extracted files in memory.

#include "cabinet/reader.h"

#include <map>
#include <set>
#include <string>
#include <vector>

namespace cabtest {

struct HostIo {
    std::map<cab::FileHandle, int> files;         // open host files
    std::map<cab::FileHandle, std::string> sinks; // in-memory outputs
    cab::FileHandle nextHandle = 1;
    long writeBudget = -1;       // bytes the sinks accept before writes fail (-1: no limit)
    long allocBudget = -1;       // allocations that succeed before alloc fails (-1: no limit)
    std::uint32_t readChunk = 0; // when set, reads return at most this many bytes
    long liveBlocks = 0;
    int closedSinks = 0;

    cab::Io io();
    cab::FileHandle newSink();
};

struct Extracted {
    std::string name;
    std::string data;
    std::uint16_t date = 0, time = 0, attributes = 0;
};

// Records the notifications. By default every file is extracted and the next
// cabinet is looked for where the reader says.
struct Collector {
    HostIo *host = nullptr;
    std::vector<std::string> events;
    std::vector<Extracted> files;
    std::set<std::string> skip; // names answered "skip"
    std::string abortOn;        // name answered "abort"
    bool closeFails = false;    // close-file answers failure
    bool abortNextCabinet = false;
    std::map<std::string, std::string> redirect; // next cabinet name -> folder to use
    std::map<cab::FileHandle, std::string> names;

    static cab::FileHandle notify(cab::Notify type, cab::Notification &n);
};

// Reads `folder` + `name` with a fresh reader; false when copy() failed, with
// the reader's error in *error.
bool readCabinet(const std::string &folder, const std::string &name, Collector &c,
                 cab::ErrorRecord *error);

// Folder part of a host path, with its trailing '/'.
std::string folderOf(const std::string &path);
std::string nameOf(const std::string &path);

std::string readHostFile(const std::string &path);

} // namespace cabtest
