#include "ver_2/page_client.h"

#include <thread>

namespace testing_support {

Json ParseJson(const std::string& text) {
    return Json(cJSON_Parse(text.c_str()), cJSON_Delete);
}

std::string JsonString(const Json& json, const char* name) {
    const cJSON* member = json ? cJSON_GetObjectItemCaseSensitive(json.get(), name) : nullptr;
    return cJSON_IsString(member) ? member->valuestring : "";
}

double JsonNumber(const Json& json, const char* name) {
    const cJSON* member = json ? cJSON_GetObjectItemCaseSensitive(json.get(), name) : nullptr;
    return cJSON_IsNumber(member) ? member->valuedouble : 0;
}

bool JsonBool(const Json& json, const char* name) {
    const cJSON* member = json ? cJSON_GetObjectItemCaseSensitive(json.get(), name) : nullptr;
    return cJSON_IsTrue(member);
}

bool JsonHas(const Json& json, const char* name) {
    return json && cJSON_GetObjectItemCaseSensitive(json.get(), name) != nullptr;
}

std::vector<std::string> JsonKeys(const Json& json) {
    std::vector<std::string> keys;
    if (!json) return keys;
    const cJSON* member = nullptr;
    cJSON_ArrayForEach(member, json.get()) keys.emplace_back(member->string);
    return keys;
}

std::optional<std::string> PageClient::Receive(std::chrono::steady_clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return std::nullopt;
    return socket_.Receive(left);
}

std::string PageClient::CallRaw(const std::string& text, std::chrono::milliseconds timeout) {
    if (!socket_.Send(text)) return {};
    return NextReply(std::chrono::steady_clock::now() + timeout);
}

std::string PageClient::NextReply(std::chrono::steady_clock::time_point deadline) {
    while (auto message = Receive(deadline)) {
        if (JsonHas(ParseJson(*message), "ret")) return *message;
        events_.push_back(*message);
    }
    return {};
}

std::vector<Json> PageClient::CallAll(const std::vector<std::string>& texts,
                                      std::chrono::milliseconds timeout) {
    std::vector<Json> replies;
    for (const std::string& text : texts) {
        if (!socket_.Send(text)) return std::vector<Json>(texts.size());
    }
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (size_t i = 0; i < texts.size(); ++i) {
        std::string reply = NextReply(deadline);
        replies.push_back(reply.empty() ? nullptr : ParseJson(reply));
    }
    return replies;
}

Json PageClient::Call(const std::string& text, std::chrono::milliseconds timeout) {
    std::string reply = CallRaw(text, timeout);
    return reply.empty() ? nullptr : ParseJson(reply);
}

Json PageClient::NextEvent(std::chrono::milliseconds timeout) {
    if (!events_.empty()) {
        std::string text = events_.front();
        events_.pop_front();
        return ParseJson(text);
    }
    auto message = Receive(std::chrono::steady_clock::now() + timeout);
    return message ? ParseJson(*message) : nullptr;
}

std::vector<Json> PageClient::EventsThrough(const std::string& func,
                                            std::chrono::milliseconds timeout) {
    std::vector<Json> events;
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        Json event = left.count() > 0 ? NextEvent(left) : nullptr;
        if (!event) return {};
        events.push_back(event);
        if (JsonString(event, "func") == func) return events;
    }
}

bool PageClient::Quiet(std::chrono::milliseconds time) {
    std::this_thread::sleep_for(time);
    size_t before = events_.size();
    Json reply = Call(R"({"func":"get_curr_device_name","iden":"quiet-probe"})");
    return reply != nullptr && events_.size() == before;
}

}  // namespace testing_support
