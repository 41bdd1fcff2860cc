// Handling of the pump messages both generations share: new and closed
// connections and event frames to send. Service thread only.
#pragma once

#include "platform/base/kx_pump.h"

class WebUser;
class WebServer;

// Handles ids 1, 2 and 8 and returns true; false for any other id.
bool HandleSharedMessage(const PumpMessage* message);

// The connection named by server and id, or null when it has gone.
WebUser* FindConnection(WebServer* server, uint32_t id);
