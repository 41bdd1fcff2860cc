// SHA-1 (FIPS 180-1) for the WebSocket opening handshake.
//
// Feed bytes, then take the five hash words once. A message longer than
// 2^64 - 1 bits marks the hash corrupted and Result fails. Not thread-safe;
// one object per computation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class SHA1 {
  public:
    SHA1() { Reset(); }
    virtual ~SHA1() = default;

    void Reset();
    void Input(uint8_t byte);
    void Input(const char* text);  // up to the NUL
    void Input(const void* data, size_t size);
    // Pads the message (once) and copies the hash words; false if corrupted.
    bool Result(uint32_t words[5]);

  private:
    void ProcessBlock();
    void Pad();

    uint32_t hash_[5];
    uint32_t lengthLow_;   // message length in bits, low half
    uint32_t lengthHigh_;  // high half
    uint8_t block_[64];
    int blockIndex_;
    bool computed_;
    bool corrupted_;
};

// Base64 of a 20-byte digest: 28 characters, the last one "=".
std::string Base64Digest(const uint8_t digest[20]);

// The Sec-WebSocket-Accept value for a client key.
std::string WebSocketAcceptKey(const std::string& key);
