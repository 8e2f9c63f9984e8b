// What the tool tells its user, and how it reads its command line and names.

#include <algorithm>
#include <cmath>

#include "tests/render/RenderTool.h"
#include "tools/korvalex-render/Errors.h"
#include "host/NameLookup.h"
#include "tools/korvalex-render/Options.h"

namespace {

Options parse(std::vector<std::string> args)
{
    return parseOptions(args);
}

bool mentions(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

}  // namespace

TEST(RenderOptions, SingleBatchAndDemoForms)
{
    Options single = parse({"-p", "Fuzz", "--set", "Gate Bypass=1", "--set=Volume=0.25", "--tail=0.5", "in.wav",
                            "out.flac"});
    EXPECT_EQ(single.program, "Fuzz");
    ASSERT_EQ(single.settings.size(), 2u);
    EXPECT_EQ(single.settings[0].name, "Gate Bypass");
    EXPECT_EQ(single.settings[0].value, 1.0f);
    EXPECT_EQ(single.settings[1].name, "Volume");
    EXPECT_EQ(single.settings[1].value, 0.25f);
    EXPECT_FALSE(single.autoTail);
    EXPECT_EQ(single.tailSeconds, 0.5);
    EXPECT_EQ(single.inputGainDb, 0.0);
    EXPECT_EQ(single.inputs, std::vector<std::string>{"in.wav"});
    EXPECT_EQ(single.output, "out.flac");
    EXPECT_TRUE(single.align);

    Options batch = parse({"-o", "dir", "--no-align", "-j", "3", "a.wav", "b.wav", "c.wav"});
    EXPECT_EQ(batch.outputDir, "dir");
    EXPECT_EQ(batch.inputs.size(), 3u);
    EXPECT_EQ(batch.jobs, 3);
    EXPECT_FALSE(batch.align);
    EXPECT_TRUE(batch.autoTail) << "the tail is automatic unless --tail gives seconds";
    EXPECT_TRUE(parse({"--tail", "3", "--tail", "auto", "a.wav", "b.wav"}).autoTail);
    EXPECT_EQ(parse({"--input-gain", "9", "a.wav", "b.wav"}).inputGainDb, 9.0);
    EXPECT_EQ(parse({"-g", "-4.5", "a.wav", "b.wav"}).inputGainDb, -4.5);

    Options demo = parse({"--demo", "--rate", "48000", "--float", "demo.wav"});
    EXPECT_TRUE(demo.demo);
    EXPECT_EQ(demo.output, "demo.wav");
    EXPECT_EQ(demo.outputRate, 48000);
    EXPECT_TRUE(demo.floatOutput);

    // After "--" a name that begins with a dash is a file.
    EXPECT_EQ(parse({"--", "-in.wav", "out.wav"}).inputs, std::vector<std::string>{"-in.wav"});
    EXPECT_TRUE(parse({"--list-programs"}).listing());
}

TEST(RenderOptions, RefusedCombinations)
{
    const std::vector<std::vector<std::string>> refused = {
        {"--list-programs", "in.wav"},          {"--demo"},
        {"--float", "-o", "d", "--format", "flac", "a.wav"},
        {"--format", "wav", "in.wav", "out.wav"}, {"--format", "mp3", "-o", "d", "a.wav"},
        {"-o", "d"},                            {"--force=yes", "a.wav", "b.wav"},
        {"--jobs", "0", "a.wav", "b.wav"},      {"--rate", "1000", "a.wav", "b.wav"},
        {"--tail"},                             {"--set", "=0.5", "a.wav", "b.wav"},
        {"--tail", "soon", "a.wav", "b.wav"},   {"--input-gain", "61", "a.wav", "b.wav"},
        {"--input-gain", "loud", "a.wav", "b.wav"},
    };
    for (const auto& args : refused)
        EXPECT_THROW(parseOptions(args), UsageError) << ::testing::PrintToString(args);
}

TEST(RenderNames, NumbersExactNamesAndUniqueBeginnings)
{
    const std::vector<std::string> names = {"Clean", "Clean Chorus", "Crunch", "Lead", ""};
    EXPECT_EQ(lookUpName(names, "3", true).index, 3);
    EXPECT_EQ(lookUpName(names, "5", true).index, -1);
    EXPECT_TRUE(lookUpName(names, "5", true).candidates.empty());
    EXPECT_EQ(lookUpName(names, "clean", true).index, 0) << "an exact name wins over longer ones";
    EXPECT_EQ(lookUpName(names, "clean c", true).index, 1);
    EXPECT_EQ(lookUpName(names, "CRU", true).index, 2);
    EXPECT_EQ(lookUpName(names, "cru", false).index, -1) << "parameters need the whole name";

    const NameMatch ambiguous = lookUpName(names, "c", true);
    EXPECT_EQ(ambiguous.index, -1);
    EXPECT_TRUE(ambiguous.ambiguous);
    EXPECT_EQ(ambiguous.candidates, (std::vector<int>{0, 1, 2}));

    // A name as long as the interface allows may have been cut short.
    const std::vector<std::string> cut = {"Clean Chor", "Clean Chorus"};
    EXPECT_EQ(lookUpName(cut, "clean chorus 2", true, 10).index, 0);
    EXPECT_EQ(lookUpName(cut, "clean chorus 2", true, 0).index, -1);
    EXPECT_EQ(lookUpName(cut, "clean chorus", true, 10).index, 1) << "an equal name comes first";
    EXPECT_EQ(lookUpName(names, "clean chorus 2", true, 5).index, 0) << "\"Clean\" is five letters long";

    const NameMatch similar = lookUpName(names, "horus", true);
    EXPECT_TRUE(similar.similar);
    EXPECT_EQ(similar.candidates, std::vector<int>{1});

    const NameMatch unknown = lookUpName(names, "Metal", true);
    EXPECT_FALSE(unknown.similar);
    EXPECT_EQ(unknown.candidates, (std::vector<int>{0, 1, 2, 3})) << "every named entry";
    const std::string message = describeFailedLookup("program", "Metal", unknown, names);
    EXPECT_TRUE(mentions(message, "no program \"Metal\"")) << message;
    EXPECT_TRUE(mentions(message, "  3  Lead")) << message;
}

using RenderMessages = RenderToolTest;

TEST_F(RenderMessages, HelpAndVersion)
{
    ToolRun result = run({"--help"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out.rfind("Usage: korvalex-render", 0), 0u) << result.out;
    for (const char* option : {"--program", "--set", "--list-programs", "--list-parameters", "--tail", "--no-align",
                               "--rate", "--float", "--demo", "--output-dir", "--quiet", "--bench", "--force",
                               "--input-gain", "-3 dBFS"})
        EXPECT_TRUE(mentions(result.out, option)) << option;
    result = run({"--version"});
    EXPECT_EQ(result.status, 0);
    EXPECT_TRUE(mentions(result.out, "korvalex-render")) << result.out;
}

TEST_F(RenderMessages, ProgramsAndParametersComeFromThePlugin)
{
    ToolRun result = run({"--list-programs"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_TRUE(mentions(result.out, "  0* Basic Classic Clean\n")) << "program 0 is current";
    EXPECT_TRUE(mentions(result.out, " 47  Fuzz\n"));
    EXPECT_TRUE(mentions(result.out, " 81  Tweed Lead\n"));

    result = run({"--program", "tweed l", "--list-programs"});
    EXPECT_TRUE(mentions(result.out, " 81* Tweed Lead\n")) << "a unique beginning selects";
    result = run({"--program", "FUZZ", "--list-programs"});
    EXPECT_TRUE(mentions(result.out, " 47* Fuzz\n")) << "names ignore letter case";
    // Hosts see at most 23 characters of a name; the whole name still finds the program.
    result = run({"--program", "Basic Classic Clean Chorus", "--list-programs"});
    EXPECT_TRUE(mentions(result.out, "  1* Basic Classic Clean Cho\n")) << result.out << result.err;

    result = run({"--program", "47", "--set", "volume=0.25", "--set", "Gate Bypass=0", "--list-parameters"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_TRUE(mentions(result.out, "  3  Volume             25 ")) << result.out;
    EXPECT_TRUE(mentions(result.out, " 32  Gate Bypass        Off ")) << result.out;
    EXPECT_TRUE(mentions(result.out, " 16  Chorus/Phaser      Phaser ")) << "program 47's own value: " << result.out;
}

TEST_F(RenderMessages, QuietBenchAndReports)
{
    write("in.wav", monoAudio(44100, sine(44100, 220.0, 0.1, 0.2)));
    ToolRun result = run({"--tail", "0", "in.wav", "loud.wav"});
    EXPECT_EQ(result.status, 0);
    EXPECT_TRUE(mentions(result.err, "wrote loud.wav")) << result.err;
    EXPECT_FALSE(mentions(result.err, "\r")) << "no progress bar when standard error is not a terminal";

    result = run({"-q", "--tail", "0", "in.wav", "quiet.wav"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out, "");

    result = run({"-q", "--bench", "--tail", "0", "in.wav", "bench.wav"});
    EXPECT_EQ(result.status, 0);
    EXPECT_TRUE(mentions(result.out, "realtime factor: ")) << result.out;

    // Output beyond full scale is clipped in 24-bit files, and the user is told. Switched
    // off, the plug-in passes the sum of its inputs: a mono 0.8 sine peaks at 1.6.
    write("hot.wav", monoAudio(44100, sine(44100, 220.0, 0.1, 0.8)));
    result = run({"--set", "Power=0", "--tail", "0", "hot.wav", "clipped.wav"});
    EXPECT_EQ(result.status, 0);
    EXPECT_TRUE(mentions(result.err, "clipped.wav: ")) << result.err;
    EXPECT_TRUE(mentions(result.err, "samples clipped")) << result.err;
    float peak = 0.0f;
    for (float v : read("clipped.wav").samples)
        peak = std::max(peak, std::fabs(v));
    EXPECT_LE(peak, 1.0f);
    EXPECT_GT(peak, 0.99f);
    result = run({"--set", "Power=0", "--tail", "0", "--float", "hot.wav", "float.wav"});
    EXPECT_FALSE(mentions(result.err, "clipped")) << "float files keep every value: " << result.err;
}
