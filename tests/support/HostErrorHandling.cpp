#include "HostErrorHandling.h"

namespace varnoke::test
{
std::string nameOf(ErrorHandling handling)
{
    return handling == ErrorHandling::xlibDefault ? "XlibDefaultHandler" : "RecordingHandler";
}

void PrintTo(ErrorHandling handling, std::ostream* out)
{
    *out << nameOf(handling);
}

HostErrorHandling::HostErrorHandling(ErrorHandling handling)
{
    if (handling == ErrorHandling::recording)
        recorder.emplace();
    else
        XSetErrorHandler(nullptr);  // Xlib's own
}

std::vector<std::string> HostErrorHandling::errorsThatReachedTheHost() const
{
    return recorder ? XErrorRecorder::recorded() : std::vector<std::string>{};
}
}  // namespace varnoke::test
