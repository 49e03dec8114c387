#include "reader_system.h"

#include <cstring>
#include <new>

namespace cab::detail {
namespace {

thread_local SystemGlue *tCurrent = nullptr;

struct SysFile {
    SystemGlue *glue;
    FileHandle handle;
    bool output;
};

SystemGlue *glueOf(mspack_system *) { return tCurrent; }
SysFile *fileOf(mspack_file *file)
{
    return reinterpret_cast<SysFile *>(file);
}

mspack_file *sysOpen(mspack_system *self, const char *name, int mode)
{
    SystemGlue *glue = glueOf(self);
    if (!glue)
        return nullptr;
    FileHandle handle;
    bool output = false;
    if (mode == MSPACK_SYS_OPEN_READ) {
        handle = glue->io->open(glue->io->context, name);
        if (handle == kInvalidHandle)
            return nullptr;
    } else if (mode == MSPACK_SYS_OPEN_WRITE && glue->output != 0) {
        // The name is ours and means "the current output"; the handle belongs
        // to the caller, who closes it.
        handle = glue->output;
        output = true;
    } else {
        return nullptr;
    }
    auto *f = new (std::nothrow) SysFile{glue, handle, output};
    if (!f && !output)
        glue->io->close(glue->io->context, handle);
    return reinterpret_cast<mspack_file *>(f);
}

void sysClose(mspack_file *file)
{
    SysFile *f = fileOf(file);
    if (!f)
        return;
    if (!f->output)
        f->glue->io->close(f->glue->io->context, f->handle);
    delete f;
}

int sysRead(mspack_file *file, void *buffer, int bytes)
{
    SysFile *f = fileOf(file);
    if (!f || f->output || bytes < 0)
        return -1;
    // libmspack takes a short read for the end of the file, so fill the
    // request unless the caller reports the end.
    auto *p = static_cast<std::uint8_t *>(buffer);
    int done = 0;
    while (done < bytes) {
        std::int32_t n = f->glue->io->read(f->glue->io->context, f->handle, p + done,
                                           static_cast<std::uint32_t>(bytes - done));
        if (n < 0 || n > bytes - done) {
            f->glue->inputFailed = true;
            return -1;
        }
        if (n == 0)
            break;
        done += n;
    }
    return done;
}

int sysWrite(mspack_file *file, void *buffer, int bytes)
{
    SysFile *f = fileOf(file);
    if (!f || !f->output || bytes < 0)
        return -1;
    if (bytes == 0)
        return 0;
    std::int32_t n = f->glue->io->write(f->glue->io->context, f->handle, buffer,
                                        static_cast<std::uint32_t>(bytes));
    if (n != bytes) {
        f->glue->outputFailed = true;
        return -1;
    }
    return n;
}

int sysSeek(mspack_file *file, off_t offset, int mode)
{
    SysFile *f = fileOf(file);
    if (!f || f->output)
        return -1;
    int origin = mode == MSPACK_SYS_SEEK_START ? kSeekSet
                 : mode == MSPACK_SYS_SEEK_CUR ? kSeekCur
                                               : kSeekEnd;
    if (f->glue->io->seek(f->glue->io->context, f->handle, offset, origin) < 0) {
        f->glue->inputFailed = true;
        return -1;
    }
    return 0;
}

off_t sysTell(mspack_file *file)
{
    SysFile *f = fileOf(file);
    if (!f || f->output)
        return -1;
    return static_cast<off_t>(f->glue->io->seek(f->glue->io->context, f->handle, 0, kSeekCur));
}

void sysMessage(mspack_file *, const char *, ...)
{
    // libmspack's warnings are informational; failures reach us as error codes.
}

// libmspack's free() gets no context, so each block carries its owner in front.
constexpr std::size_t kBlockPrefix = alignof(std::max_align_t);

void *sysAlloc(mspack_system *self, size_t bytes)
{
    SystemGlue *glue = glueOf(self);
    if (!glue || bytes > SIZE_MAX - kBlockPrefix)
        return nullptr;
    auto *base =
        static_cast<std::uint8_t *>(glue->io->alloc(glue->io->context, bytes + kBlockPrefix));
    if (!base)
        return nullptr;
    std::memcpy(base, &glue, sizeof glue);
    return base + kBlockPrefix;
}

void sysFree(void *block)
{
    if (!block)
        return;
    auto *base = static_cast<std::uint8_t *>(block) - kBlockPrefix;
    SystemGlue *glue;
    std::memcpy(&glue, base, sizeof glue);
    glue->io->free(glue->io->context, base);
}

void sysCopy(void *src, void *dest, size_t bytes)
{
    std::memcpy(dest, src, bytes);
}

} // namespace

SystemScope::SystemScope(SystemGlue &glue) : previous_(tCurrent) { tCurrent = &glue; }
SystemScope::~SystemScope() { tCurrent = previous_; }

void initSystem(SystemGlue &glue, const Io &io)
{
    glue.io = &io;
    glue.sys.open = sysOpen;
    glue.sys.close = sysClose;
    glue.sys.read = sysRead;
    glue.sys.write = sysWrite;
    glue.sys.seek = sysSeek;
    glue.sys.tell = sysTell;
    glue.sys.message = sysMessage;
    glue.sys.alloc = sysAlloc;
    glue.sys.free = sysFree;
    glue.sys.copy = sysCopy;
    glue.sys.null_ptr = nullptr;
}

} // namespace cab::detail
