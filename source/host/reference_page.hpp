#pragma once
// The host application's reference page for an object, written from its registration: the
// digest, tags, inlet and outlets, and every message with its arguments.
#include <string>

#include "host/tonalweaver_object.hpp"

namespace tw {

std::string referencePageXml(const ObjectRegistration& registration);

}  // namespace tw
