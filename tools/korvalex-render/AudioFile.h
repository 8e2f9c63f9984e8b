#pragma once
// Audio files through libsndfile: a reader that hands out stereo frames whatever the
// file holds, and a writer that builds its output in a temporary file beside the target
// and moves it into place only when it is complete.

#include <sndfile.h>

#include <cstddef>
#include <string>

// Reads a mono or stereo file as interleaved stereo float frames (mono feeds both channels).
class AudioReader {
public:
    // Opens `path`; throws RenderFailure naming the file and the reason.
    explicit AudioReader(const std::string& path);
    ~AudioReader();
    AudioReader(const AudioReader&) = delete;
    AudioReader& operator=(const AudioReader&) = delete;

    int sampleRate() const { return info_.samplerate; }
    int channels() const { return info_.channels; }
    long long frames() const { return static_cast<long long>(info_.frames); }

    // Reads up to `count` frames into `stereo` (2 * count floats); answers the number read,
    // 0 at the end. Throws RenderFailure on a read error.
    std::size_t read(float* stereo, std::size_t count);

private:
    std::string path_;
    SF_INFO info_{};
    SNDFILE* file_ = nullptr;
};

// The libsndfile format for an output file name: WAV, FLAC or AIFF by its extension, 24-bit
// integer or 32-bit float samples. Throws UsageError for another extension or for float FLAC.
int outputFormatFor(const std::string& path, bool floatSamples);

// Writes interleaved stereo float frames into a temporary file beside `target`; `commit`
// moves it to `target`. A writer destroyed without a commit removes its temporary file.
class AudioWriter {
public:
    // Throws RenderFailure when the temporary file cannot be created.
    AudioWriter(const std::string& target, int format, int sampleRate, bool overwrite);
    ~AudioWriter();
    AudioWriter(const AudioWriter&) = delete;
    AudioWriter& operator=(const AudioWriter&) = delete;

    void write(const float* stereo, std::size_t count);
    // Finishes the file and renames it to the target; refuses to replace an existing
    // target unless the writer was made to overwrite.
    void commit();

    // Samples beyond full scale that an integer format had to clip.
    std::size_t clippedSamples() const { return clipped_; }

private:
    void discard();

    std::string target_;
    std::string temporary_;
    bool overwrite_;
    bool integerSamples_;
    int descriptor_ = -1;
    SNDFILE* file_ = nullptr;
    std::size_t clipped_ = 0;
};

// Whether two paths name the same existing file (through links and different spellings).
bool sameFile(const std::string& a, const std::string& b);
bool fileExists(const std::string& path);
bool isDirectory(const std::string& path);
