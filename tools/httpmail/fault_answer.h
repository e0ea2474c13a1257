#pragma once
// The answers that take the place of a real one when a fault rule says so.
#include <string>

#include "tools/httpmail/fault_plan.h"
#include "tools/httpmail/http_response.h"

namespace httpmail {

// `url` is the absolute URL of the request, which a refresh or redirect points back to.
HttpResponse FaultAnswer(const AppliedFaults& faults, const std::string& url);

}  // namespace httpmail
