// The text of one INI file as lines, with lookups and edits that keep every
// line they do not touch. Used by the profile calls; not thread-safe.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

class IniDocument {
  public:
    static IniDocument Parse(std::string_view text);

    std::optional<std::string> Get(std::string_view section, std::string_view key) const;
    void Set(std::string_view section, std::string_view key, std::string_view value);
    std::string Text() const;

  private:
    struct Line {
        std::string text;
        std::string section;  // section the line belongs to; for a header, its own name
        std::string key;      // empty unless the line is "key=value"
        std::string value;
        bool isHeader = false;
    };

    std::vector<Line> lines_;
};
