#include "tests/render/RenderTool.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

std::string toolPath()
{
    if (const char* path = std::getenv("KORVALEX_RENDER"))
        return path;
#ifdef KORVALEX_RENDER_PATH
    return KORVALEX_RENDER_PATH;
#else
    return "korvalex-render";
#endif
}

std::string slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

std::vector<float> Audio::channel(int index) const
{
    std::vector<float> x(frames());
    for (std::size_t i = 0; i < x.size(); ++i)
        x[i] = samples[i * static_cast<std::size_t>(channels) + static_cast<std::size_t>(index)];
    return x;
}

Audio monoAudio(int rate, const std::vector<float>& samples, int format)
{
    return Audio{rate, 1, format, samples};
}

Audio stereoAudio(int rate, const std::vector<float>& left, const std::vector<float>& right, int format)
{
    Audio audio{rate, 2, format, {}};
    for (std::size_t i = 0; i < left.size(); ++i) {
        audio.samples.push_back(left[i]);
        audio.samples.push_back(right[i]);
    }
    return audio;
}

std::vector<float> sine(int rate, double frequency, double seconds, double amplitude)
{
    std::vector<float> x(static_cast<std::size_t>(std::lround(seconds * rate)));
    for (std::size_t i = 0; i < x.size(); ++i)
        x[i] = static_cast<float>(amplitude * std::sin(2.0 * M_PI * frequency * static_cast<double>(i) / rate));
    return x;
}

double rms(const std::vector<float>& x, std::size_t begin, std::size_t end)
{
    double sum = 0.0;
    for (std::size_t i = begin; i < end; ++i)
        sum += double(x[i]) * x[i];
    return end > begin ? std::sqrt(sum / static_cast<double>(end - begin)) : 0.0;
}

double dominantFrequency(const std::vector<float>& x, int rate, double low, double high)
{
    std::vector<double> windowed(x.size());
    for (std::size_t i = 0; i < x.size(); ++i)
        windowed[i] = x[i] * (0.5 - 0.5 * std::cos(2.0 * M_PI * static_cast<double>(i) / static_cast<double>(x.size())));
    const auto power = [&](double frequency) {
        double re = 0.0, im = 0.0;
        const double step = 2.0 * M_PI * frequency / rate;
        for (std::size_t i = 0; i < windowed.size(); ++i) {
            re += windowed[i] * std::cos(step * static_cast<double>(i));
            im += windowed[i] * std::sin(step * static_cast<double>(i));
        }
        return re * re + im * im;
    };
    // A coarse search at 1 Hz, then a fine one around the best point.
    double best = low, bestPower = -1.0;
    for (double f = low; f <= high; f += 1.0)
        if (const double p = power(f); p > bestPower)
            bestPower = p, best = f;
    const double centre = best;
    for (double f = centre - 1.0; f <= centre + 1.0; f += 0.05)
        if (const double p = power(f); p > bestPower)
            bestPower = p, best = f;
    return best;
}

long firstAbove(const std::vector<float>& x, float threshold)
{
    for (std::size_t i = 0; i < x.size(); ++i)
        if (std::fabs(x[i]) > threshold)
            return static_cast<long>(i);
    return -1;
}

void RenderToolTest::SetUp()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "korvalex-render-test-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    folder_ = root_ + "/work";
    std::filesystem::create_directory(folder_);
}

void RenderToolTest::TearDown()
{
    if (root_.empty())
        return;
    std::error_code ignored;
    std::filesystem::permissions(folder_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(root_, ignored);
}

ToolRun RenderToolTest::run(const std::vector<std::string>& args)
{
    return runProgram(toolPath(), args);
}

ToolRun RenderToolTest::runProgram(const std::string& tool, const std::vector<std::string>& args)
{
    const std::string outPath = root_ + "/stdout", errPath = root_ + "/stderr";
    std::vector<std::string> argv{tool};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> pointers;
    for (std::string& arg : argv)
        pointers.push_back(arg.data());
    pointers.push_back(nullptr);

    const pid_t child = fork();
    if (child == 0) {
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out < 0 || err < 0 || chdir(folder_.c_str()) != 0)
            _exit(127);
        dup2(out, STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        // In sanitizer builds a finding in the tool must not pass for one of its own
        // failures (status 1): give the sanitizers an exit status of their own.
        for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "TSAN_OPTIONS"}) {
            const char* old = std::getenv(name);
            const std::string options = std::string(old ? old : "") + (old && *old ? ":" : "") + "exitcode=86";
            setenv(name, options.c_str(), 1);
        }
        execv(tool.c_str(), pointers.data());
        _exit(127);
    }
    ToolRun result;
    int status = 0;
    if (child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status))
        result.status = WEXITSTATUS(status);
    result.out = slurp(outPath);
    result.err = slurp(errPath);
    return result;
}

void RenderToolTest::render(const std::vector<std::string>& args)
{
    const ToolRun result = run(args);
    ASSERT_EQ(result.status, 0) << result.err;
}

void RenderToolTest::write(const std::string& name, const Audio& audio)
{
    SF_INFO info{};
    info.samplerate = audio.rate;
    info.channels = audio.channels;
    info.format = audio.format;
    SNDFILE* file = sf_open(path(name).c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
    EXPECT_EQ(sf_writef_float(file, audio.samples.data(), static_cast<sf_count_t>(audio.frames())),
              static_cast<sf_count_t>(audio.frames()));
    sf_close(file);
}

void RenderToolTest::writeText(const std::string& name, const std::string& text)
{
    std::ofstream(path(name), std::ios::binary) << text;
}

Audio RenderToolTest::read(const std::string& name)
{
    Audio audio;
    SF_INFO info{};
    SNDFILE* file = sf_open(path(name).c_str(), SFM_READ, &info);
    EXPECT_NE(file, nullptr) << name << ": " << sf_strerror(nullptr);
    if (!file)
        return audio;
    audio.rate = info.samplerate;
    audio.channels = info.channels;
    audio.format = info.format;
    audio.samples.resize(static_cast<std::size_t>(info.frames * info.channels));
    sf_readf_float(file, audio.samples.data(), info.frames);
    sf_close(file);
    return audio;
}

bool RenderToolTest::exists(const std::string& name) const
{
    return std::filesystem::exists(std::filesystem::symlink_status(path(name)));
}

std::vector<std::string> RenderToolTest::listing() const
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder_))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}
