// A growable byte array that does not zero what it allocates, so that bytes
// can be written straight into it (unmasking a WebSocket payload) without a
// second pass. Move-only; one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <utility>

class ByteBuffer {
  public:
    ByteBuffer() = default;
    ByteBuffer(ByteBuffer&& other) noexcept { *this = std::move(other); }
    ByteBuffer& operator=(ByteBuffer&& other) noexcept {
        data_ = std::move(other.data_);
        size_ = other.size_;
        capacity_ = other.capacity_;
        other.size_ = 0;
        other.capacity_ = 0;
        return *this;
    }

    size_t size() const { return size_; }
    size_t capacity() const { return capacity_; }
    bool empty() const { return size_ == 0; }
    const uint8_t* data() const { return data_.get(); }

    // Makes room for at least extra more bytes, growing geometrically but
    // never past limit (unless the bytes asked for need more), so a reader
    // with a size limit never holds more than that limit.
    void Reserve(size_t extra, size_t limit = SIZE_MAX) {
        if (capacity_ - size_ >= extra) return;
        size_t wanted = size_ + extra;
        size_t doubled = capacity_ > limit / 2 ? limit : capacity_ * 2;
        size_t grown = doubled > wanted ? doubled : wanted;
        std::unique_ptr<uint8_t[]> bigger(new uint8_t[grown]);
        if (size_ != 0) std::memcpy(bigger.get(), data_.get(), size_);
        data_ = std::move(bigger);
        capacity_ = grown;
    }

    // Space for count bytes at the end; call Commit(count) once filled.
    uint8_t* Append(size_t count, size_t limit = SIZE_MAX) {
        Reserve(count, limit);
        return data_.get() + size_;
    }
    void Commit(size_t count) { size_ += count; }

    // Hands the bytes over and leaves the buffer empty.
    std::unique_ptr<uint8_t[]> Release(size_t* size) {
        *size = size_;
        size_ = 0;
        capacity_ = 0;
        return std::move(data_);
    }

    void Clear() {
        data_.reset();
        size_ = 0;
        capacity_ = 0;
    }

  private:
    std::unique_ptr<uint8_t[]> data_;
    size_t size_ = 0;
    size_t capacity_ = 0;
};
