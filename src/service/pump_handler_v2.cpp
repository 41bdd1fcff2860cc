#include "net/pump_messages.h"
#include "service/pump_handlers.h"
#include "service/shared_messages.h"
#include "ver_2/output_files.h"
#include "ver_2/pump_messages_v2.h"
#include "ver_2/scan_session.h"
#include "ver_2/ws_user.h"

using namespace ver_2;

void PumpHandlerV2(const PumpMessage* message, void*) {
    if (HandleSharedMessage(message)) return;
    switch (message->id) {
        case PUMP_MSG_V2_DEVICE_LEFT: {
            auto device = AdoptPayload<DeviceNameMessage>(message);
            device->session->OnDeviceLeft(device->name);
            break;
        }
        case PUMP_MSG_V2_SCAN_FINISHED: {
            auto finished = AdoptPayload<ScanFinishedMessage>(message);
            finished->session->OnScanFinished(finished->scanNumber);
            break;
        }
        case PUMP_MSG_V2_FILE_SAVED: {
            auto file = AdoptPayload<FilePathMessage>(message);
            file->files->AddSaveFilename(file->path);
            break;
        }
        case PUMP_MSG_V2_FILE_DROPPED: {
            auto file = AdoptPayload<FilePathMessage>(message);
            file->files->RemoveSaveFilename(file->path);
            break;
        }
        case PUMP_MSG_TEXT_RECEIVED: {
            auto text = AdoptPayload<TextMessage>(message);
            auto* user = dynamic_cast<WSUser*>(FindConnection(text->server, text->id));
            if (user == nullptr) break;
            user->MessageHandled(text->length);
            user->HandleCommand(text->text.get(), text->length);
            break;
        }
        default:
            break;
    }
}
