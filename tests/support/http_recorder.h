// A real HTTP server on 127.0.0.1 for upload tests (http_recorder.py): it
// records every connection and request, parses multipart/form-data bodies
// strictly, and answers with a chosen status code, or accepts and stalls.
//
// Start it, send to "http://127.0.0.1:" + port(), then read Requests(). A
// request is recorded before it is answered, so once a client has its answer
// the record is there. Used from the test's main thread; the server process
// ends with the object.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "support/upload_server_process.h"

namespace testing_support {

struct RecordedPart {
    std::string name;
    std::optional<std::string> fileName;  // absent for text fields
    std::optional<std::string> contentType;
    std::string data;
};

struct RecordedRequest {
    std::string method;
    std::string path;                            // the request target, query included
    std::string host;                            // the Host header
    std::map<std::string, std::string> headers;  // lower-case names
    size_t bodySize = 0;
    std::vector<RecordedPart> parts;  // in body order
    std::string error;                // why the multipart body was malformed
};

class HttpRecorder {
  public:
    struct Options {
        int status = 200;    // status code of every answer
        bool stall = false;  // read the request head, then never answer
    };

    HttpRecorder() = default;
    explicit HttpRecorder(Options options) : options_(options) {}

    // False (and a test failure) when the server did not come up.
    bool Start();
    void Stop() { process_.Stop(); }

    int port() const { return process_.port(); }
    // "http://127.0.0.1:<port>" + path.
    std::string Url(const std::string& path) const;

    std::vector<RecordedRequest> Requests() const;
    // TCP connections accepted so far.
    int ConnectionCount() const;
    // Requests the stalling server has taken in.
    int StalledCount() const;

  private:
    Options options_;
    TempDir dir_;
    UploadServerProcess process_;
};

}  // namespace testing_support
