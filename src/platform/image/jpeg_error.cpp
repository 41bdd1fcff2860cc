#include "platform/image/jpeg_error.h"

#include <cstring>

namespace kximage {
namespace {

[[noreturn]] void OnError(j_common_ptr info) {
    auto* errors = reinterpret_cast<JpegErrorManager*>(info->err);
    (*info->err->format_message)(info, errors->message);
    std::longjmp(errors->jump, 1);
}

void OnMessage(j_common_ptr info, int level) {
    if (level < 0) ++reinterpret_cast<JpegErrorManager*>(info->err)->warnings;
}

void OnOutput(j_common_ptr) {}

}  // namespace

jpeg_error_mgr* InstallJpegErrors(JpegErrorManager* errors) {
    jpeg_error_mgr* manager = jpeg_std_error(&errors->manager);
    manager->error_exit = OnError;
    manager->emit_message = OnMessage;
    manager->output_message = OnOutput;
    errors->warnings = 0;
    std::strcpy(errors->message, "unknown error");
    return manager;
}

}  // namespace kximage
