// The messages between the SANE driver and its worker process (the
// executable scanbridge-sane, which runs libsane). Each message is a frame:
// a 4-byte little-endian body length, then the body. A request body starts
// with its WorkerRequest byte; a reply body starts with a SANE_Status word.
// Fields are little-endian 32-bit words and length-prefixed byte strings.
//
// Everything here is pure: MessageWriter builds a body, MessageReader takes
// one apart with every length checked against what is left, FrameReader is
// fed bytes as they arrive and hands out whole bodies. A body longer than
// kMaxFrameBody is refused before anything is allocated for it.
//
// Thread rule: none; each object belongs to its user.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/driver/sane/device_option_port.h"
#include "platform/driver/sane_qnsane.h"

// Largest body either side accepts: a read chunk, or an option table, with room.
constexpr uint32_t kMaxFrameBody = 16u << 20;
// Largest chunk of page data one read reply carries.
constexpr uint32_t kMaxReadChunk = 1u << 20;

enum class WorkerRequest : uint8_t {
    kList = 1,      // -> status, count, count x (name, vendor, model, type)
    kOpen = 2,      // device name -> status, worker handle
    kClose = 3,     // handle -> status
    kDescribe = 4,  // handle -> status, count, count x (option, has value, value)
    kGet = 5,       // handle, index -> status, value
    kSet = 6,       // handle, index, value -> status, info
    kStart = 7,     // handle -> status, parameters
    kRead = 8,      // handle, max bytes -> status, bytes
    kCancel = 9,    // handle -> status
};

// One entry of the device list, as the worker's libsane reports it.
struct WireDevice {
    std::string name;  // the SANE device name ("test:0", "airscan:e0:...")
    std::string vendor;
    std::string model;
    std::string type;
};

class MessageWriter {
  public:
    void Byte(uint8_t value) { body_.push_back(value); }
    void Word(uint32_t value);
    void Int(int32_t value) { Word(static_cast<uint32_t>(value)); }
    void Bytes(const void* data, size_t size);
    void Text(const std::string& text) { Bytes(text.data(), text.size()); }
    void Words(const std::vector<SANE_Word>& words);
    void Device(const WireDevice& device);
    void Option(const DeviceOption& option);
    void Value(const OptionValue& value);
    void Parameters(const SANE_Parameters& parameters);

    const std::vector<uint8_t>& body() const { return body_; }
    // The body with its length prefix, ready to send.
    std::vector<uint8_t> Frame() const;

  private:
    std::vector<uint8_t> body_;
};

// Reads fields in order; after the first field that does not fit, every
// read fails and ok() stays false.
class MessageReader {
  public:
    MessageReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    explicit MessageReader(const std::vector<uint8_t>& body)
        : MessageReader(body.data(), body.size()) {}

    bool Byte(uint8_t* value);
    bool Word(uint32_t* value);
    bool Int(int32_t* value);
    bool Text(std::string* text);
    // A byte string delivered in place: *data points into the body.
    bool Bytes(const uint8_t** data, uint32_t* size);
    bool Words(std::vector<SANE_Word>* words);
    bool Device(WireDevice* device);
    bool Option(DeviceOption* option);
    bool Value(OptionValue* value);
    bool Parameters(SANE_Parameters* parameters);
    // Whether every field read so far fitted.
    bool ok() const { return ok_; }
    bool AtEnd() const { return ok_ && offset_ == size_; }

  private:
    bool Take(size_t size, const uint8_t** data);

    const uint8_t* data_;
    size_t size_;
    size_t offset_ = 0;
    bool ok_ = true;
};

// Collects frames from a byte stream fed in pieces of any size.
class FrameReader {
  public:
    enum class Result { kNeedMore, kFrame, kTooLong };

    void Feed(const uint8_t* data, size_t size);
    // The next whole body, if there is one. kTooLong when the peer announced
    // a body past kMaxFrameBody: the stream cannot be trusted any more.
    Result Next(std::vector<uint8_t>* body);

  private:
    std::vector<uint8_t> buffer_;
    size_t consumed_ = 0;
};
