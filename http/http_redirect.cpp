// Following 3xx redirects to another path, host, port or scheme.
#include "core/exception.h"
#include "http/http.h"
#include "http/location.h"

namespace vxw {

void Http::RedirectRequest(const Request& request, const Budget& budget) {
    const vx::Str* location = FirstHeader("location");
    if (location == nullptr)
        throw HttpError(
            "Http::RedirectRequest::Location - A redirect was requested but no location was given "
            "- " +
                host + request.path,
            0);
    Target target = ResolveLocation(*location, Target{useTls, host, port, ""});
    if (target.host.empty() || target.port < 1 || target.port > 65535 ||
        location->find_first_of("\r\n") != vx::Str::npos)
        throw HttpError("Http::RedirectRequest::Target - A redirect named no usable server - " +
                            *location + " - " + host + request.path,
                        0);
    if (target.useTls != useTls || target.host != host || target.port != port)
        SetServer(target.port, target.useTls, target.host, proxyHost, proxyPort, proxyUser,
                  proxyPassword, timeout);
    Issue(Request{target.path, request.method, request.body, request.user, request.password},
          Budget{budget.redirectsLeft - 1, true, true}, "");
}

}  // namespace vxw
