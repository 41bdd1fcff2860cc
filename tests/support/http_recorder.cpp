#include "support/http_recorder.h"

#include <cjson/cJSON.h>
#include <gtest/gtest.h>

#include <memory>
#include <sstream>

#include "platform/base/kx_system.h"

namespace testing_support {

namespace {

using JsonPtr = std::unique_ptr<cJSON, decltype(&cJSON_Delete)>;

std::string StringMember(const cJSON* object, const char* name) {
    const cJSON* item = cJSON_GetObjectItemCaseSensitive(object, name);
    return cJSON_IsString(item) ? item->valuestring : "";
}

std::optional<std::string> OptionalStringMember(const cJSON* object, const char* name) {
    const cJSON* item = cJSON_GetObjectItemCaseSensitive(object, name);
    if (!cJSON_IsString(item)) return std::nullopt;
    return std::string(item->valuestring);
}

std::string DecodeBase64(const std::string& text) {
    size_t size = 0;
    if (KXBase_Base64Decode(text.data(), text.size(), nullptr, &size) != 0) {
        ADD_FAILURE() << "recorded part is not Base64";
        return {};
    }
    std::string bytes(size, '\0');
    KXBase_Base64Decode(text.data(), text.size(), bytes.data(), &size);
    bytes.resize(size);
    return bytes;
}

RecordedPart ReadPart(const cJSON* json) {
    RecordedPart part;
    part.name = StringMember(json, "name");
    part.fileName = OptionalStringMember(json, "filename");
    part.contentType = OptionalStringMember(json, "content_type");
    part.data = DecodeBase64(StringMember(json, "data_base64"));
    return part;
}

RecordedRequest ReadRequest(const cJSON* json) {
    RecordedRequest request;
    request.method = StringMember(json, "method");
    request.path = StringMember(json, "path");
    request.host = StringMember(json, "host");
    request.error = StringMember(json, "error");
    const cJSON* size = cJSON_GetObjectItemCaseSensitive(json, "body_size");
    if (cJSON_IsNumber(size)) request.bodySize = static_cast<size_t>(size->valuedouble);
    const cJSON* header = nullptr;
    cJSON_ArrayForEach(header, cJSON_GetObjectItemCaseSensitive(json, "headers")) {
        if (cJSON_IsString(header)) request.headers[header->string] = header->valuestring;
    }
    const cJSON* part = nullptr;
    cJSON_ArrayForEach(part, cJSON_GetObjectItemCaseSensitive(json, "parts")) {
        request.parts.push_back(ReadPart(part));
    }
    return request;
}

// The records of one kind of event, in the order they were written.
template <typename Visit>
void ForEachRecord(const std::string& path, const std::string& event, Visit visit) {
    std::istringstream lines(ReadFile(path));
    std::string line;
    while (std::getline(lines, line)) {
        JsonPtr json(cJSON_Parse(line.c_str()), cJSON_Delete);
        if (json == nullptr) {
            ADD_FAILURE() << "unreadable record: " << line;
            continue;
        }
        if (StringMember(json.get(), "event") == event) visit(json.get());
    }
}

}  // namespace

bool HttpRecorder::Start() {
    std::vector<std::string> args = {"--records", dir_.path() + "records.jsonl", "--status",
                                     std::to_string(options_.status)};
    if (options_.stall) args.push_back("--stall");
    return process_.Start("http_recorder.py", args, dir_.path());
}

std::string HttpRecorder::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port()) + path;
}

std::vector<RecordedRequest> HttpRecorder::Requests() const {
    std::vector<RecordedRequest> requests;
    ForEachRecord(dir_.path() + "records.jsonl", "request",
                  [&](const cJSON* json) { requests.push_back(ReadRequest(json)); });
    return requests;
}

int HttpRecorder::ConnectionCount() const {
    int count = 0;
    ForEachRecord(dir_.path() + "records.jsonl", "connect", [&](const cJSON*) { ++count; });
    return count;
}

int HttpRecorder::StalledCount() const {
    int count = 0;
    ForEachRecord(dir_.path() + "records.jsonl", "stall", [&](const cJSON*) { ++count; });
    return count;
}

}  // namespace testing_support
