#include "tools/korvalex-render/AudioFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <vector>

#include "tools/korvalex-render/Errors.h"
#include "tools/korvalex-render/Options.h"

namespace {

// libsndfile reports the reason an open failed through one global slot, so opens that may
// run on several threads at once are serialized with the reading of that reason.
std::mutex sndfileOpenMutex;

std::string systemReason(int error)
{
    return std::strerror(error);
}

// Permission bits for a new file under the process's umask (read once).
mode_t newFileMode()
{
    static std::once_flag once;
    static mode_t mode = 0644;
    std::call_once(once, [] {
        const mode_t mask = umask(022);
        umask(mask);
        mode = static_cast<mode_t>(0666 & ~mask);
    });
    return mode;
}

std::string folderOf(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string baseNameOf(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

bool fileExists(const std::string& path)
{
    struct stat status{};
    return lstat(path.c_str(), &status) == 0;
}

bool isDirectory(const std::string& path)
{
    struct stat status{};
    return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

bool sameFile(const std::string& a, const std::string& b)
{
    struct stat first{}, second{};
    if (stat(a.c_str(), &first) != 0 || stat(b.c_str(), &second) != 0)
        return false;
    return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

AudioReader::AudioReader(const std::string& path) : path_(path)
{
    struct stat status{};
    if (stat(path.c_str(), &status) != 0)
        throw RenderFailure(path + ": cannot read: " + systemReason(errno));
    if (S_ISDIR(status.st_mode))
        throw RenderFailure(path + ": is a folder, not an audio file");
    if (S_ISREG(status.st_mode) && status.st_size == 0)
        throw RenderFailure(path + ": the file is empty");
    {
        std::lock_guard<std::mutex> lock(sndfileOpenMutex);
        file_ = sf_open(path.c_str(), SFM_READ, &info_);
        if (!file_)
            throw RenderFailure(path + ": not an audio file that can be read (" + sf_strerror(nullptr) + ")");
    }
    if (info_.channels < 1 || info_.channels > 2) {
        const int count = info_.channels;
        sf_close(file_);
        file_ = nullptr;
        throw RenderFailure(path + ": has " + std::to_string(count) +
                            " channels; only mono and stereo files can be rendered");
    }
    if (info_.samplerate <= 0 || info_.frames <= 0) {
        sf_close(file_);
        file_ = nullptr;
        throw RenderFailure(path + ": holds no audio");
    }
}

AudioReader::~AudioReader()
{
    if (file_)
        sf_close(file_);
}

std::size_t AudioReader::read(float* stereo, std::size_t count)
{
    const sf_count_t got = sf_readf_float(file_, stereo, static_cast<sf_count_t>(count));
    if (got < static_cast<sf_count_t>(count) && sf_error(file_) != SF_ERR_NO_ERROR)
        throw RenderFailure(path_ + ": read error (" + sf_strerror(file_) + ")");
    const auto frames = static_cast<std::size_t>(got > 0 ? got : 0);
    if (info_.channels == 1) {
        // Spread the mono samples over both channels, from the end so none is overwritten early.
        for (std::size_t i = frames; i-- > 0;) {
            stereo[2 * i + 1] = stereo[i];
            stereo[2 * i] = stereo[i];
        }
    }
    return frames;
}

int outputFormatFor(const std::string& path, bool floatSamples)
{
    const std::string ext = lowerExtension(path);
    int container = 0;
    if (ext == "wav")
        container = SF_FORMAT_WAV;
    else if (ext == "flac")
        container = SF_FORMAT_FLAC;
    else if (ext == "aif" || ext == "aiff")
        container = SF_FORMAT_AIFF;
    else
        throw UsageError(path + ": unknown output format" + (ext.empty() ? "" : " '." + ext + "'") +
                         "; name it .wav, .flac, .aif or .aiff");
    if (floatSamples && container == SF_FORMAT_FLAC)
        throw UsageError(path + ": FLAC holds integer samples only; --float needs .wav or .aiff");
    return container | (floatSamples ? SF_FORMAT_FLOAT : SF_FORMAT_PCM_24);
}

AudioWriter::AudioWriter(const std::string& target, int format, int sampleRate, bool overwrite)
    : target_(target), overwrite_(overwrite), integerSamples_((format & SF_FORMAT_SUBMASK) != SF_FORMAT_FLOAT)
{
    const std::string folder = folderOf(target);
    std::string pattern = folder + "/." + baseNameOf(target) + ".part-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back(0);
    descriptor_ = mkstemp(name.data());
    if (descriptor_ < 0)
        throw RenderFailure(target + ": cannot write into folder " + folder + ": " + systemReason(errno));
    temporary_ = name.data();
    fchmod(descriptor_, newFileMode());

    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = 2;
    info.format = format;
    if (!sf_format_check(&info)) {
        discard();
        throw RenderFailure(target + ": this format cannot hold stereo at " + std::to_string(sampleRate) + " Hz");
    }
    {
        std::lock_guard<std::mutex> lock(sndfileOpenMutex);
        file_ = sf_open_fd(descriptor_, SFM_WRITE, &info, SF_FALSE);
        if (!file_) {
            const std::string reason = sf_strerror(nullptr);
            discard();
            throw RenderFailure(target + ": cannot write (" + reason + ")");
        }
    }
    // Integer formats clip samples beyond full scale instead of letting them wrap around.
    sf_command(file_, SFC_SET_CLIPPING, nullptr, SF_TRUE);
}

AudioWriter::~AudioWriter()
{
    discard();
}

void AudioWriter::discard()
{
    if (file_) {
        sf_close(file_);
        file_ = nullptr;
    }
    if (descriptor_ >= 0) {
        close(descriptor_);
        descriptor_ = -1;
    }
    if (!temporary_.empty()) {
        unlink(temporary_.c_str());
        temporary_.clear();
    }
}

void AudioWriter::write(const float* stereo, std::size_t count)
{
    if (integerSamples_) {
        for (std::size_t i = 0; i < 2 * count; ++i)
            clipped_ += std::fabs(stereo[i]) > 1.0f ? 1 : 0;
    }
    const sf_count_t written = sf_writef_float(file_, stereo, static_cast<sf_count_t>(count));
    if (written != static_cast<sf_count_t>(count))
        throw RenderFailure(target_ + ": write error (" + sf_strerror(file_) + ")");
}

void AudioWriter::commit()
{
    const int closeError = sf_close(file_);
    file_ = nullptr;
    if (closeError != 0)
        throw RenderFailure(target_ + ": write error (" + sf_error_number(closeError) + ")");
    if (fsync(descriptor_) != 0)
        throw RenderFailure(target_ + ": write error (" + systemReason(errno) + ")");
    close(descriptor_);
    descriptor_ = -1;

    int result = 0;
    if (overwrite_) {
        result = std::rename(temporary_.c_str(), target_.c_str());
    } else {
        result = renameat2(AT_FDCWD, temporary_.c_str(), AT_FDCWD, target_.c_str(), RENAME_NOREPLACE);
        if (result != 0 && (errno == EINVAL || errno == ENOSYS)) {
            // A file system without an atomic no-replace rename: check, then rename.
            if (fileExists(target_)) {
                errno = EEXIST;
            } else {
                result = std::rename(temporary_.c_str(), target_.c_str());
            }
        }
    }
    if (result != 0) {
        const int error = errno;
        if (error == EEXIST)
            throw RenderFailure(target_ + ": already exists (use --force to overwrite it)");
        throw RenderFailure(target_ + ": cannot move the finished file into place: " + systemReason(error));
    }
    temporary_.clear();
}
