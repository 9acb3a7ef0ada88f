// Request types whose handlers are not built yet answer "Unhandled request type".
// Each line goes away when its handler lands in its subsystem.
#include "host/request_handlers.hpp"

namespace tw {

// chord: modifier availability
HandlerReply handleGetAvailableModifiers(const Json&) { throw UnhandledRequestType(); }

// chord: modifier application
HandlerReply handleApplyModifiers(const Json&) { throw UnhandledRequestType(); }

}  // namespace tw
