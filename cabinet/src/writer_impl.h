#pragma once

// Internal state of a cabinet writer. The cabinet being filled is kept as a
// list of folder parts (each with the files listed in this cabinet) plus the
// CFDATA records in a temporary file; the cabinet file itself is written in
// one go once it is complete, so its header can name the next cabinet.

#include "cabinet/writer.h"
#include "folder_codec.h"

#include <memory>
#include <string>
#include <vector>

namespace cab::detail {

struct FileRec {
    std::string name;
    std::uint32_t size = 0;
    std::uint32_t start = 0; // offset in the folder's uncompressed data
    std::uint16_t date = 0, time = 0, attribs = 0;
    bool fromPrev = false; // continued from the previous cabinet
    bool toNext = false;   // continued in the next cabinet
};

// The part of a folder that lies in the current cabinet.
struct FolderPart {
    std::uint16_t type = 0;
    std::uint32_t dataBytes = 0; // bytes of CFDATA records in the temporary file
    std::uint32_t blocks = 0;    // CFDATA records in this cabinet
    std::vector<FileRec> files;
};

class WriterImpl final : public BlockSink {
public:
    WriterImpl(Error *error, const Callbacks &callbacks, const CCAB &ccab, void *ctx);
    ~WriterImpl() override;

    bool start();
    bool addFile(const char *source, const char *storedName, bool execute, int compression);
    bool flushFolder();
    bool flushCabinet(bool getNext);
    bool release();

    bool block(const std::uint8_t *data, std::size_t size, std::size_t uncompressed) override;
    bool outOfMemory() { return fail(kErrAllocFail, 12); }

private:
    bool fail(int code, int crtErrno = 0);
    bool failed() const { return error_->present; }

    std::size_t recordHeader() const;
    std::uint64_t fixedHeaderSize(const std::string *nextCab, const std::string *nextDisk) const;
    std::uint64_t cabinetSize() const;
    bool fileRecordFits(const std::string &name) const;

    bool openFolder(int compression);
    bool feed(const std::uint8_t *data, std::size_t len);
    bool writeRecord(const std::uint8_t *data, std::size_t size, std::size_t uncomp);
    bool breakCabinet(std::uint64_t pos, bool split);
    bool advanceCabinet(bool withNext);
    bool writeCabinet(const char *nextCab, const char *nextDisk);
    bool copyData(std::intptr_t out);
    bool readSource(std::intptr_t hf, std::uint8_t *buf, std::uint32_t want, std::uint32_t &got);

    Error *error_;
    Callbacks cb_;
    CCAB ccab_;
    void *ctx_;
    Allocator alloc_;

    // Current cabinet.
    std::vector<FolderPart> folders_;
    std::string prevCab_, prevDisk_;
    bool hasPrev_ = false;
    std::uint16_t cabinetIndex_ = 0;
    std::uint64_t dataBytes_ = 0; // logical length of the temporary file

    // Open folder (the last entry of folders_ while open).
    std::unique_ptr<FolderCompressor> compressor_;
    int folderCode_ = -1;
    std::uint64_t folderIn_ = 0;  // uncompressed bytes given to the folder
    std::uint64_t folderOut_ = 0; // uncompressed bytes already stored as blocks
    std::uint64_t folderCompressed_ = 0;
    std::uint32_t folderSplits_ = 0;
    Buffer<std::uint8_t> frame_;
    std::size_t frameLen_ = 0;

    Buffer<std::uint8_t> io_; // copy buffer and CFDATA record assembly
    std::intptr_t temp_ = -1;
    char tempName_[256] = {};
};

} // namespace cab::detail
