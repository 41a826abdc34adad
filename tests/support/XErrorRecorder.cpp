#include "XErrorRecorder.h"

#include <mutex>
#include <sstream>

namespace varnoke::test
{
namespace
{
std::mutex recordMutex;
std::vector<std::string> errors;

int recordError(Display* display, XErrorEvent* error)
{
    char text[128] = {};
    XGetErrorText(display, error->error_code, text, sizeof(text));
    std::ostringstream line;
    line << text << " (code " << static_cast<int>(error->error_code) << ") from request "
         << static_cast<int>(error->request_code) << "." << static_cast<int>(error->minor_code) << " on resource 0x"
         << std::hex << error->resourceid;
    const std::lock_guard<std::mutex> lock(recordMutex);
    errors.push_back(line.str());
    return 0;
}
}  // namespace

XErrorRecorder::XErrorRecorder()
{
    {
        const std::lock_guard<std::mutex> lock(recordMutex);
        errors.clear();
    }
    previous = XSetErrorHandler(recordError);
}

XErrorRecorder::~XErrorRecorder()
{
    XSetErrorHandler(previous);
}

std::vector<std::string> XErrorRecorder::recorded()
{
    const std::lock_guard<std::mutex> lock(recordMutex);
    return errors;
}
}  // namespace varnoke::test
