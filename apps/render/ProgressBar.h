#pragma once

#include <chrono>
#include <cstdint>

namespace varnoke::render
{
// A progress bar on standard error, redrawn at most ten times a second. It is
// only worth showing on a terminal and for work of more than a few seconds of
// audio (see worthShowing); a bar that is not shown draws nothing.
class ProgressBar
{
public:
    ProgressBar(std::int64_t totalFrames, bool show);
    ~ProgressBar();  // clears the bar

    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    static bool worthShowing(double seconds);

    void update(std::int64_t framesDone);
    // Takes the bar off the line, so that a line of text can be printed; the
    // next update draws it again.
    void clear();

private:
    std::int64_t total;
    bool enabled;
    bool shown = false;
    std::chrono::steady_clock::time_point lastDraw;
};
}  // namespace varnoke::render
