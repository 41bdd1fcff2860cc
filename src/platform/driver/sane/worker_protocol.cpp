#include "platform/driver/sane/worker_protocol.h"

#include <cstring>

void MessageWriter::Word(uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8)
        body_.push_back(static_cast<uint8_t>(value >> shift));
}

void MessageWriter::Bytes(const void* data, size_t size) {
    Word(static_cast<uint32_t>(size));
    const auto* bytes = static_cast<const uint8_t*>(data);
    body_.insert(body_.end(), bytes, bytes + size);
}

void MessageWriter::Words(const std::vector<SANE_Word>& words) {
    Word(static_cast<uint32_t>(words.size()));
    for (SANE_Word word : words)
        Int(word);
}

void MessageWriter::Device(const WireDevice& device) {
    Text(device.name);
    Text(device.vendor);
    Text(device.model);
    Text(device.type);
}

void MessageWriter::Option(const DeviceOption& option) {
    Int(option.index);
    Text(option.name);
    Text(option.title);
    Text(option.desc);
    Int(option.type);
    Int(option.unit);
    Int(option.size);
    Int(option.cap);
    Int(option.constraintType);
    Int(option.range.min);
    Int(option.range.max);
    Int(option.range.quant);
    Words(option.wordList);
    Word(static_cast<uint32_t>(option.stringList.size()));
    for (const std::string& text : option.stringList)
        Text(text);
}

void MessageWriter::Value(const OptionValue& value) {
    Words(value.words);
    Text(value.text);
}

void MessageWriter::Parameters(const SANE_Parameters& parameters) {
    Int(parameters.format);
    Int(parameters.last_frame);
    Int(parameters.bytes_per_line);
    Int(parameters.pixels_per_line);
    Int(parameters.lines);
    Int(parameters.depth);
}

std::vector<uint8_t> MessageWriter::Frame() const {
    MessageWriter frame;
    frame.Word(static_cast<uint32_t>(body_.size()));
    frame.body_.insert(frame.body_.end(), body_.begin(), body_.end());
    return std::move(frame.body_);
}

bool MessageReader::Take(size_t size, const uint8_t** data) {
    if (!ok_ || size > size_ - offset_) {
        ok_ = false;
        return false;
    }
    *data = data_ + offset_;
    offset_ += size;
    return true;
}

bool MessageReader::Byte(uint8_t* value) {
    const uint8_t* data = nullptr;
    if (!Take(1, &data)) return false;
    *value = *data;
    return true;
}

bool MessageReader::Word(uint32_t* value) {
    const uint8_t* data = nullptr;
    if (!Take(4, &data)) return false;
    *value = static_cast<uint32_t>(data[0]) | static_cast<uint32_t>(data[1]) << 8 |
             static_cast<uint32_t>(data[2]) << 16 | static_cast<uint32_t>(data[3]) << 24;
    return true;
}

bool MessageReader::Int(int32_t* value) {
    uint32_t word = 0;
    if (!Word(&word)) return false;
    *value = static_cast<int32_t>(word);
    return true;
}

bool MessageReader::Bytes(const uint8_t** data, uint32_t* size) {
    return Word(size) && Take(*size, data);
}

bool MessageReader::Text(std::string* text) {
    const uint8_t* data = nullptr;
    uint32_t size = 0;
    if (!Bytes(&data, &size)) return false;
    text->assign(reinterpret_cast<const char*>(data), size);
    return true;
}

bool MessageReader::Words(std::vector<SANE_Word>* words) {
    uint32_t count = 0;
    if (!Word(&count)) return false;
    // Each word takes four bytes, so a count past what is left is a lie.
    if (count > (size_ - offset_) / 4) {
        ok_ = false;
        return false;
    }
    words->resize(count);
    for (SANE_Word& word : *words)
        Int(&word);
    return ok_;
}

bool MessageReader::Device(WireDevice* device) {
    return Text(&device->name) && Text(&device->vendor) && Text(&device->model) &&
           Text(&device->type);
}

bool MessageReader::Option(DeviceOption* option) {
    int32_t type = 0, unit = 0, constraint = 0;
    if (!Int(&option->index) || !Text(&option->name) || !Text(&option->title) ||
        !Text(&option->desc) || !Int(&type) || !Int(&unit) || !Int(&option->size) ||
        !Int(&option->cap) || !Int(&constraint) || !Int(&option->range.min) ||
        !Int(&option->range.max) || !Int(&option->range.quant) || !Words(&option->wordList)) {
        return false;
    }
    option->type = static_cast<SANE_Value_Type>(type);
    option->unit = static_cast<SANE_Unit>(unit);
    option->constraintType = static_cast<SANE_Constraint_Type>(constraint);
    uint32_t count = 0;
    if (!Word(&count)) return false;
    if (count > (size_ - offset_) / 4) {
        ok_ = false;
        return false;
    }
    option->stringList.resize(count);
    for (std::string& text : option->stringList) {
        if (!Text(&text)) return false;
    }
    return true;
}

bool MessageReader::Value(OptionValue* value) {
    return Words(&value->words) && Text(&value->text);
}

bool MessageReader::Parameters(SANE_Parameters* parameters) {
    int32_t format = 0;
    if (!Int(&format) || !Int(&parameters->last_frame) || !Int(&parameters->bytes_per_line) ||
        !Int(&parameters->pixels_per_line) || !Int(&parameters->lines) ||
        !Int(&parameters->depth)) {
        return false;
    }
    parameters->format = static_cast<SANE_Frame>(format);
    return true;
}

void FrameReader::Feed(const uint8_t* data, size_t size) {
    // Drop what earlier frames used before growing the buffer.
    if (consumed_ > 0 && consumed_ == buffer_.size()) {
        buffer_.clear();
        consumed_ = 0;
    } else if (consumed_ > (1u << 20)) {
        buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(consumed_));
        consumed_ = 0;
    }
    buffer_.insert(buffer_.end(), data, data + size);
}

FrameReader::Result FrameReader::Next(std::vector<uint8_t>* body) {
    size_t available = buffer_.size() - consumed_;
    if (available < 4) return Result::kNeedMore;
    uint32_t length = 0;
    MessageReader(buffer_.data() + consumed_, 4).Word(&length);
    if (length > kMaxFrameBody) return Result::kTooLong;
    if (available - 4 < length) return Result::kNeedMore;
    const uint8_t* start = buffer_.data() + consumed_ + 4;
    body->assign(start, start + length);
    consumed_ += 4 + static_cast<size_t>(length);
    return Result::kFrame;
}
