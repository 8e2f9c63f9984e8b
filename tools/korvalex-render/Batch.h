#pragma once
// Rendering several files at once: a pool of workers takes the jobs one by one, each
// worker with its own plug-in instance.

#include <atomic>
#include <cstddef>
#include <vector>

#include "tools/korvalex-render/Render.h"

class Reporter;

struct BatchResult {
    std::size_t failures = 0;
    RenderStats total;           // sums over the rendered files
    double wallSeconds = 0.0;    // elapsed time of the whole batch
};

// Renders `jobs` on `workers` threads. Every file gets a new plug-in instance, so each
// comes out exactly as it would from a run of its own. Failures are reported and counted;
// the other files go on.
BatchResult runJobs(const std::vector<RenderJob>& jobs, const RenderSettings& settings, int workers,
                    Reporter& reporter, const std::atomic<bool>& cancelled);
