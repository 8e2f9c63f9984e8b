// korvalex-compare: shows that two builds of the plug-in sound the same.
//
//   korvalex-compare render [--seconds S] [--block N] [--entry NAME] PLUGIN FOLDER
//   korvalex-compare diff [--tolerance T] REFERENCE_FOLDER TEST_FOLDER
//
// `render` runs the test signal through every factory program of PLUGIN (a fresh instance
// each) and writes the outputs into FOLDER; `diff` compares two such folders program by
// program and exits 1 when any differs by more than the tolerance (relative RMS of the
// difference). Render with the Linux plug-in natively and with the Windows DLLs under
// Wine, then diff the folders.

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/korvalex-compare/CompareRenders.h"

namespace {

void printUsage(std::FILE* out)
{
    std::fprintf(out,
                 "usage: korvalex-compare render [--seconds S] [--block N] [--entry NAME] PLUGIN FOLDER\n"
                 "       korvalex-compare diff [--tolerance T] REFERENCE_FOLDER TEST_FOLDER\n"
                 "render: every factory program of PLUGIN processes a plucked-string test signal;\n"
                 "        FOLDER (which must exist) receives programs.txt and program-NN.f32.\n"
                 "diff:   compares two render folders; exit status 1 when a program differs by\n"
                 "        more than T (relative RMS of the difference, default 1e-5).\n");
}

// Parses a positive number; false when the text is not one.
bool positive(const char* text, double& value)
{
    char* end = nullptr;
    value = std::strtod(text, &end);
    return end != text && *end == '\0' && value > 0.0;
}

int usageError(const std::string& message)
{
    std::fprintf(stderr, "korvalex-compare: %s\n", message.c_str());
    printUsage(stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return usageError("no command");
    const std::string command = argv[1];
    if (command == "-h" || command == "--help") {
        printUsage(stdout);
        return 0;
    }
    if (command != "render" && command != "diff")
        return usageError("unknown command '" + command + "'");

    RenderSettings settings;
    double tolerance = 1e-5;
    std::vector<std::string> operands;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        double value = 0.0;
        if (command == "render" && arg == "--seconds" && hasValue) {
            if (!positive(argv[++i], value))
                return usageError("--seconds needs a positive number");
            settings.seconds = value;
        } else if (command == "render" && arg == "--block" && hasValue) {
            if (!positive(argv[++i], value) || value > 65536.0)
                return usageError("--block needs a positive frame count");
            settings.blockSize = static_cast<int>(value);
        } else if (command == "render" && arg == "--entry" && hasValue) {
            settings.entryPoint = argv[++i];
        } else if (command == "diff" && arg == "--tolerance" && hasValue) {
            if (!positive(argv[++i], value))
                return usageError("--tolerance needs a positive number");
            tolerance = value;
        } else if (!arg.empty() && arg[0] == '-') {
            return usageError("unexpected option '" + arg + "'");
        } else {
            operands.push_back(arg);
        }
    }
    if (operands.size() != 2)
        return usageError(command + " needs two operands");

    if (command == "render") {
        std::string error;
        if (!renderPrograms(operands[0], operands[1], settings, error)) {
            std::fprintf(stderr, "korvalex-compare: %s\n", error.c_str());
            return 1;
        }
        return 0;
    }
    return compareRenderSets(operands[0], operands[1], tolerance, stdout) ? 0 : 1;
}
