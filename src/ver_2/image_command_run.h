// One run of an image-processing command, the part its nine families share:
// where the inputs come from (by the command's name), the keys every command
// reads ("local_save", "get_base64"), the removal of files made on the way,
// and the reply.
//
// Variants: names with "local" read paths from the request; names with
// "base64" write the request's data URLs to temporary files; the others have
// the batch store write images of the current batch to temporary files.
// Every temporary input, and every result when "local_save" is false, is
// removed before the reply is sent, and on every other way out by the
// destructor. Local input files are never touched.
//
// Service thread only. The run refers to the connection and the command it
// was made for; both must outlive it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ver_2/command.h"

namespace ver_2 {

class ManagerV2;
class OutputFiles;
class WSUser;

// How a family returns its results.
struct ResultKeys {
    const char* pathKey;
    const char* base64Key;
    bool list = false;        // arrays of paths and data URLs, one per result
    bool bareBase64 = false;  // Base64 of the file without a data-URL prefix
};

class ImageCommandRun {
  public:
    ImageCommandRun(WSUser& user, const Command& command);
    ~ImageCommandRun();
    ImageCommandRun(const ImageCommandRun&) = delete;
    ImageCommandRun& operator=(const ImageCommandRun&) = delete;

    ManagerV2& manager() const;
    // Where the operations name and save their results.
    OutputFiles& outputs() const;
    const cJSON* request() const { return command_.root; }
    // Results go to the temporary folder unless "local_save" is true or absent.
    bool temporary() const { return !localSave_; }

    // The input paths of a list family, in request order: batch images of
    // "image_index_list", the strings of localKey, or the data URLs of
    // "image_base64_list". An input that cannot be fetched gives an empty path.
    std::vector<std::string> InputList(const char* localKey);
    // The one input of a single-image family: "image_index" (default 0),
    // "image_path" or "image_base64"; empty when it cannot be fetched.
    std::string SingleInput();
    // ZIP entry names for the inputs of InputList: "<index>.<extension>" for
    // batch images, "<position>.<extension>" for data URLs, none for local
    // files (their entries take the files' own names).
    std::vector<std::string> EntryNames() const;

    // Removes the temporary inputs, builds the reply from the operation's
    // result, removes results that are not kept and sends the reply. When
    // the operation failed and an input could not be fetched, the reply
    // names that input's reason: instead of the operation's for a single
    // input, after it for a list (whose operations skip missing inputs).
    void Finish(int ret, const ErrorInfo& error, const std::vector<std::string>& results,
                const ResultKeys& keys);

  private:
    enum class Source { kBatch, kLocal, kBase64 };

    std::string FetchBatchImage(int32_t index);
    std::string FetchDataUrl(const std::string& text);
    // Keeps the first fetch failure's reason; returns the empty path.
    std::string NoteInputFailure(const ErrorInfo& error);
    void RemoveMadeFiles();
    // Result members of a successful reply.
    void AddResults(cJSON* reply, const std::vector<std::string>& results,
                    const ResultKeys& keys) const;

    WSUser& user_;
    const Command& command_;
    Source source_;
    bool localSave_;
    // Batch indexes of the inputs, for the entry names.
    std::vector<int32_t> indexes_;
    // Paths of the inputs, in request order (empty when not fetched).
    std::vector<std::string> inputs_;
    // Files this run made and removes: temporary inputs, unkept results.
    std::vector<std::string> madeFiles_;
    // Why the first input that could not be fetched was not; empty when all were.
    std::string inputFailure_;
    bool listInput_ = false;
};

// Members of the request, or the default when absent or of another type. A
// given string is used unchanged, even when empty.
std::string StringMember(const cJSON* request, const char* key, const char* defaultValue);
int32_t IntMember(const cJSON* request, const char* key, int32_t defaultValue);
bool BoolMember(const cJSON* request, const char* key, bool defaultValue);

}  // namespace ver_2
