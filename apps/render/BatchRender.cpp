#include "BatchRender.h"

#include "FileKindRefusal.h"
#include "ProgressBar.h"
#include "RenderError.h"
#include "RenderJob.h"
#include "SourceRendering.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace varnoke::render
{
namespace
{
class BatchRenderer
{
public:
    BatchRenderer(const std::shared_ptr<const host::PluginLibrary>& library, const std::vector<PlannedOutput>& plan,
                  const RenderSettings& settings)
        : library(library)
        , plan(plan)
        , settings(settings)
        , expectedFrames(plan.size(), 0)
        , refused(plan.size(), false)
    {
    }

    BatchOutcome run(int jobs)
    {
        refuseInputsThatAreNotFiles();
        const juce::int64 totalFrames = measureLengths();
        ProgressBar progress(totalFrames, showProgress);
        const size_t workers = std::min(plan.size(), static_cast<size_t>(std::max(1, jobs)));
        std::vector<std::thread> threads;
        {
            const std::lock_guard<std::mutex> lock(reportMutex);
            activeWorkers = workers;
            bar = &progress;
        }
        for (size_t i = 0; i < workers; ++i)
            try
            {
                threads.emplace_back([this] { work(); });
            }
            catch (const std::system_error&)  // the system has no more threads to give: go on with those started
            {
                const std::lock_guard<std::mutex> lock(reportMutex);
                activeWorkers -= workers - threads.size();
                if (threads.empty())
                    throw RenderError("cannot start a thread to render on");
                break;
            }

        {
            std::unique_lock<std::mutex> lock(reportMutex);
            progress.update(0);
            while (activeWorkers > 0)
            {
                workerEnded.wait_for(lock, std::chrono::milliseconds(100));
                progress.update(framesDone.load());
            }
            bar = nullptr;
        }
        for (std::thread& thread : threads)
            thread.join();
        return outcome;
    }

private:
    // Before any worker starts, and told without opening them: a worker that
    // opened a FIFO nobody writes to would hold the whole batch for ever.
    void refuseInputsThatAreNotFiles()
    {
        for (size_t i = 0; i < plan.size(); ++i)
            if (const std::string refusal = refusalOfKindAt(plan[i].input); !refusal.empty())
            {
                refused[i] = true;
                fail(plan[i].input, refusal);
            }
    }

    // The lengths are only needed for the progress bar, so the inputs are
    // looked at beforehand only when it may be shown; an input that cannot be
    // opened now fails later, when its turn comes.
    juce::int64 measureLengths()
    {
        if (isatty(STDERR_FILENO) == 0)
            return 0;
        juce::int64 total = 0;
        double seconds = 0.0;
        for (size_t i = 0; i < plan.size(); ++i)
            try
            {
                if (refused[i])
                    continue;
                const std::unique_ptr<AudioSource> source = openAudioFile(plan[i].input);
                expectedFrames[i] = source->numFrames();
                total += expectedFrames[i];
                seconds += static_cast<double>(expectedFrames[i]) / source->sampleRate();
            }
            catch (const std::exception&)
            {
            }
        showProgress = ProgressBar::worthShowing(seconds);
        return total;
    }

    void work()
    {
        for (size_t index = next++; index < plan.size(); index = next++)
            if (!refused[index])
                renderOne(index);
        const std::lock_guard<std::mutex> lock(reportMutex);
        --activeWorkers;
        workerEnded.notify_one();
    }

    void renderOne(size_t index)
    {
        const PlannedOutput& planned = plan[index];
        juce::int64 counted = 0;
        const auto count = [this, &counted](juce::int64 done)
        {
            framesDone += done - counted;
            counted = done;
        };
        try
        {
            const std::unique_ptr<AudioSource> source = openAudioFile(planned.input);
            const RenderedFile rendered = renderSource(library, *source, settings, planned.output, count, &lifecycle);
            report(stdout, summaryLine(rendered));
            const std::lock_guard<std::mutex> lock(reportMutex);
            ++outcome.written;
            return;
        }
        catch (const std::exception& error)
        {
            fail(planned.input, error.what());
        }
        catch (...)
        {
            fail(planned.input, "unexpected failure");
        }
        count(std::max(counted, expectedFrames[index]));  // its share of the bar is done with
    }

    void fail(const std::string& input, std::string reason)
    {
        if (reason.find(input) == std::string::npos)
            reason = input + ": " + reason;
        report(stderr, "varnoke-render: " + reason);
        const std::lock_guard<std::mutex> lock(reportMutex);
        ++outcome.failed;
    }

    // One whole line, never torn by the progress bar or by another worker.
    void report(std::FILE* stream, const std::string& line)
    {
        const std::lock_guard<std::mutex> lock(reportMutex);
        if (bar != nullptr)
            bar->clear();
        std::fflush(stdout);
        std::fprintf(stream, "%s\n", line.c_str());
        std::fflush(stream);
    }

    const std::shared_ptr<const host::PluginLibrary>& library;
    const std::vector<PlannedOutput>& plan;
    const RenderSettings& settings;
    std::vector<juce::int64> expectedFrames;
    std::vector<bool> refused;  // written before the workers start, only read by them
    bool showProgress = false;

    std::atomic<size_t> next{0};
    std::atomic<juce::int64> framesDone{0};
    std::mutex lifecycle;

    std::mutex reportMutex;  // guards the members below and the two streams
    std::condition_variable workerEnded;
    size_t activeWorkers = 0;
    ProgressBar* bar = nullptr;
    BatchOutcome outcome;
};
}  // namespace

BatchOutcome renderBatch(const std::shared_ptr<const host::PluginLibrary>& library,
                         const std::vector<PlannedOutput>& plan, const RenderSettings& settings, int jobs)
{
    return BatchRenderer(library, plan, settings).run(jobs);
}
}  // namespace varnoke::render
