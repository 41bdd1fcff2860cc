#include "ver_2/manager_v2.h"

#include <algorithm>

#include "platform/base/service_thread.h"

namespace ver_2 {

ManagerV2::ManagerV2(KXPump pump) : pump_(pump) {
    KXBase_CreateLock(&lock_);
}

ManagerV2::~ManagerV2() {
    std::string ignored;
    DeinitDevice(ignored);
    KXBase_DestroyLock(lock_);
}

void ManagerV2::SetEventCallback(EventCallback callback, void* userData) {
    KXLockGuard guard(lock_);
    eventCallback_ = callback;
    eventUserData_ = userData;
}

void ManagerV2::SetImageCallback(ImageCallback callback, void* userData) {
    KXLockGuard guard(lock_);
    imageCallback_ = callback;
    imageUserData_ = userData;
}

void ManagerV2::AddSaveFilename(const std::string& path) {
    SB_ASSERT_SERVICE_THREAD();
    saveFilenames_.push_back(path);
}

void ManagerV2::RemoveSaveFilename(const std::string& path) {
    SB_ASSERT_SERVICE_THREAD();
    auto it = std::find(saveFilenames_.begin(), saveFilenames_.end(), path);
    if (it != saveFilenames_.end()) saveFilenames_.erase(it);
}

}  // namespace ver_2
