// Unmasking and assembling a WebSocket message, and Base64, each against a
// plain memcpy of the same number of bytes in the same run.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "net/websocket_reader.h"
#include "platform/base/kx_system.h"

namespace {

constexpr size_t kMiB = 1024 * 1024;

std::vector<uint8_t> RandomBytes(size_t size) {
    std::mt19937 random(42);
    std::vector<uint8_t> bytes(size);
    for (auto& byte : bytes)
        byte = static_cast<uint8_t>(random());
    return bytes;
}

// The handshake followed by one masked 1 MiB text frame.
std::vector<uint8_t> OneMessage() {
    std::string handshake = "GET / HTTP/1.1\r\nSec-WebSocket-Key: k\r\n\r\n";
    std::vector<uint8_t> bytes(handshake.begin(), handshake.end());
    uint8_t header[] = {0x81, 0xFF, 0, 0, 0, 0, 0x00, 0x10, 0x00, 0x00, 1, 2, 3, 4};
    bytes.insert(bytes.end(), std::begin(header), std::end(header));
    std::vector<uint8_t> payload = RandomBytes(kMiB);
    bytes.insert(bytes.end(), payload.begin(), payload.end());
    return bytes;
}

void BM_Memcpy1MiB(benchmark::State& state) {
    std::vector<uint8_t> in = RandomBytes(kMiB);
    std::vector<uint8_t> out(kMiB);
    for (auto _ : state) {
        std::memcpy(out.data(), in.data(), kMiB);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kMiB));
}
BENCHMARK(BM_Memcpy1MiB);

// Fed in 64 KiB reads, as the connection thread receives them.
void BM_UnmaskAndAssemble1MiB(benchmark::State& state) {
    std::vector<uint8_t> bytes = OneMessage();
    size_t handshakeSize = bytes.size() - kMiB - 14;
    for (auto _ : state) {
        WebSocketReader reader;
        reader.Feed(bytes.data(), handshakeSize);
        size_t offset = handshakeSize;
        while (offset < bytes.size()) {
            size_t piece = std::min<size_t>(64 * 1024, bytes.size() - offset);
            while (piece > 0) {
                auto step = reader.Feed(bytes.data() + offset, piece);
                offset += step.consumed;
                piece -= step.consumed;
                if (step.event == WebSocketReader::Event::kMessage) {
                    ByteBuffer message = reader.TakeMessage();
                    benchmark::DoNotOptimize(message.data());
                }
            }
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kMiB));
}
BENCHMARK(BM_UnmaskAndAssemble1MiB);

void BM_Base64Encode1MiB(benchmark::State& state) {
    std::vector<uint8_t> in = RandomBytes(kMiB);
    size_t size = 0;
    KXBase_Base64Encode(in.data(), in.size(), nullptr, &size);
    std::string out(size, '\0');
    for (auto _ : state) {
        size_t outSize = out.size();
        KXBase_Base64Encode(in.data(), in.size(), out.data(), &outSize);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kMiB));
}
BENCHMARK(BM_Base64Encode1MiB);

void BM_Base64Decode1MiB(benchmark::State& state) {
    std::vector<uint8_t> in = RandomBytes(kMiB);
    size_t size = 0;
    KXBase_Base64Encode(in.data(), in.size(), nullptr, &size);
    std::string text(size, '\0');
    KXBase_Base64Encode(in.data(), in.size(), text.data(), &size);
    std::vector<uint8_t> out(kMiB + 3);
    for (auto _ : state) {
        size_t outSize = out.size();
        KXBase_Base64Decode(text.data(), text.size(), out.data(), &outSize);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kMiB));
}
BENCHMARK(BM_Base64Decode1MiB);

}  // namespace
