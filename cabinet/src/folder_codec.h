#pragma once

// The writer feeds a folder's data to one of these compressors frame by frame
// (32 KiB each, only the folder's last frame may be shorter). A compressor
// hands each finished data block to its sink: the bytes to store and the
// number of uncompressed bytes they stand for.

#include <cstddef>
#include <cstdint>
#include <memory>

namespace cab::detail {

// Memory of the writer's client; codecs take their large buffers from here.
struct Allocator {
    void *(*alloc)(std::uint32_t cb) = nullptr;
    void (*free)(void *memory) = nullptr;
};

// Array of trivially constructible elements taken from an Allocator.
template <class T> class Buffer {
public:
    Buffer() = default;
    Buffer(const Buffer &) = delete;
    Buffer &operator=(const Buffer &) = delete;
    ~Buffer() { release(); }
    bool allocate(const Allocator &a, std::size_t count)
    {
        release();
        const std::size_t bytes = count * sizeof(T);
        if (count != 0 && (bytes / sizeof(T) != count || bytes > 0xFFFFFFF0u))
            return false;
        alloc_ = a;
        data_ = static_cast<T *>(a.alloc(static_cast<std::uint32_t>(bytes ? bytes : 1)));
        size_ = data_ ? count : 0;
        return data_ != nullptr;
    }
    void release()
    {
        if (data_)
            alloc_.free(data_);
        data_ = nullptr;
        size_ = 0;
    }
    T *data() { return data_; }
    const T *data() const { return data_; }
    std::size_t size() const { return size_; }
    T &operator[](std::size_t i) { return data_[i]; }
    const T &operator[](std::size_t i) const { return data_[i]; }

private:
    Allocator alloc_;
    T *data_ = nullptr;
    std::size_t size_ = 0;
};

class BlockSink {
public:
    virtual ~BlockSink() = default;
    // Returns false to stop the compressor (the sink has recorded why).
    virtual bool block(const std::uint8_t *data, std::size_t size, std::size_t uncompressed) = 0;
};

class FolderCompressor {
public:
    virtual ~FolderCompressor() = default;
    // Sets up internal buffers; false when memory is short.
    virtual bool init() = 0;
    // One frame of input; false when the sink stopped or compression failed.
    virtual bool addFrame(const std::uint8_t *data, std::size_t len) = 0;
    // The folder ends: emit everything still buffered.
    virtual bool finish() = 0;
    // True when the last failure came from the sink rather than the codec.
    bool sinkStopped() const { return sinkStopped_; }

protected:
    bool emit(BlockSink &sink, const std::uint8_t *data, std::size_t size, std::size_t uncomp)
    {
        if (sink.block(data, size, uncomp))
            return true;
        sinkStopped_ = true;
        return false;
    }

private:
    bool sinkStopped_ = false;
};

// True for the compression codes the writer knows.
bool isValidCompression(int code);

// Compressor for a valid compression code.
std::unique_ptr<FolderCompressor> makeCompressor(int code, const Allocator &alloc, BlockSink &sink);

} // namespace cab::detail
