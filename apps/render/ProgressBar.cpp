#include "ProgressBar.h"

#include <cstdio>
#include <unistd.h>

namespace varnoke::render
{
ProgressBar::ProgressBar(std::int64_t totalFrames, bool show)
    : total(totalFrames)
    , enabled(show)
{
}

ProgressBar::~ProgressBar()
{
    clear();
}

bool ProgressBar::worthShowing(double seconds)
{
    return isatty(STDERR_FILENO) != 0 && seconds > 5.0;
}

void ProgressBar::update(std::int64_t done)
{
    if (!enabled)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (shown && now - lastDraw < std::chrono::milliseconds(100))
        return;
    lastDraw = now;
    shown = true;
    const double fraction = total > 0 ? static_cast<double>(done) / static_cast<double>(total) : 1.0;
    const int filled = static_cast<int>(fraction * 40.0);
    std::fprintf(stderr, "\rRendering [%.*s%*s] %3d%%", filled, "########################################", 40 - filled,
                 "", static_cast<int>(fraction * 100.0));
    std::fflush(stderr);
}

void ProgressBar::clear()
{
    if (enabled && shown)
    {
        std::fprintf(stderr, "\r%60s\r", "");
        std::fflush(stderr);
    }
    shown = false;
}
}  // namespace varnoke::render
