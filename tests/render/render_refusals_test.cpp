// The built tool refuses what it cannot do: a clear message naming the file and the
// reason, the exit status of its kind, and no output file (nor a temporary one) left.

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "tests/render/RenderTool.h"

namespace {

constexpr int kFailure = 1;
constexpr int kUsage = 2;

bool mentions(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

}  // namespace

class RenderRefusals : public RenderToolTest {
protected:
    void SetUp() override
    {
        RenderToolTest::SetUp();
        write("in.wav", monoAudio(44100, sine(44100, 220.0, 0.1, 0.2)));
    }

    // Runs the tool, expects `status` with a message that contains every part, and checks
    // that the folder holds nothing more than `before`.
    void expectRefused(const std::vector<std::string>& args, int status, const std::vector<std::string>& parts)
    {
        const std::vector<std::string> before = listing();
        const ToolRun result = run(args);
        EXPECT_EQ(result.status, status) << result.err;
        for (const std::string& part : parts)
            EXPECT_TRUE(mentions(result.err, part)) << "no '" << part << "' in: " << result.err;
        EXPECT_EQ(listing(), before);
    }
};

TEST_F(RenderRefusals, InputsThatAreNotAudio)
{
    writeText("text.wav", "This is a text file, not a recording.\n");
    expectRefused({"text.wav", "out.wav"}, kFailure, {"text.wav", "not an audio file"});
    writeText("empty.wav", "");
    expectRefused({"empty.wav", "out.wav"}, kFailure, {"empty.wav", "empty"});
    expectRefused({"missing.wav", "out.wav"}, kFailure, {"missing.wav", "No such file"});
    std::filesystem::create_directory(path("folder.wav"));
    expectRefused({"folder.wav", "out.wav"}, kFailure, {"folder.wav", "folder"});
    // A valid file without a single frame holds nothing to render either.
    write("silent.wav", monoAudio(44100, {}));
    expectRefused({"silent.wav", "out.wav"}, kFailure, {"silent.wav", "no audio"});
}

TEST_F(RenderRefusals, MoreThanTwoChannels)
{
    Audio three{44100, 3, SF_FORMAT_WAV | SF_FORMAT_FLOAT, std::vector<float>(3 * 1000, 0.1f)};
    write("three.wav", three);
    expectRefused({"three.wav", "out.wav"}, kFailure, {"three.wav", "3 channels"});
}

TEST_F(RenderRefusals, OutputsThatCannotBeWritten)
{
    expectRefused({"in.wav", "nowhere/out.wav"}, kFailure, {"nowhere/out.wav", "No such file"});
    writeText("plain", "a file, not a folder");
    expectRefused({"in.wav", "plain/out.wav"}, kFailure, {"plain/out.wav", "Not a directory"});
    expectRefused({"-o", "nowhere", "in.wav"}, kFailure, {"nowhere", "no such folder"});
    expectRefused({"in.wav", "out.mp3"}, kUsage, {"out.mp3", ".wav, .flac"});
    expectRefused({"--float", "in.wav", "out.flac"}, kUsage, {"out.flac", "FLAC"});
}

TEST_F(RenderRefusals, FolderWithoutWritePermission)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "permissions do not stop root";
    std::filesystem::create_directory(path("locked"));
    chmod(path("locked").c_str(), 0555);
    const ToolRun result = run({"in.wav", "locked/out.wav"});
    EXPECT_EQ(result.status, kFailure);
    EXPECT_TRUE(mentions(result.err, "Permission denied")) << result.err;
    EXPECT_TRUE(std::filesystem::is_empty(path("locked")));
}

TEST_F(RenderRefusals, ExistingOutputNeedsForce)
{
    writeText("out.wav", "keep me");
    expectRefused({"in.wav", "out.wav"}, kFailure, {"out.wav", "already exists", "--force"});
    std::ifstream kept(path("out.wav"));
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "keep me");

    render({"--force", "--tail", "0", "in.wav", "out.wav"});
    EXPECT_EQ(read("out.wav").frames(), 4410u);
}

TEST_F(RenderRefusals, NeverTheInputItself)
{
    const std::uintmax_t size = std::filesystem::file_size(path("in.wav"));
    expectRefused({"in.wav", "in.wav"}, kFailure, {"in.wav", "input itself"});
    expectRefused({"--force", "in.wav", "./in.wav"}, kFailure, {"./in.wav", "input itself"});
    std::filesystem::create_symlink("in.wav", path("link.wav"));
    expectRefused({"--force", "in.wav", "link.wav"}, kFailure, {"link.wav", "input itself"});
    // Batch output into the input's own folder lands on the input too.
    expectRefused({"--force", "-o", ".", "in.wav"}, kFailure, {"in.wav", "input itself"});
    EXPECT_EQ(std::filesystem::file_size(path("in.wav")), size);
}

TEST_F(RenderRefusals, UnknownOrAmbiguousProgram)
{
    const std::vector<std::string> before = listing();
    ToolRun result = run({"--program", "basic", "in.wav", "out.wav"});
    EXPECT_EQ(result.status, kUsage);
    EXPECT_TRUE(mentions(result.err, "ambiguous")) << result.err;
    EXPECT_TRUE(mentions(result.err, "Basic Classic Clean")) << result.err;
    EXPECT_TRUE(mentions(result.err, "Basic Tweed Lead")) << result.err;
    EXPECT_FALSE(mentions(result.err, "Fuzz")) << "only the programs that begin with the text";

    result = run({"--program", "chorus", "in.wav", "out.wav"});
    EXPECT_EQ(result.status, kUsage);
    EXPECT_TRUE(mentions(result.err, "Clean Chorus 1")) << "names that contain the text: " << result.err;

    result = run({"--program", "Zzyzx", "in.wav", "out.wav"});
    EXPECT_EQ(result.status, kUsage);
    EXPECT_TRUE(mentions(result.err, "no program \"Zzyzx\"")) << result.err;
    EXPECT_TRUE(mentions(result.err, "Fuzz")) << "all programs are listed: " << result.err;

    result = run({"--program", "999", "in.wav", "out.wav"});
    EXPECT_EQ(result.status, kUsage);
    EXPECT_TRUE(mentions(result.err, "999")) << result.err;
    EXPECT_EQ(listing(), before);
}

TEST_F(RenderRefusals, BadParameterSettings)
{
    expectRefused({"--set", "Volum=0.5", "in.wav", "out.wav"}, kUsage, {"Volum", "Volume"});
    expectRefused({"--set", "Loudness=0.5", "in.wav", "out.wav"}, kUsage, {"Loudness", "Gate Threshold"});
    expectRefused({"--set", "Volume=1.5", "in.wav", "out.wav"}, kUsage, {"Volume", "1.5", "0..1"});
    expectRefused({"--set", "Volume=-0.1", "in.wav", "out.wav"}, kUsage, {"Volume", "0..1"});
    expectRefused({"--set", "Volume=loud", "in.wav", "out.wav"}, kUsage, {"Volume", "not a number"});
    expectRefused({"--set", "Volume", "in.wav", "out.wav"}, kUsage, {"NAME=VALUE"});
}

TEST_F(RenderRefusals, PresetsThatAreNotKorvalexPrograms)
{
    // A bank file's header, another plug-in's program, and one cut short.
    writeText("bank.fxp", std::string("CcnK\0\0\0\x98" "FxBk", 12) + std::string(200, '\0'));
    std::string other = "CcnK" + std::string("\0\0\0\x04", 4) + "FxCk" + std::string("\0\0\0\x01", 4) + "Abcd" +
                        std::string(4, '\0') + std::string("\0\0\0\x01", 4) + std::string(28, '\0') +
                        std::string(4, '\0');
    writeText("other.fxp", other);
    std::string cut = other;
    cut.replace(16, 4, "ROri");
    cut.replace(24, 4, std::string("\0\0\0\x35", 4));  // 53 values promised, one given
    writeText("cut.fxp", cut);
    expectRefused({"--preset", "bank.fxp", "in.wav", "out.wav"}, kFailure, {"bank.fxp", "is a bank of programs"});
    expectRefused({"--preset", "other.fxp", "in.wav", "out.wav"}, kFailure,
                  {"other.fxp", "another plug-in (ID \"Abcd\", not \"ROri\")"});
    expectRefused({"--preset", "cut.fxp", "in.wav", "out.wav"}, kFailure, {"cut.fxp", "is truncated"});
    expectRefused({"--preset", "absent.fxp", "in.wav", "out.wav"}, kFailure, {"absent.fxp", "No such file"});
}

TEST_F(RenderRefusals, CommandLineMistakes)
{
    expectRefused({"--frobnicate", "in.wav", "out.wav"}, kUsage, {"--frobnicate", "--help"});
    expectRefused({"in.wav"}, kUsage, {"missing OUTPUT"});
    expectRefused({"in.wav", "a.wav", "b.wav"}, kUsage, {"-o DIR"});
    expectRefused({"--tail", "-1", "in.wav", "out.wav"}, kUsage, {"--tail"});
    expectRefused({"--rate", "44.1", "in.wav", "out.wav"}, kUsage, {"--rate"});
    expectRefused({"--demo", "in.wav", "out.wav"}, kUsage, {"--demo"});
    expectRefused({"--plugin", "absent.so", "in.wav", "out.wav"}, kFailure, {"absent.so", "No such file"});
}

TEST_F(RenderRefusals, BatchGoesOnPastAFailingFile)
{
    writeText("bad.wav", "not audio");
    std::filesystem::create_directory(path("out"));
    const ToolRun result = run({"--tail", "0", "-o", "out", "bad.wav", "in.wav"});
    EXPECT_EQ(result.status, kFailure);
    EXPECT_TRUE(mentions(result.err, "bad.wav")) << result.err;
    EXPECT_FALSE(exists("out/bad.wav"));
    EXPECT_TRUE(exists("out/in.wav"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(path("out")), {}), 1);
}

// Every impulse response the tool cannot use is refused before anything is rendered,
// naming the file and the reason.
TEST_F(RenderRefusals, CabinetFilesItCannotUse)
{
    std::vector<float> decaying(4000);
    for (size_t i = 0; i < decaying.size(); ++i)
        decaying[i] = 0.5f * std::exp(-static_cast<float>(i) / 300.0f) * std::sin(0.1f * static_cast<float>(i));
    std::vector<float> notFinite = decaying;
    notFinite[1234] = std::nanf("");
    std::vector<float> quiet = decaying;
    for (float& v : quiet)
        v *= 1e-4f;  // peak -86 dBFS
    std::vector<float> tooLong(static_cast<size_t>(1.5 * 44100), 0.0f);
    for (size_t i = 0; i < tooLong.size(); ++i)
        tooLong[i] = 0.5f * std::exp(-static_cast<float>(i) / 20000.0f) * std::sin(0.1f * static_cast<float>(i));
    const std::vector<float> threeChannels(300, 0.1f);
    writeText("text.wav", "an impulse response, honestly\n");
    write("empty.wav", monoAudio(44100, {}));
    write("three.wav", Audio{44100, 3, SF_FORMAT_WAV | SF_FORMAT_FLOAT, threeChannels});
    write("nan.wav", monoAudio(44100, notFinite));
    write("quiet.wav", monoAudio(48000, quiet));
    write("long.wav", monoAudio(44100, tooLong));
    struct Case {
        const char* file;
        std::vector<std::string> reason;
    } cases[] = {
        {"missing.wav", {"No such file"}},
        {"text.wav", {"not an audio file"}},
        {"empty.wav", {"no audio"}},
        {"three.wav", {"3 channels", "mono or stereo"}},
        {"nan.wav", {"not a finite number", "frame 1234"}},
        {"quiet.wav", {"-86.", "below -80 dBFS", "nothing to normalise"}},
        {"long.wav", {"1.5 s long", "the limit is 1 s"}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> parts = c.reason;
        parts.push_back(c.file);
        expectRefused({"--cabinet", c.file, "in.wav", "out.wav"}, kFailure, parts);
        expectRefused({"--cabinet", c.file, "-o", ".", "in.wav"}, kFailure, parts);
    }
    expectRefused({"--cabinet-gain", "3", "in.wav", "out.wav"}, kUsage, {"--cabinet-gain", "--cabinet FILE"});
    write("good.wav", monoAudio(44100, decaying));
    expectRefused({"--cabinet", "good.wav", "--cabinet-gain", "-40.01", "in.wav", "out.wav"}, kUsage, {"-40 and 40 dB"});
}
