#include "tools/korvalex-render/Batch.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>

#include "tools/korvalex-render/Errors.h"
#include "tools/korvalex-render/Reporter.h"

namespace {

std::string describe(const RenderJob& job, const RenderStats& stats, bool floatOutput)
{
    char text[160];
    std::snprintf(text, sizeof text, " (%.2f s, %d Hz, %s)", stats.audioSeconds, stats.outputRate,
                  floatOutput ? "32-bit float" : "24-bit");
    return "wrote " + job.output + text;
}

}  // namespace

BatchResult runJobs(const std::vector<RenderJob>& jobs, const RenderSettings& settings, int workers,
                    Reporter& reporter, const std::atomic<bool>& cancelled)
{
    BatchResult result;
    std::mutex resultMutex;
    std::atomic<std::size_t> next{0};
    const auto begin = std::chrono::steady_clock::now();

    const auto work = [&] {
        for (std::size_t job = next++; job < jobs.size(); job = next++) {
            try {
                const RenderStats stats = renderFile(
                    jobs[job], settings, [&reporter, job](double fraction) { reporter.progress(job, fraction); },
                    cancelled);
                {
                    std::lock_guard<std::mutex> lock(resultMutex);
                    result.total.audioSeconds += stats.audioSeconds;
                    result.total.pluginSeconds += stats.pluginSeconds;
                    result.total.pluginTime += stats.pluginTime;
                    result.total.clippedSamples += stats.clippedSamples;
                }
                reporter.note(describe(jobs[job], stats, settings.floatOutput));
                if (stats.clippedSamples > 0)
                    reporter.note(jobs[job].output + ": " + std::to_string(stats.clippedSamples) +
                                  " samples clipped at full scale (lower the Volume, or use --float)");
            } catch (const std::exception& failure) {
                reporter.progress(job, 1.0);
                reporter.error(failure.what());
                std::lock_guard<std::mutex> lock(resultMutex);
                ++result.failures;
            }
        }
    };

    const std::size_t count = std::min<std::size_t>(static_cast<std::size_t>(std::max(workers, 1)), jobs.size());
    std::vector<std::thread> threads;
    for (std::size_t i = 1; i < count; ++i)
        threads.emplace_back(work);
    work();  // the calling thread is a worker too
    for (std::thread& thread : threads)
        thread.join();
    reporter.finish();

    result.wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    return result;
}
