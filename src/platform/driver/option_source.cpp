#include "platform/driver/option_source.h"

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
