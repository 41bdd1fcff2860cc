#include "platform/driver/sane/owned_descriptor.h"

#include <utility>

OwnedDescriptor::OwnedDescriptor(DeviceOption option) : option_(std::move(option)) {
    descriptor_.name = option_.name.c_str();
    descriptor_.title = option_.title.c_str();
    descriptor_.desc = option_.desc.c_str();
    descriptor_.type = option_.type;
    descriptor_.unit = option_.unit;
    descriptor_.size = option_.size;
    descriptor_.cap = option_.cap;
    descriptor_.constraint_type = option_.constraintType;
    descriptor_.constraint.range = nullptr;
    switch (option_.constraintType) {
        case SANE_CONSTRAINT_RANGE:
            descriptor_.constraint.range = &option_.range;
            break;
        case SANE_CONSTRAINT_WORD_LIST:
            wordList_.push_back(static_cast<SANE_Word>(option_.wordList.size()));
            wordList_.insert(wordList_.end(), option_.wordList.begin(), option_.wordList.end());
            descriptor_.constraint.word_list = wordList_.data();
            break;
        case SANE_CONSTRAINT_STRING_LIST:
            for (const std::string& entry : option_.stringList)
                stringList_.push_back(entry.c_str());
            stringList_.push_back(nullptr);
            descriptor_.constraint.string_list = stringList_.data();
            break;
        default:
            descriptor_.constraint_type = SANE_CONSTRAINT_NONE;
            break;
    }
}
