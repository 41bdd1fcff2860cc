#include "platform/driver/sane/option_constraint.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

// Fixed-point values reach us through floating point (a page's number turned
// into SANE_FIX), so a fixed value this close to a quantisation step is on it.
constexpr int64_t kFixedSlack = 2;

bool OnStep(const SANE_Option_Descriptor& descriptor, SANE_Word word) {
    const SANE_Range& range = *descriptor.constraint.range;
    if (range.quant <= 0) return true;
    int64_t remainder = (static_cast<int64_t>(word) - range.min) % range.quant;
    if (descriptor.type != SANE_TYPE_FIXED) return remainder == 0;
    return remainder <= kFixedSlack || range.quant - remainder <= kFixedSlack;
}

bool InRange(const SANE_Option_Descriptor& descriptor, SANE_Word word) {
    const SANE_Range& range = *descriptor.constraint.range;
    return word >= range.min && word <= range.max && OnStep(descriptor, word);
}

bool InWordList(const SANE_Word* list, SANE_Word word) {
    return std::find(list + 1, list + 1 + list[0], word) != list + 1 + list[0];
}

SANE_Word NearestInRange(const SANE_Range& range, SANE_Word word) {
    int64_t value = std::clamp<int64_t>(word, range.min, range.max);
    if (range.quant > 0) {
        int64_t steps = (value - range.min + range.quant / 2) / range.quant;
        value = range.min + steps * range.quant;
        if (value > range.max) value -= range.quant;
    }
    return static_cast<SANE_Word>(value);
}

SANE_Word NearestInList(const SANE_Word* list, SANE_Word word) {
    SANE_Word best = list[0] > 0 ? list[1] : word;
    for (SANE_Word i = 1; i <= list[0]; ++i) {
        if (std::llabs(static_cast<int64_t>(list[i]) - word) <
            std::llabs(static_cast<int64_t>(best) - word))
            best = list[i];
    }
    return best;
}

}  // namespace

bool WordFits(const SANE_Option_Descriptor& descriptor, SANE_Word word) {
    if (descriptor.type == SANE_TYPE_BOOL) return word == SANE_FALSE || word == SANE_TRUE;
    if (descriptor.type != SANE_TYPE_INT && descriptor.type != SANE_TYPE_FIXED) return false;
    switch (descriptor.constraint_type) {
        case SANE_CONSTRAINT_RANGE:
            return InRange(descriptor, word);
        case SANE_CONSTRAINT_WORD_LIST:
            return InWordList(descriptor.constraint.word_list, word);
        default:
            return true;
    }
}

bool TextFits(const SANE_Option_Descriptor& descriptor, const std::string& text) {
    if (descriptor.type != SANE_TYPE_STRING) return false;
    if (text.size() + 1 > static_cast<size_t>(std::max<SANE_Int>(descriptor.size, 0))) return false;
    if (text.find('\0') != std::string::npos) return false;
    if (descriptor.constraint_type != SANE_CONSTRAINT_STRING_LIST) return true;
    for (const SANE_String_Const* entry = descriptor.constraint.string_list; *entry != nullptr;
         ++entry) {
        if (text == *entry) return true;
    }
    return false;
}

bool ReadText(const SANE_Option_Descriptor& descriptor, const void* value, std::string* text) {
    if (value == nullptr || descriptor.size <= 0) return false;
    const char* chars = static_cast<const char*>(value);
    size_t length = strnlen(chars, static_cast<size_t>(descriptor.size));
    if (length == static_cast<size_t>(descriptor.size)) return false;
    text->assign(chars, length);
    return true;
}

SANE_Word NearestWord(const SANE_Option_Descriptor& descriptor, SANE_Word word) {
    if (descriptor.constraint_type == SANE_CONSTRAINT_RANGE)
        return NearestInRange(*descriptor.constraint.range, word);
    if (descriptor.constraint_type == SANE_CONSTRAINT_WORD_LIST)
        return NearestInList(descriptor.constraint.word_list, word);
    return word;
}
