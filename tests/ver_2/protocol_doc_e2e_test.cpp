// Keeps docs/protocol.md true: every request example of the document is sent,
// in document order, to the real service with the virtual scanner, and each
// reply must carry exactly the documented members with the documented JSON
// types (values may differ). Events seen on the way must match their
// documented shape too, and the documented commands must be exactly the
// service's command table.
#include <cjson/cJSON.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "support/http_recorder.h"
#include "support/temp_dir.h"
#include "ver_2/command_table.h"
#include "ver_2/generation2_fixture.h"

namespace testing_support {
namespace {

struct Example {
    std::string heading;  // the command or event the example sits under
    std::string kind;     // "Request", "Reply" or "Event"
    std::string text;
    int line = 0;
};

struct ProtocolDoc {
    std::set<std::string> commandHeadings;  // generation-2 command sections
    std::set<std::string> eventHeadings;
    std::vector<Example> examples;  // generation 2 only, in document order
};

// The name of a "### `name`" or "#### `name`" heading; empty for other lines.
std::string HeadingName(const std::string& line) {
    size_t start = line.rfind("### `", 0) == 0 ? 5 : line.rfind("#### `", 0) == 0 ? 6 : 0;
    if (start == 0 || line.size() <= start + 1 || line.back() != '`') return "";
    std::string name = line.substr(start, line.size() - start - 1);
    bool plain =
        name.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789_") == std::string::npos;
    return plain ? name : "";
}

// "Request", "Reply" or "Event" for a line like "Reply:" or "Reply (a note):"
// that introduces an example; empty for other lines.
std::string ExampleLabel(const std::string& line) {
    if (line.empty() || line.back() != ':') return "";
    for (const char* label : {"Request", "Reply", "Event"}) {
        std::string name = label;
        if (line == name + ":" || line.rfind(name + " (", 0) == 0) return name;
    }
    return "";
}

// Reads the generation-2 part of the document: the sections headed by one
// backticked name, and each ```json block with the label line above it.
ProtocolDoc ReadProtocolDoc(const std::string& path) {
    ProtocolDoc doc;
    std::ifstream in(path);
    std::string line, heading, label, section;
    bool inBlock = false, generation2 = false;
    Example block;
    for (int number = 1; std::getline(in, line); ++number) {
        if (inBlock) {
            if (line == "```") {
                inBlock = false;
                doc.examples.push_back(block);
            } else {
                block.text += line + "\n";
            }
            continue;
        }
        std::string name = HeadingName(line);
        if (line.rfind("## ", 0) == 0) {
            section = line;
            generation2 = line.rfind("## Generation 2", 0) == 0;
        } else if (!generation2) {
            continue;
        } else if (!name.empty()) {
            heading = name;
            bool events = section == "## Generation 2: events";
            (events ? doc.eventHeadings : doc.commandHeadings).insert(heading);
        } else if (!ExampleLabel(line).empty()) {
            label = ExampleLabel(line);
        } else if (line == "```json") {
            inBlock = true;
            block = Example{heading, label, "", number};
            label.clear();
        }
    }
    return doc;
}

std::string TypeName(const cJSON* item) {
    if (cJSON_IsString(item)) return "string";
    if (cJSON_IsNumber(item)) return "number";
    if (cJSON_IsBool(item)) return "boolean";
    if (cJSON_IsArray(item)) return "array";
    if (cJSON_IsObject(item)) return "object";
    return "null";
}

// Empty when actual has the documented shape: the same member names in the
// same order with the same JSON types; every element of an array must have
// the shape of one of the documented elements.
std::string ShapeDifference(const cJSON* documented, const cJSON* actual, const std::string& at) {
    if (TypeName(documented) != TypeName(actual)) {
        return at + " is " + TypeName(actual) + ", documented " + TypeName(documented);
    }
    if (cJSON_IsObject(documented)) {
        const cJSON* d = documented->child;
        const cJSON* a = actual->child;
        for (; d != nullptr && a != nullptr; d = d->next, a = a->next) {
            if (std::string(d->string) != a->string) {
                return at + " has member \"" + a->string + "\" where \"" + d->string +
                       "\" is documented";
            }
            std::string difference = ShapeDifference(d, a, at + "." + d->string);
            if (!difference.empty()) return difference;
        }
        if (d != nullptr) return at + " lacks the documented member \"" + d->string + "\"";
        if (a != nullptr) return at + " has the undocumented member \"" + a->string + "\"";
    }
    if (cJSON_IsArray(documented) && cJSON_GetArraySize(documented) > 0) {
        int index = 0;
        for (const cJSON* a = actual->child; a != nullptr; a = a->next, ++index) {
            std::string first;
            bool matched = false;
            for (const cJSON* d = documented->child; d != nullptr && !matched; d = d->next) {
                std::string difference =
                    ShapeDifference(d, a, at + "[" + std::to_string(index) + "]");
                matched = difference.empty();
                if (first.empty()) first = difference;
            }
            if (!matched) return first + " (and matches no other documented element)";
        }
    }
    return "";
}

std::string Print(const cJSON* item) {
    char* text = cJSON_PrintUnformatted(item);
    std::string result = text != nullptr ? text : "";
    cJSON_free(text);
    return result.size() > 600 ? result.substr(0, 600) + "..." : result;
}

class ProtocolDocument : public Generation2Test {
  protected:
    void SetUp() override {
        doc_ = ReadProtocolDoc(SCANBRIDGE_PROTOCOL_DOC);
        for (const Example& example : doc_.examples) {
            if (example.kind != "Event") continue;
            documentedEvents_[example.heading] = ParseJson(example.text);
        }
    }

    // A path-valued member of an example names a file on the writer's
    // machine; the run uses the last image file the service handed out, the
    // folder a private one and the upload port the recorder's.
    void AdaptToThisMachine(cJSON* request) {
        for (cJSON* member = request->child; member != nullptr; member = member->next) {
            std::string name = member->string;
            if ((name == "image_path" || name == "file_path") && cJSON_IsString(member)) {
                cJSON_SetValuestring(member, lastImagePath_.c_str());
            } else if (name == "image_path_list" || name == "file_path_list") {
                for (cJSON* element = member->child; element != nullptr; element = element->next) {
                    cJSON_SetValuestring(element, lastImagePath_.c_str());
                }
            } else if (name == "folder") {
                cJSON_SetValuestring(member, boundFolder_.path().c_str());
            } else if (name == "http_port") {
                cJSON_SetNumberValue(member, recorder_.port());
            }
        }
    }

    // Scanned and saved pictures are the inputs of later examples; results
    // of image operations are not, since they may be cropped to a few pixels.
    void NoteImagePath(const Json& message) {
        static const std::set<std::string> savers = {"scan_image", "save_image",
                                                     "save_local_image"};
        if (savers.count(JsonString(message, "func"))) {
            lastImagePath_ = JsonString(message, "image_path");
        }
    }

    void ExpectDocumentedEvent(const Json& event) {
        std::string func = JsonString(event, "func");
        seenEvents_.insert(func);
        auto documented = documentedEvents_.find(func);
        ASSERT_NE(documented, documentedEvents_.end())
            << "undocumented event " << Print(event.get());
        EXPECT_EQ(ShapeDifference(documented->second.get(), event.get(), func), "")
            << Print(event.get());
        NoteImagePath(event);
    }

    // Events up to the one named func about the scanner named device.
    void CheckEventsThrough(const std::string& func, const std::string& device) {
        for (Json event = page_.NextEvent(); event; event = page_.NextEvent()) {
            ExpectDocumentedEvent(event);
            if (JsonString(event, "func") == func && JsonString(event, "device_name") == device) {
                return;
            }
        }
        ADD_FAILURE() << "no " << func << " for " << device;
    }

    // A second scanner comes and goes through the virtual scanner's list.
    void PlugAndUnplugAScanner() {
        CheckEventsThrough("device_arrive", "Virtual Scanner");
        SetVirtual("devices", "Virtual Scanner|Virtual Scanner 2");
        CheckEventsThrough("device_arrive", "Virtual Scanner 2");
        SetVirtual("devices", "Virtual Scanner");
        CheckEventsThrough("device_remove", "Virtual Scanner 2");
    }

    ProtocolDoc doc_;
    std::map<std::string, Json> documentedEvents_;
    std::set<std::string> seenEvents_;
    std::string lastImagePath_;
    TempDir boundFolder_;
    HttpRecorder recorder_;
};

TEST_F(ProtocolDocument, DocumentsExactlyTheCommandTable) {
    size_t count = 0;
    const ver_2::CommandEntry* table = ver_2::CommandTable(&count);
    std::set<std::string> commands;
    for (size_t i = 0; i < count; ++i)
        commands.insert(table[i].name);

    std::set<std::string> requested;
    for (const Example& example : doc_.examples) {
        bool own = example.kind == "Request" &&
                   JsonString(ParseJson(example.text), "func") == example.heading;
        if (own) requested.insert(example.heading);
    }
    for (const std::string& command : commands) {
        EXPECT_TRUE(doc_.commandHeadings.count(command)) << command << " has no section";
        EXPECT_TRUE(requested.count(command)) << command << " has no request example";
    }
    for (const std::string& heading : doc_.commandHeadings) {
        EXPECT_TRUE(commands.count(heading)) << heading << " is documented but not a command";
    }
    EXPECT_EQ(doc_.eventHeadings,
              (std::set<std::string>{"device_arrive", "device_remove", "scan_begin", "scan_info",
                                     "scan_image", "scan_end"}));
}

TEST_F(ProtocolDocument, EveryExampleGetsTheDocumentedReply) {
    ASSERT_TRUE(recorder_.Start());
    Start();
    SetVirtual("page_delay_ms", "10");
    const std::vector<Example>& examples = doc_.examples;
    for (size_t i = 0; i < examples.size(); ++i) {
        if (examples[i].kind != "Request") continue;
        ASSERT_TRUE(i + 1 < examples.size() && examples[i + 1].kind == "Reply")
            << "line " << examples[i].line << ": a request without a reply example";
        Json request = ParseJson(examples[i].text);
        Json documented = ParseJson(examples[i + 1].text);
        ASSERT_TRUE(request && documented) << "line " << examples[i].line << ": not JSON";
        AdaptToThisMachine(request.get());

        Json reply = page_.Call(Print(request.get()));
        ASSERT_TRUE(reply) << "line " << examples[i].line << ": no reply to "
                           << Print(request.get()) << "\n"
                           << service().Log();
        EXPECT_EQ(ShapeDifference(documented.get(), reply.get(), "reply"), "")
            << "line " << examples[i].line << ": " << Print(request.get()) << "\n -> "
            << Print(reply.get());
        // A documented failure shows the reason, and the service gives that one.
        if (JsonNumber(documented, "ret") != 0) {
            EXPECT_TRUE(JsonHas(documented, "err_detail"))
                << "line " << examples[i + 1].line << ": a failure example without err_detail";
            EXPECT_EQ(JsonString(reply, "err_detail"), JsonString(documented, "err_detail"))
                << "line " << examples[i + 1].line;
        }
        NoteImagePath(reply);

        std::string func = JsonString(request, "func");
        if (func == "init_device") PlugAndUnplugAScanner();
        if (func == "start_scan") {
            for (const Json& event : page_.EventsThrough("scan_end"))
                ExpectDocumentedEvent(event);
        }
    }
    EXPECT_EQ(seenEvents_, (std::set<std::string>{"device_arrive", "device_remove", "scan_begin",
                                                  "scan_info", "scan_image", "scan_end"}));
    EXPECT_EQ(recorder_.Requests().size(), 3u) << "every upload example reaches the server";
}

}  // namespace
}  // namespace testing_support
