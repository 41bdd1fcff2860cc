// Vectorised Base64 blocks for processors with AVX2; the scalar coder in
// kx_base64.cpp handles what these leave and every other processor.
#pragma once

#include <cstddef>
#include <cstdint>

// True when the running processor supports AVX2.
bool Base64SimdAvailable();

// Encodes whole 24-byte blocks while at least 28 input bytes remain (the
// loads read 4 bytes ahead); returns the input bytes consumed.
size_t Base64EncodeBlocks(const uint8_t* in, size_t size, char* out);

// Decodes whole 32-character blocks while at least 45 characters remain, so
// that each 32-byte store stays inside the output of the characters that
// follow; stops at the first block holding a character outside the alphabet.
// Returns the characters consumed (a multiple of 32; 3/4 of it in bytes).
size_t Base64DecodeBlocks(const uint8_t* in, size_t size, uint8_t* out);
