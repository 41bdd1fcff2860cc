#include "platform/driver/driver_fixture.h"

#include <cstring>
#include <utility>

#include "platform/base/kx_profile.h"

SANE_Int EventRecorder::Callback(void* opaque, SANE_Int code, void* data, SANE_Int* value,
                                 void* user) {
    auto* recorder = static_cast<EventRecorder*>(user);
    RecordedEvent event;
    event.code = code;
    event.value = value != nullptr ? *value : -1;
    event.opaque = opaque;
    event.thread = std::this_thread::get_id();
    if (code == SANE_EVENT_DEVICE_ARRIVED || code == SANE_EVENT_DEVICE_LEFT) {
        event.text = static_cast<SANE_Event_Device*>(data)->name;
    } else if (code == SANE_EVENT_IMAGE_OK) {
        auto* image = static_cast<SANE_Event_Image*>(data);
        event.parameters = image->parameters;
        event.resolution = image->resolution;
        event.pageNumber = image->page_number;
        std::lock_guard guard(recorder->mutex_);
        if (recorder->keepPixels_) {
            size_t bytes = static_cast<size_t>(image->parameters.bytes_per_line) *
                           static_cast<size_t>(image->parameters.lines);
            event.pixels.assign(image->data, image->data + bytes);
        }
    } else {
        event.text = static_cast<const char*>(data);
    }
    recorder->Record(std::move(event));
    return 0;
}

void EventRecorder::Record(RecordedEvent event) {
    Hook hook;
    {
        std::lock_guard guard(mutex_);
        hook = hook_;
    }
    // The hook runs before the event becomes visible, so a test that has seen
    // an event knows its hook has returned.
    if (hook) hook(event);
    {
        std::lock_guard guard(mutex_);
        events_.push_back(std::move(event));
    }
    changed_.notify_all();
}

void EventRecorder::KeepPixels(bool keep) {
    std::lock_guard guard(mutex_);
    keepPixels_ = keep;
}

void EventRecorder::SetHook(Hook hook) {
    std::lock_guard guard(mutex_);
    hook_ = std::move(hook);
}

bool EventRecorder::WaitFor(const Predicate& predicate, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return predicate(events_); });
}

bool EventRecorder::WaitForFinished(int count) {
    return WaitFor([count](const std::vector<RecordedEvent>& events) {
        return CountCode(events, SANE_EVENT_SCAN_FINISHED) >= count;
    });
}

bool EventRecorder::WaitForDevice(SANE_Int code, const std::string& name) {
    return WaitFor([&](const std::vector<RecordedEvent>& events) {
        for (const RecordedEvent& event : events) {
            if (event.code == code && event.text == name) return true;
        }
        return false;
    });
}

std::vector<RecordedEvent> EventRecorder::Events() {
    std::lock_guard guard(mutex_);
    return events_;
}

std::vector<RecordedEvent> EventRecorder::ScanEvents() {
    std::vector<RecordedEvent> scan;
    for (RecordedEvent& event : Events()) {
        if (event.code != SANE_EVENT_DEVICE_ARRIVED && event.code != SANE_EVENT_DEVICE_LEFT)
            scan.push_back(std::move(event));
    }
    return scan;
}

void EventRecorder::Clear() {
    std::lock_guard guard(mutex_);
    events_.clear();
}

int CountCode(const std::vector<RecordedEvent>& events, SANE_Int code) {
    int count = 0;
    for (const RecordedEvent& event : events)
        count += event.code == code ? 1 : 0;
    return count;
}

std::vector<RecordedEvent> Pages(const std::vector<RecordedEvent>& events) {
    std::vector<RecordedEvent> pages;
    for (const RecordedEvent& event : events) {
        if (event.code == SANE_EVENT_IMAGE_OK) pages.push_back(event);
    }
    return pages;
}

DriverTest::DriverTest()
    : env_("SCANBRIDGE_CONFIG_DIR", dir_.path()), driverChoice_("SCANBRIDGE_DRIVER", "") {
    SetConfig("driver", "name", "virtual");
    SetConfig("virtual", "page_delay_ms", "0");
}

DriverTest::~DriverTest() {
    sane_qnsane_exit();
}

void DriverTest::SetConfig(const char* section, const char* key, const std::string& value) {
    ASSERT_EQ(KXBase_SetProfileString(ConfigFile().c_str(), section, key, value.c_str()), 0);
}

bool DriverTest::InitDriver() {
    SANE_Int version = 0;
    if (sane_qnsane_init_ex(&version, &EventRecorder::Callback, &recorder_) != SANE_STATUS_GOOD)
        return false;
    const SANE_Device** devices = nullptr;
    if (sane_qnsane_get_devices(&devices, SANE_TRUE) != SANE_STATUS_GOOD) return false;
    size_t count = 0;
    while (devices[count] != nullptr)
        ++count;
    return recorder_.WaitFor([count](const std::vector<RecordedEvent>& events) {
        return static_cast<size_t>(CountCode(events, SANE_EVENT_DEVICE_ARRIVED)) >= count;
    });
}

SANE_Handle DriverTest::OpenScanner(const std::string& name) {
    SANE_Handle handle = nullptr;
    EXPECT_EQ(sane_qnsane_open(name.c_str(), &handle), SANE_STATUS_GOOD);
    return handle;
}

SANE_Int DriverTest::FindOption(SANE_Handle handle, const std::string& title) {
    SANE_Int count = 0;
    if (sane_qnsane_control_option(handle, 0, SANE_ACTION_GET_VALUE, &count, nullptr) != 0)
        return -1;
    for (SANE_Int i = 1; i < count; ++i) {
        const SANE_Option_Descriptor* descriptor = sane_qnsane_get_option_descriptor(handle, i);
        if (descriptor != nullptr && title == descriptor->title) return i;
    }
    return -1;
}

SANE_Status DriverTest::SetString(SANE_Handle handle, const std::string& title,
                                  const std::string& value) {
    SANE_Int option = FindOption(handle, title);
    EXPECT_GT(option, 0) << title;
    std::vector<char> buffer(value.begin(), value.end());
    buffer.push_back('\0');
    return sane_qnsane_control_option(handle, option, SANE_ACTION_SET_VALUE, buffer.data(),
                                      nullptr);
}

SANE_Status DriverTest::SetWord(SANE_Handle handle, const std::string& title, SANE_Word value) {
    SANE_Int option = FindOption(handle, title);
    EXPECT_GT(option, 0) << title;
    return sane_qnsane_control_option(handle, option, SANE_ACTION_SET_VALUE, &value, nullptr);
}

std::string DriverTest::GetString(SANE_Handle handle, const std::string& title) {
    char buffer[256] = {};
    SANE_Int option = FindOption(handle, title);
    EXPECT_EQ(sane_qnsane_control_option(handle, option, SANE_ACTION_GET_VALUE, buffer, nullptr),
              SANE_STATUS_GOOD)
        << title;
    return buffer;
}

SANE_Word DriverTest::GetWord(SANE_Handle handle, const std::string& title) {
    SANE_Word value = -12345;
    SANE_Int option = FindOption(handle, title);
    EXPECT_EQ(sane_qnsane_control_option(handle, option, SANE_ACTION_GET_VALUE, &value, nullptr),
              SANE_STATUS_GOOD)
        << title;
    return value;
}

std::vector<RecordedEvent> DriverTest::Scan(SANE_Handle handle) {
    recorder_.Clear();
    EXPECT_EQ(sane_qnsane_start(handle), SANE_STATUS_GOOD);
    EXPECT_TRUE(recorder_.WaitForFinished());
    return recorder_.ScanEvents();
}
