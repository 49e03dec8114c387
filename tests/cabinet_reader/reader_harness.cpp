#include "reader_harness.h"

#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace cabtest {
namespace {

HostIo *self(void *context)
{
    return static_cast<HostIo *>(context);
}

void *hostAlloc(void *context, std::size_t size)
{
    HostIo *h = self(context);
    if (h->allocBudget == 0)
        return nullptr;
    if (h->allocBudget > 0)
        --h->allocBudget;
    ++h->liveBlocks;
    return std::malloc(size);
}

void hostFree(void *context, void *block)
{
    if (block)
        --self(context)->liveBlocks;
    std::free(block);
}

cab::FileHandle hostOpen(void *context, const char *path)
{
    int fd = ::open(path, O_RDONLY);
    if (fd < 0)
        return cab::kInvalidHandle;
    HostIo *h = self(context);
    cab::FileHandle handle = h->nextHandle++;
    h->files[handle] = fd;
    return handle;
}

std::int32_t hostRead(void *context, cab::FileHandle file, void *buffer, std::uint32_t size)
{
    HostIo *h = self(context);
    auto it = h->files.find(file);
    if (it == h->files.end())
        return -1;
    if (h->readChunk && size > h->readChunk)
        size = h->readChunk;
    return static_cast<std::int32_t>(::read(it->second, buffer, size));
}

std::int32_t hostWrite(void *context, cab::FileHandle file, const void *buffer, std::uint32_t size)
{
    HostIo *h = self(context);
    auto it = h->sinks.find(file);
    if (it == h->sinks.end())
        return -1;
    if (h->writeBudget >= 0) {
        if (static_cast<long>(size) > h->writeBudget)
            return -1;
        h->writeBudget -= size;
    }
    it->second.append(static_cast<const char *>(buffer), size);
    return static_cast<std::int32_t>(size);
}

int hostClose(void *context, cab::FileHandle file)
{
    HostIo *h = self(context);
    if (auto it = h->files.find(file); it != h->files.end()) {
        ::close(it->second);
        h->files.erase(it);
        return 0;
    }
    if (h->sinks.count(file)) {
        ++h->closedSinks;
        return 0;
    }
    return -1;
}

std::int64_t hostSeek(void *context, cab::FileHandle file, std::int64_t offset, int origin)
{
    auto it = self(context)->files.find(file);
    if (it == self(context)->files.end())
        return -1;
    int whence = origin == cab::kSeekSet ? SEEK_SET : origin == cab::kSeekCur ? SEEK_CUR : SEEK_END;
    return ::lseek(it->second, offset, whence);
}

} // namespace

cab::Io HostIo::io()
{
    cab::Io io;
    io.context = this;
    io.alloc = hostAlloc;
    io.free = hostFree;
    io.open = hostOpen;
    io.read = hostRead;
    io.write = hostWrite;
    io.close = hostClose;
    io.seek = hostSeek;
    return io;
}

cab::FileHandle HostIo::newSink()
{
    cab::FileHandle handle = nextHandle++;
    sinks[handle];
    return handle;
}

cab::FileHandle Collector::notify(cab::Notify type, cab::Notification &n)
{
    auto *c = static_cast<Collector *>(n.user);
    switch (type) {
    case cab::Notify::CabinetInfo:
        c->events.push_back("info " + std::to_string(n.iCabinet) + " next=" + n.cabinetName);
        return 0;
    case cab::Notify::PartialFile:
        c->events.push_back(std::string("partial ") + n.fileName + " from " + n.cabinetName +
                            " on " + n.diskName);
        return 0;
    case cab::Notify::CopyFile: {
        c->events.push_back(std::string("copy ") + n.fileName + " " + std::to_string(n.size));
        if (c->abortOn == n.fileName)
            return -1;
        if (c->skip.count(n.fileName))
            return 0;
        cab::FileHandle h = c->host->newSink();
        c->names[h] = n.fileName;
        return h;
    }
    case cab::Notify::CloseFileInfo: {
        c->events.push_back(std::string("close ") + n.fileName);
        Extracted e{n.fileName, c->host->sinks[n.handle], n.date, n.time, n.attributes};
        c->files.push_back(e);
        ++c->host->closedSinks;
        return c->closeFails ? 0 : 1;
    }
    case cab::Notify::NextCabinet: {
        c->events.push_back(std::string("next ") + n.cabinetName + " on " + n.diskName);
        if (c->abortNextCabinet)
            return -1;
        if (auto it = c->redirect.find(n.cabinetName); it != c->redirect.end()) {
            std::snprintf(n.pathBuffer, n.pathCapacity, "%s", it->second.c_str());
            c->redirect.erase(it);
        }
        return 0;
    }
    case cab::Notify::Enumerate: return 0;
    }
    return 0;
}

bool readCabinet(const std::string &folder, const std::string &name, Collector &c,
                 cab::ErrorRecord *error)
{
    HostIo local;
    HostIo &host = c.host ? *c.host : local;
    c.host = &host;
    cab::ErrorRecord record;
    cab::Reader *reader = cab::create(host.io(), &record);
    if (!reader) {
        if (error)
            *error = record;
        c.host = nullptr;
        return false;
    }
    bool ok = cab::copy(reader, name.c_str(), folder.c_str(), Collector::notify, &c);
    if (error)
        *error = record;
    cab::destroy(reader);
    if (&host == &local)
        c.host = nullptr;
    return ok;
}

std::string folderOf(const std::string &path)
{
    return path.substr(0, path.rfind('/') + 1);
}
std::string nameOf(const std::string &path)
{
    return path.substr(path.rfind('/') + 1);
}

std::string readHostFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

} // namespace cabtest
