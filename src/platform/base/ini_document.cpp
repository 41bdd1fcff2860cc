#include "platform/base/ini_document.h"

#include <algorithm>
#include <cctype>

namespace {

std::string Trim(std::string_view text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(text[begin])))
        ++begin;
    while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1])))
        --end;
    return std::string(text.substr(begin, end - begin));
}

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

}  // namespace

IniDocument IniDocument::Parse(std::string_view text) {
    IniDocument document;
    std::string section;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view raw = text.substr(start, end - start);
        if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
        start = end + 1;

        Line line;
        line.text = std::string(raw);
        std::string trimmed = Trim(raw);
        if (trimmed.size() >= 2 && trimmed.front() == '[' &&
            trimmed.find(']') != std::string::npos) {
            section = Trim(std::string_view(trimmed).substr(1, trimmed.find(']') - 1));
            line.isHeader = true;
        } else if (!trimmed.empty() && trimmed.front() != ';' && trimmed.front() != '#') {
            size_t equals = trimmed.find('=');
            if (equals != std::string::npos) {
                line.key = Trim(std::string_view(trimmed).substr(0, equals));
                line.value = Trim(std::string_view(trimmed).substr(equals + 1));
            }
        }
        line.section = section;
        document.lines_.push_back(std::move(line));
    }
    return document;
}

std::optional<std::string> IniDocument::Get(std::string_view section, std::string_view key) const {
    for (const Line& line : lines_) {
        if (!line.isHeader && !line.key.empty() && SameName(line.section, section) &&
            SameName(line.key, key)) {
            return line.value;
        }
    }
    return std::nullopt;
}

void IniDocument::Set(std::string_view section, std::string_view key, std::string_view value) {
    Line entry;
    entry.section = std::string(section);
    entry.key = std::string(key);
    entry.value = std::string(value);
    entry.text = entry.key + "=" + entry.value;

    std::optional<size_t> lastOfSection;
    for (size_t i = 0; i < lines_.size(); ++i) {
        Line& line = lines_[i];
        if (!SameName(line.section, section)) continue;
        if (!line.isHeader && SameName(line.key, key)) {
            entry.key = line.key;  // keep the spelling already in the file
            entry.text = entry.key + "=" + entry.value;
            line = std::move(entry);
            return;
        }
        // Insert after the last non-blank line of the section.
        if (line.isHeader || !Trim(line.text).empty()) lastOfSection = i;
    }
    if (lastOfSection) {
        lines_.insert(lines_.begin() + static_cast<long>(*lastOfSection) + 1, std::move(entry));
        return;
    }
    Line header;
    header.section = std::string(section);
    header.text = "[" + header.section + "]";
    header.isHeader = true;
    lines_.push_back(std::move(header));
    lines_.push_back(std::move(entry));
}

std::string IniDocument::Text() const {
    std::string text;
    for (const Line& line : lines_) {
        text += line.text;
        text += '\n';
    }
    return text;
}
