// The request loop of the worker process: it answers the driver's requests
// (worker_protocol.h) by calling libsane, every call on the calling thread.
// The loop ends when the driver closes its end of the channel; libsane is
// then shut down.
//
// Thread rule: one thread runs Run and nothing else touches libsane.
// Ownership: the session owns the SANE handles it opened and closes them.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "platform/driver/sane/frame_channel.h"

class WorkerSession {
  public:
    // Returns the process exit code: 0 after the driver hung up, 1 when
    // libsane could not start or the channel broke.
    int Run(FrameChannel& channel);

  private:
    // The reply to one request, or false when the request is malformed.
    bool Answer(WorkerRequest request, MessageReader& in, MessageWriter* out);
    void List(MessageWriter* out);
    void Open(MessageReader& in, MessageWriter* out);
    void Close(uint32_t id, MessageWriter* out);
    void Describe(void* handle, MessageWriter* out);
    void Get(void* handle, SANE_Int index, MessageWriter* out);
    void Set(void* handle, SANE_Int index, const OptionValue& value, MessageWriter* out);
    void Start(void* handle, MessageWriter* out);
    void Read(void* handle, uint32_t maxBytes, MessageWriter* out);
    void CloseAll();

    std::map<uint32_t, void*> handles_;
    uint32_t nextId_ = 1;
    std::vector<uint8_t> readBuffer_;
    // A byte-string field sent after the reply's other fields (read data).
    const uint8_t* payload_ = nullptr;
    size_t payloadSize_ = 0;
};
