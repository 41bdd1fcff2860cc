#include "net/pump_messages.h"
#include "service/pump_handlers.h"
#include "service/shared_messages.h"
#include "ver_1/http_user.h"
#include "ver_1/manager_v1.h"
#include "ver_1/pump_messages_v1.h"
#include "ver_1/sockio_user.h"

using namespace ver_1;

void PumpHandlerV1(const PumpMessage* message, void*) {
    if (HandleSharedMessage(message) || RunManagerV1Message(message)) return;
    switch (message->id) {
        case PUMP_MSG_V1_HTTP_REQUEST: {
            auto request = AdoptPayload<HttpRequestMessage>(message);
            auto* user = dynamic_cast<HttpUser*>(FindConnection(request->server, request->id));
            if (user == nullptr) break;
            user->MessageHandled(request->body.size());
            user->HandleRequest(request->request, request->body);
            break;
        }
        case PUMP_MSG_TEXT_RECEIVED: {
            auto text = AdoptPayload<TextMessage>(message);
            auto* user = dynamic_cast<SockIoUser*>(FindConnection(text->server, text->id));
            if (user == nullptr) break;
            user->MessageHandled(text->length);
            user->HandleEvent(text->text.get(), text->length);
            break;
        }
        default:
            break;  // ids outside the catalogue carry no payload we know
    }
}
