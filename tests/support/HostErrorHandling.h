#pragma once

#include "XErrorRecorder.h"

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace varnoke::test
{
// How a test host handles X errors: with Xlib's default handler, which ends
// the process at the first X error as in a host that installs none, or with a
// recorder whose record the test expects to be empty. The tests on a bare
// display run under both.
enum class ErrorHandling
{
    xlibDefault,
    recording,
};

std::string nameOf(ErrorHandling handling);

// Names the parameter in test listings.
void PrintTo(ErrorHandling handling, std::ostream* out);

// Puts the chosen handling in place for as long as it lives.
class HostErrorHandling
{
public:
    explicit HostErrorHandling(ErrorHandling handling);

    // The X errors that reached the host: never any under Xlib's default
    // handler, where the first one would have ended the process.
    std::vector<std::string> errorsThatReachedTheHost() const;

private:
    std::optional<XErrorRecorder> recorder;
};
}  // namespace varnoke::test
