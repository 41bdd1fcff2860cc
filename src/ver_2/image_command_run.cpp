#include "ver_2/image_command_run.h"

#include "platform/base/encoding.h"
#include "platform/base/kx_paths.h"
#include "ver_2/image_conversions.h"
#include "ver_2/manager_v2.h"
#include "ver_2/ws_user.h"

namespace ver_2 {

namespace {

bool Contains(const std::string& text, const char* word) {
    return text.find(word) != std::string::npos;
}

std::string EntryName(int32_t number, const std::string& path) {
    char suffix[256] = {};
    KXBase_GetFileSuffix(path.c_str(), suffix, sizeof suffix);
    return std::to_string(number) + "." + suffix;
}

// What a result file gives as "…_base64": its data URL, or its bare Base64
// for archives; empty when it cannot be read back.
std::string EncodedResult(const std::string& path, bool bare) {
    std::string text;
    ErrorInfo error;
    if (bare) {
        if (FileToBase64(path, text) != 0) text.clear();
    } else {
        ImageFileToDataUrl(path, text, error);
    }
    return text;
}

}  // namespace

std::string StringMember(const cJSON* request, const char* key, const char* defaultValue) {
    bool found = false;
    std::string value = GetJsonString(request, key, &found);
    return found ? value : defaultValue;
}

int32_t IntMember(const cJSON* request, const char* key, int32_t defaultValue) {
    bool found = false;
    int32_t value = GetJsonInt(request, key, &found);
    return found ? value : defaultValue;
}

bool BoolMember(const cJSON* request, const char* key, bool defaultValue) {
    bool found = false;
    bool value = GetJsonBool(request, key, &found);
    return found ? value : defaultValue;
}

ImageCommandRun::ImageCommandRun(WSUser& user, const Command& command)
    : user_(user),
      command_(command),
      source_(Contains(command.func, "local")    ? Source::kLocal
              : Contains(command.func, "base64") ? Source::kBase64
                                                 : Source::kBatch),
      localSave_(BoolMember(command.root, "local_save", true)) {}

ImageCommandRun::~ImageCommandRun() {
    for (const std::string& path : madeFiles_)
        KXBase_DeleteFile(path.c_str());
}

ManagerV2& ImageCommandRun::manager() const {
    return user_.manager();
}

OutputFiles& ImageCommandRun::outputs() const {
    return user_.manager().outputs();
}

std::string ImageCommandRun::FetchBatchImage(int32_t index) {
    std::string path;
    ErrorInfo error;
    if (manager().SaveImage(index, true, path, error) != 0) return NoteInputFailure(error);
    madeFiles_.push_back(path);
    return path;
}

std::string ImageCommandRun::FetchDataUrl(const std::string& text) {
    std::string path;
    ErrorInfo error;
    if (DataUrlToImageFile(outputs(), text, true, path, error) != 0) return NoteInputFailure(error);
    madeFiles_.push_back(path);
    return path;
}

std::string ImageCommandRun::NoteInputFailure(const ErrorInfo& error) {
    if (inputFailure_.empty()) inputFailure_ = error.detail;
    return "";
}

std::vector<std::string> ImageCommandRun::InputList(const char* localKey) {
    listInput_ = true;
    inputs_.clear();
    indexes_.clear();
    switch (source_) {
        case Source::kBatch:
            indexes_ = GetJsonIntArray(request(), "image_index_list");
            for (int32_t index : indexes_)
                inputs_.push_back(FetchBatchImage(index));
            break;
        case Source::kLocal:
            for (const std::string& path : GetJsonStringArray(request(), localKey))
                inputs_.push_back(Utf8ToAnsi(path));
            break;
        case Source::kBase64:
            for (const std::string& text : GetJsonStringArray(request(), "image_base64_list"))
                inputs_.push_back(FetchDataUrl(text));
            break;
    }
    return inputs_;
}

std::string ImageCommandRun::SingleInput() {
    switch (source_) {
        case Source::kBatch:
            return FetchBatchImage(IntMember(request(), "image_index", 0));
        case Source::kLocal: {
            std::string path = Utf8ToAnsi(GetJsonString(request(), "image_path"));
            if (path.empty()) inputFailure_ = "image_path is missing or empty";
            return path;
        }
        case Source::kBase64:
            return FetchDataUrl(GetJsonString(request(), "image_base64"));
    }
    return "";
}

std::vector<std::string> ImageCommandRun::EntryNames() const {
    std::vector<std::string> names;
    if (source_ == Source::kLocal) return names;
    for (size_t i = 0; i < inputs_.size(); ++i) {
        int32_t number = source_ == Source::kBatch ? indexes_[i] : static_cast<int32_t>(i);
        names.push_back(EntryName(number, inputs_[i]));
    }
    return names;
}

void ImageCommandRun::RemoveMadeFiles() {
    for (const std::string& path : madeFiles_)
        KXBase_DeleteFile(path.c_str());
    madeFiles_.clear();
}

void ImageCommandRun::Finish(int ret, const ErrorInfo& error,
                             const std::vector<std::string>& results, const ResultKeys& keys) {
    RemoveMadeFiles();
    if (!localSave_) {
        for (const std::string& path : results) {
            if (!path.empty()) madeFiles_.push_back(path);
        }
    }
    ErrorInfo failure = error;
    if (ret != 0 && !inputFailure_.empty()) {
        failure.detail = listInput_ ? error.detail + " (" + inputFailure_ + ")" : inputFailure_;
    }
    Reply reply(command_);
    reply.SetResult(ret, failure);
    if (ret == 0) AddResults(reply.object(), results, keys);
    RemoveMadeFiles();
    reply.Send(user_);
}

void ImageCommandRun::AddResults(cJSON* reply, const std::vector<std::string>& results,
                                 const ResultKeys& keys) const {
    bool getBase64 = BoolMember(request(), "get_base64", false);
    if (keys.list) {
        if (localSave_) {
            cJSON* paths = cJSON_AddArrayToObject(reply, keys.pathKey);
            for (const std::string& path : results)
                cJSON_AddItemToArray(paths, cJSON_CreateString(AnsiToUtf8(path).c_str()));
        }
        if (getBase64) {
            cJSON* texts = cJSON_AddArrayToObject(reply, keys.base64Key);
            for (const std::string& path : results)
                cJSON_AddItemToArray(texts, cJSON_CreateString(EncodedResult(path, false).c_str()));
        }
        return;
    }
    std::string path = results.empty() ? std::string() : results.front();
    if (localSave_) cJSON_AddStringToObject(reply, keys.pathKey, AnsiToUtf8(path).c_str());
    if (getBase64) {
        cJSON_AddStringToObject(reply, keys.base64Key,
                                EncodedResult(path, keys.bareBase64).c_str());
    }
}

}  // namespace ver_2
