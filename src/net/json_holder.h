// An owning holder for a parsed or built cJSON tree, deleted on scope exit.
#pragma once

#include <cjson/cJSON.h>

#include <memory>

struct JsonDeleter {
    void operator()(cJSON* json) const { cJSON_Delete(json); }
};
using JsonHolder = std::unique_ptr<cJSON, JsonDeleter>;
