#pragma once
// The three-step catch at the edge of a thread, a loop pass or the entry.
// Every boundary of the program goes through here, so the texts
// "<place>::catch::vx - ", "::catch::std - " and "::catch::all - " exist once.
#include <exception>
#include <utility>

#include "core/exception.h"

namespace vx {

// Runs body. If it throws, builds the boundary text and hands it to report.
// Returns true when body completed.
template <class Body, class Report>
bool CatchAtBoundary(const char* place, const char* ending, Body&& body, Report&& report) {
    try {
        std::forward<Body>(body)();
        return true;
    } catch (const vx::Exception& e) {
        report(Str(place) + "::catch::vx - " + e.Message());
    } catch (const std::exception& e) {
        report(Str(place) + "::catch::std - " + e.what());
    } catch (...) {
        report(Str(place) + "::catch::all - " + ending);
    }
    return false;
}

// The two endings the program uses for "anything else".
constexpr const char* kUnexpected = "Unexpected.";
constexpr const char* kUnknownError = "Unknown error.";

}  // namespace vx
