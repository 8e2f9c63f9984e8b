#pragma once
// A compact, reviewable summary of a stereo render: levels per 100 ms window, full band and
// in three bands per channel, and the level of the difference between the channels. The
// factory bank's reference holds one summary per program.

#include <cstddef>
#include <string>
#include <vector>

constexpr int kSummaryRate = 44100;
constexpr std::size_t kSummaryWindow = kSummaryRate / 10;  // 100 ms
constexpr double kSummaryFloorDb = -100.0;                 // quieter windows all read this

// The columns of one window, in dB relative to full scale.
enum SummaryColumn {
    kLeftLevel, kLeftLow, kLeftMid, kLeftHigh,
    kRightLevel, kRightLow, kRightMid, kRightHigh,
    kSideLevel,
    kSummaryColumns
};
const char* summaryColumnName(int column);

struct Summary {
    std::vector<std::vector<double>> windows;  // each kSummaryColumns levels
};

// Whole windows only; a last partial window is left out.
Summary summarize(const std::vector<float>& left, const std::vector<float>& right);

struct ProgramSummary {
    int program = 0;
    std::string name;
    Summary summary;
};

// The reference file: comment lines (#), then per program a line "program N NAME" and one
// line of levels per window, two decimals.
void writeReference(const std::string& path, const std::string& header, const std::vector<ProgramSummary>& bank);
// Answers false and sets `error` when the file cannot be read or is malformed.
bool readReference(const std::string& path, std::vector<ProgramSummary>& bank, std::string& error);

// The largest difference between two summaries, in dB, and where it is; infinite when
// their shapes differ.
struct SummaryDifference {
    double largestDb = 0.0;
    std::size_t window = 0;
    int column = 0;
};
SummaryDifference compareSummaries(const Summary& reference, const Summary& test);
