#include "tools/korvalex-render/Reporter.h"

#include <cstdio>

namespace {
constexpr int kBarWidth = 40;
}  // namespace

Reporter::Reporter(std::size_t jobs, bool progressBar, bool quiet)
    : fractions_(jobs, 0.0), progressBar_(progressBar && !quiet), quiet_(quiet)
{
}

void Reporter::progress(std::size_t job, double fraction)
{
    if (!progressBar_ || job >= fractions_.size())
        return;
    std::lock_guard<std::mutex> lock(mutex_);
    fractions_[job] = fraction;
    drawBar();
}

void Reporter::note(const std::string& message)
{
    if (quiet_)
        return;
    std::lock_guard<std::mutex> lock(mutex_);
    print("korvalex-render: " + message);
}

void Reporter::error(const std::string& message)
{
    std::lock_guard<std::mutex> lock(mutex_);
    print("korvalex-render: " + message);
}

void Reporter::finish()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (barShown_) {
        std::fputs("\r\033[K", stderr);
        std::fflush(stderr);
        barShown_ = false;
    }
    progressBar_ = false;
}

void Reporter::print(const std::string& line)
{
    if (barShown_)
        std::fputs("\r\033[K", stderr);
    std::fprintf(stderr, "%s\n", line.c_str());
    if (barShown_) {
        shownPercent_ = -1;
        drawBar();
    }
    std::fflush(stderr);
}

void Reporter::drawBar()
{
    double sum = 0.0;
    std::size_t done = 0;
    for (double fraction : fractions_) {
        sum += fraction;
        done += fraction >= 1.0 ? 1 : 0;
    }
    const double overall = fractions_.empty() ? 1.0 : sum / static_cast<double>(fractions_.size());
    const int percent = static_cast<int>(overall * 100.0);
    if (percent == shownPercent_)
        return;  // redraw only when the figure changes
    shownPercent_ = percent;
    const int filled = static_cast<int>(overall * kBarWidth);
    std::string bar(static_cast<std::size_t>(filled), '#');
    bar.resize(kBarWidth, '.');
    std::fprintf(stderr, "\r[%s] %3d%%", bar.c_str(), percent);
    if (fractions_.size() > 1)
        std::fprintf(stderr, "  %zu/%zu files", done, fractions_.size());
    std::fflush(stderr);
    barShown_ = true;
}
