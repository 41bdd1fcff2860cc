#include "platform/driver/option_source.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/driver/option_words.h"

namespace {

// String options are read into a buffer of at least this size, or of the
// descriptor's size when that is larger, plus a NUL of our own.
constexpr size_t kMinStringBuffer = 256;

std::vector<char> StringBuffer(const SANE_Option_Descriptor& descriptor) {
    size_t size =
        std::max(kMinStringBuffer, static_cast<size_t>(std::max<SANE_Int>(descriptor.size, 0)));
    return std::vector<char>(size + 1, '\0');
}

bool IsWordType(SANE_Value_Type type) {
    return type == SANE_TYPE_BOOL || type == SANE_TYPE_INT || type == SANE_TYPE_FIXED;
}

}  // namespace

const SANE_Option_Descriptor* DriverOptionSource::Descriptor(SANE_Int index) {
    return sane_qnsane_get_option_descriptor(handle_, index);
}

SANE_Status DriverOptionSource::Control(SANE_Int index, SANE_Action action, void* value) {
    return sane_qnsane_control_option(handle_, index, action, value, nullptr);
}

SANE_Int OptionCount(OptionSource& source) {
    SANE_Word count = 0;
    if (source.Control(0, SANE_ACTION_GET_VALUE, &count) != SANE_STATUS_GOOD) return 0;
    return count;
}

bool ReadOptionValue(OptionSource& source, SANE_Int index, const SANE_Option_Descriptor& descriptor,
                     OptionReading* value) {
    if (IsArrayOption(descriptor)) return false;
    if (IsWordType(descriptor.type)) {
        std::vector<SANE_Word> words = OptionWords(descriptor);
        if (source.Control(index, SANE_ACTION_GET_VALUE, words.data()) != SANE_STATUS_GOOD)
            return false;
        value->word = words.front();
        return true;
    }
    if (descriptor.type != SANE_TYPE_STRING) return false;
    std::vector<char> buffer = StringBuffer(descriptor);
    if (source.Control(index, SANE_ACTION_GET_VALUE, buffer.data()) != SANE_STATUS_GOOD)
        return false;
    buffer.back() = '\0';
    value->text = buffer.data();
    return true;
}

SANE_Status WriteOptionWord(OptionSource& source, SANE_Int index,
                            const SANE_Option_Descriptor& descriptor, SANE_Word word) {
    if (!IsWordType(descriptor.type) || IsArrayOption(descriptor)) return SANE_STATUS_INVAL;
    std::vector<SANE_Word> words = OptionWords(descriptor, word);
    return source.Control(index, SANE_ACTION_SET_VALUE, words.data());
}

SANE_Status WriteOptionText(OptionSource& source, SANE_Int index,
                            const SANE_Option_Descriptor& descriptor, const std::string& text) {
    if (descriptor.type != SANE_TYPE_STRING || !StringFitsOption(descriptor, text))
        return SANE_STATUS_INVAL;
    // The driver reads up to the option's size; the buffer holds at least that.
    std::vector<char> buffer = StringBuffer(descriptor);
    std::memcpy(buffer.data(), text.data(), text.size());
    return source.Control(index, SANE_ACTION_SET_VALUE, buffer.data());
}
