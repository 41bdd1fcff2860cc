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
    bool empty() const { return size_ == 0; }
    const uint8_t* data() const { return data_.get(); }

    // Makes room for at least extra more bytes, growing geometrically.
    void Reserve(size_t extra) {
        if (capacity_ - size_ >= extra) return;
        size_t wanted = size_ + extra;
        size_t grown = capacity_ * 2 > wanted ? capacity_ * 2 : wanted;
        std::unique_ptr<uint8_t[]> bigger(new uint8_t[grown]);
        if (size_ != 0) std::memcpy(bigger.get(), data_.get(), size_);
        data_ = std::move(bigger);
        capacity_ = grown;
    }

    // Space for count bytes at the end; call Commit(count) once filled.
    uint8_t* Append(size_t count) {
        Reserve(count);
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
