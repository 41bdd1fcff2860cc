// Feeding a byte-fed reader the way a connection thread does, in pieces as
// recv hands them over, and checking that how the bytes are split does not
// change what the reader reports. For the fuzz targets; one thread.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_check.h"

// Feeds size bytes to reader in pieces of at most chunk bytes and calls
// onEvent(event) for every event other than kNone, until it returns false
// (the connection would end) or the input is used up.
template <typename Reader, typename OnEvent>
void FeedInPieces(Reader& reader, const uint8_t* data, size_t size, size_t chunk, OnEvent onEvent) {
    for (size_t start = 0; start < size; start += chunk) {
        size_t piece = std::min(chunk, size - start);
        size_t offset = 0;
        while (offset < piece) {
            auto step = reader.Feed(data + start + offset, piece - offset);
            // A step that consumed nothing would spin the connection loop.
            FUZZ_CHECK(step.consumed > 0 && step.consumed <= piece - offset);
            offset += step.consumed;
            if (step.event == Reader::Event::kNone) continue;
            if (!onEvent(step.event)) return;
        }
    }
}

// read(chunk) gives the log of what the reader reported for the input fed in
// pieces of chunk bytes. The input whole, a byte at a time and seven at a
// time (so eight-byte steps inside the reader start at every offset) must
// give the same log.
template <typename Read>
void CheckSplitsAgree(size_t size, Read read) {
    auto whole = read(size);
    FUZZ_CHECK(read(1) == whole);
    FUZZ_CHECK(read(7) == whole);
}
