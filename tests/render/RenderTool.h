#pragma once
// Runs the built korvalex-render in a temporary folder of its own, and reads and writes
// the small audio files the tests need.

#include <gtest/gtest.h>
#include <sndfile.h>

#include <string>
#include <vector>

// What one run of the tool did.
struct ToolRun {
    int status = -1;  // exit status, or -1 if it did not exit normally
    std::string out;
    std::string err;
};

// Interleaved audio as read from or written to a file.
struct Audio {
    int rate = 44100;
    int channels = 1;
    int format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    std::vector<float> samples;

    std::size_t frames() const { return channels ? samples.size() / static_cast<std::size_t>(channels) : 0; }
    std::vector<float> channel(int index) const;
};

Audio monoAudio(int rate, const std::vector<float>& samples, int format = SF_FORMAT_WAV | SF_FORMAT_FLOAT);
Audio stereoAudio(int rate, const std::vector<float>& left, const std::vector<float>& right,
                  int format = SF_FORMAT_WAV | SF_FORMAT_FLOAT);
std::vector<float> sine(int rate, double frequency, double seconds, double amplitude);

// Root-mean-square of samples [begin, end).
double rms(const std::vector<float>& x, std::size_t begin, std::size_t end);
// The frequency in [low, high] with the most energy in x (Hann-windowed, searched to 0.05 Hz).
double dominantFrequency(const std::vector<float>& x, int rate, double low, double high);
// Index of the first sample whose magnitude exceeds `threshold`, or -1.
long firstAbove(const std::vector<float>& x, float threshold);

class RenderToolTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Runs the tool with `args`, in the test's folder.
    ToolRun run(const std::vector<std::string>& args);
    // The same for another program.
    ToolRun runProgram(const std::string& program, const std::vector<std::string>& args);
    // Runs the tool and expects success.
    void render(const std::vector<std::string>& args);

    std::string path(const std::string& name) const { return folder_ + "/" + name; }
    void write(const std::string& name, const Audio& audio);
    void writeText(const std::string& name, const std::string& text);
    Audio read(const std::string& name);
    bool exists(const std::string& name) const;
    // The names in the test's folder, sorted (temporary files included).
    std::vector<std::string> listing() const;

    std::string folder_;  // where the tool runs and the files are

private:
    std::string root_;  // holds the folder and the captured output
};
