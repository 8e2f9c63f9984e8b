#include "tests/bank/BankSummary.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <limits>
#include <sstream>

#include "tests/support/DoubleBiquad.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kLowEdgeHz = 250.0;   // low band below, mid band above
constexpr double kHighEdgeHz = 2500.0; // mid band below, high band above

// Second-order Butterworth low-pass or high-pass section.
DoubleBiquad butterworth(double frequency, bool highPass)
{
    const double w = 2.0 * kPi * frequency / kSummaryRate;
    const double alpha = std::sin(w) / std::sqrt(2.0);
    const double c = std::cos(w);
    const double a0 = 1.0 + alpha;
    const double edge = highPass ? (1.0 + c) / 2.0 : (1.0 - c) / 2.0;
    return DoubleBiquad({edge / a0, (highPass ? -2.0 : 2.0) * edge / a0, edge / a0, -2.0 * c / a0, (1.0 - alpha) / a0});
}

// A window holding a non-finite sample reads infinitely loud, so that it never matches.
double decibels(double sumOfSquares, std::size_t count)
{
    if (!std::isfinite(sumOfSquares))
        return std::numeric_limits<double>::infinity();
    const double level = std::sqrt(sumOfSquares / static_cast<double>(count));
    return std::max(kSummaryFloorDb, 20.0 * std::log10(std::max(level, 1e-300)));
}

// Full band, low, mid and high levels of one channel, window by window, into `first`..`first + 3`.
void summarizeChannel(const std::vector<float>& x, std::vector<std::vector<double>>& windows, int first)
{
    DoubleBiquad low = butterworth(kLowEdgeHz, false), midHigh = butterworth(kLowEdgeHz, true),
                 midLow = butterworth(kHighEdgeHz, false), high = butterworth(kHighEdgeHz, true);
    for (std::size_t w = 0; w < windows.size(); ++w) {
        double sums[4] = {};
        for (std::size_t i = w * kSummaryWindow; i < (w + 1) * kSummaryWindow; ++i) {
            const double v = x[i];
            const double bands[4] = {v, low(v), midLow(midHigh(v)), high(v)};
            for (int b = 0; b < 4; ++b)
                sums[b] += bands[b] * bands[b];
        }
        for (int b = 0; b < 4; ++b)
            windows[w][static_cast<std::size_t>(first + b)] = decibels(sums[b], kSummaryWindow);
    }
}

}  // namespace

const char* summaryColumnName(int column)
{
    static const char* const names[kSummaryColumns] = {"left",  "left low",  "left mid",  "left high", "right",
                                                       "right low", "right mid", "right high", "side"};
    return column >= 0 && column < kSummaryColumns ? names[column] : "?";
}

Summary summarize(const std::vector<float>& left, const std::vector<float>& right)
{
    const std::size_t count = std::min(left.size(), right.size()) / kSummaryWindow;
    Summary summary;
    summary.windows.assign(count, std::vector<double>(kSummaryColumns, 0.0));
    summarizeChannel(left, summary.windows, kLeftLevel);
    summarizeChannel(right, summary.windows, kRightLevel);
    for (std::size_t w = 0; w < count; ++w) {
        double sum = 0.0;
        for (std::size_t i = w * kSummaryWindow; i < (w + 1) * kSummaryWindow; ++i) {
            const double side = 0.5 * (static_cast<double>(left[i]) - right[i]);
            sum += side * side;
        }
        summary.windows[w][kSideLevel] = decibels(sum, kSummaryWindow);
    }
    return summary;
}

void writeReference(const std::string& path, const std::string& header, const std::vector<ProgramSummary>& bank)
{
    std::ofstream out(path);
    out << header;
    char number[32];
    for (const ProgramSummary& program : bank) {
        out << "program " << program.program << ' ' << program.name << '\n';
        for (const std::vector<double>& window : program.summary.windows) {
            for (std::size_t c = 0; c < window.size(); ++c) {
                std::snprintf(number, sizeof number, "%s%.2f", c ? " " : "", window[c]);
                out << number;
            }
            out << '\n';
        }
    }
}

bool readReference(const std::string& path, std::vector<ProgramSummary>& bank, std::string& error)
{
    std::ifstream in(path);
    if (!in) {
        error = "cannot read " + path;
        return false;
    }
    bank.clear();
    std::string line;
    int lineNumber = 0;
    while (std::getline(in, line)) {
        ++lineNumber;
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream fields(line);
        if (line.compare(0, 8, "program ") == 0) {
            ProgramSummary program;
            std::string word;
            fields >> word >> program.program;
            std::getline(fields >> std::ws, program.name);
            bank.push_back(program);
            continue;
        }
        std::vector<double> window;
        double level;
        while (fields >> level)
            window.push_back(level);
        if (bank.empty() || !fields.eof() || window.size() != kSummaryColumns) {
            error = path + ":" + std::to_string(lineNumber) + ": expected " + std::to_string(kSummaryColumns) +
                    " levels after a program line";
            return false;
        }
        bank.back().summary.windows.push_back(window);
    }
    return true;
}

SummaryDifference compareSummaries(const Summary& reference, const Summary& test)
{
    SummaryDifference difference;
    if (reference.windows.size() != test.windows.size()) {
        difference.largestDb = std::numeric_limits<double>::infinity();
        return difference;
    }
    for (std::size_t w = 0; w < reference.windows.size(); ++w) {
        for (int c = 0; c < kSummaryColumns; ++c) {
            const double d = std::fabs(reference.windows[w][static_cast<std::size_t>(c)] -
                                       test.windows[w][static_cast<std::size_t>(c)]);
            if (!(d <= difference.largestDb)) {  // NaN counts as the largest
                difference.largestDb = std::isnan(d) ? std::numeric_limits<double>::infinity() : d;
                difference.window = w;
                difference.column = c;
            }
        }
    }
    return difference;
}
