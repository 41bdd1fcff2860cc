#include "fakes/scripted_options.h"

#include <algorithm>
#include <cstring>

namespace fakes {

SANE_Option_Descriptor MakeOption(const char* title, SANE_Value_Type type,
                                  SANE_Constraint_Type constraint, const void* data,
                                  SANE_Int size) {
    SANE_Option_Descriptor d{};
    d.title = title;
    d.type = type;
    d.size = size;
    d.constraint_type = constraint;
    if (constraint == SANE_CONSTRAINT_RANGE)
        d.constraint.range = static_cast<const SANE_Range*>(data);
    if (constraint == SANE_CONSTRAINT_WORD_LIST)
        d.constraint.word_list = static_cast<const SANE_Word*>(data);
    if (constraint == SANE_CONSTRAINT_STRING_LIST)
        d.constraint.string_list = static_cast<const SANE_String_Const*>(data);
    return d;
}

ScriptedOptions::ScriptedOptions() {
    table_.push_back(MakeOption("", SANE_TYPE_INT));
}

SANE_Int ScriptedOptions::Add(const SANE_Option_Descriptor& descriptor) {
    table_.push_back(descriptor);
    return static_cast<SANE_Int>(table_.size()) - 1;
}

const SANE_Option_Descriptor* ScriptedOptions::Descriptor(SANE_Int index) {
    if (index < 0 || index >= static_cast<SANE_Int>(table_.size())) return nullptr;
    return &table_[index];
}

size_t ScriptedOptions::WordCount(SANE_Int index) const {
    size_t size = static_cast<size_t>(std::max<SANE_Int>(table_[index].size, 0));
    return std::max<size_t>(size / sizeof(SANE_Word), 1);
}

std::vector<SANE_Word> ScriptedOptions::Words(SANE_Int index) const {
    std::vector<SANE_Word> words(WordCount(index), 0);
    auto it = words_.find(index);
    if (it != words_.end())
        std::copy_n(it->second.begin(), std::min(words.size(), it->second.size()), words.begin());
    return words;
}

void ScriptedOptions::SetWord(SANE_Int index, SANE_Word word) {
    words_[index] = std::vector<SANE_Word>(WordCount(index), word);
}

SANE_Status ScriptedOptions::Control(SANE_Int index, SANE_Action action, void* value) {
    if (index == 0) {
        if (action != SANE_ACTION_GET_VALUE) return SANE_STATUS_INVAL;
        *static_cast<SANE_Word*>(value) = static_cast<SANE_Word>(table_.size());
        return SANE_STATUS_GOOD;
    }
    const SANE_Option_Descriptor* d = Descriptor(index);
    if (d == nullptr) return SANE_STATUS_INVAL;
    if (action == SANE_ACTION_GET_VALUE) {
        if (d->type == SANE_TYPE_STRING) {
            const std::string& text = strings_[index];
            std::memcpy(value, text.c_str(), text.size() + 1);
        } else {
            std::vector<SANE_Word> words = Words(index);
            std::memcpy(value, words.data(), words.size() * sizeof(SANE_Word));
        }
        return SANE_STATUS_GOOD;
    }
    if (refused_.count(index) != 0) return SANE_STATUS_INVAL;
    if (d->type == SANE_TYPE_BUTTON) {
        ++presses_;
        return SANE_STATUS_GOOD;
    }
    ++sets_;
    if (d->type == SANE_TYPE_STRING) {
        std::string text = static_cast<const char*>(value);
        if (text.size() + 1 > static_cast<size_t>(std::max<SANE_Int>(d->size, 0))) {
            overflowed_ = true;
            text.resize(d->size > 0 ? static_cast<size_t>(d->size) - 1 : 0);
        }
        strings_[index] = text;
    } else {
        const auto* words = static_cast<const SANE_Word*>(value);
        words_[index].assign(words, words + WordCount(index));
    }
    return SANE_STATUS_GOOD;
}

}  // namespace fakes
