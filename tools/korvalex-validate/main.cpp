// korvalex-validate: loads a VST 2.4 plug-in file through the project's host library and
// abuses it the way buggy hosts and restless users do, then reports what went wrong.
//
// usage: korvalex-validate [options] PLUGIN
// exit status: 0 no findings, 1 findings (or a crash), 2 usage error

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "tools/korvalex-validate/Checks.h"

namespace {

constexpr int kPass = 0;
constexpr int kFindings = 1;
constexpr int kUsage = 2;

void usage(FILE* to)
{
    std::fprintf(to,
                 "usage: korvalex-validate [options] PLUGIN\n"
                 "\n"
                 "Loads the VST 2.4 plug-in file PLUGIN and abuses it: every dispatcher opcode with\n"
                 "arguments in and out of contract, guarded text buffers, random parameter values\n"
                 "(NaN, infinities, outside 0..1) between blocks of every length and buffer layout,\n"
                 "program, sample-rate, block-size and mains changes, non-finite input, many\n"
                 "instances on several threads, determinism, and parameter and sample-rate\n"
                 "changes racing the audio thread.\n"
                 "\n"
                 "options:\n"
                 "  --seed N            random seed (default 20240611)\n"
                 "  --iterations N      random actions of the abuse session (default 100000);\n"
                 "                      the other checks grow with it\n"
                 "  --threads N         threads creating instances at once (default 4)\n"
                 "  --instances N       instances per instance check (default 24)\n"
                 "  --recovery N        samples of non-finite output allowed after bad input\n"
                 "                      (default 132300, 3 s at 44.1 kHz)\n"
                 "  --entry NAME        entry point (default VSTPluginMain)\n"
                 "  --only NAME[,NAME]  run only the named checks\n"
                 "  --list              list the checks\n"
                 "  --trace             print every call into the plug-in on standard error\n"
                 "  -v, --verbose       print every finding, not only the first %zu of each check\n"
                 "  -h, --help          this text\n"
                 "\n"
                 "exit status: 0 no findings, 1 findings or a crash, 2 usage error\n",
                 Check::kMaxKept);
}

bool parseNumber(const char* text, long long& out, long long minimum)
{
    char* end = nullptr;
    const long long value = std::strtoll(text, &end, 0);
    if (!text[0] || *end || value < minimum)
        return false;
    out = value;
    return true;
}

struct CheckEntry {
    const char* name;
    std::function<void(const Options&, Check&)> run;
};

const std::vector<CheckEntry>& allChecks()
{
    static const std::vector<CheckEntry> checks = {
        {"load", checkLoad},           {"opcodes", checkOpcodes},
        {"texts", checkTexts},         {"setup", checkSetup},
        {"abuse", checkAbuse},         {"recovery", checkRecovery},
        {"layouts", checkLayouts},     {"determinism", checkDeterminism},
        {"instances", checkInstances}, {"race", checkRace},
    };
    return checks;
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    std::vector<std::string> only;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](long long& out, long long minimum) {
            if (i + 1 >= argc || !parseNumber(argv[i + 1], out, minimum)) {
                std::fprintf(stderr, "korvalex-validate: %s needs a number of at least %lld\n", arg.c_str(), minimum);
                std::exit(kUsage);
            }
            ++i;
        };
        long long n = 0;
        if (arg == "-h" || arg == "--help") {
            usage(stdout);
            return kPass;
        } else if (arg == "--list") {
            for (const CheckEntry& c : allChecks())
                std::printf("%s\n", c.name);
            return kPass;
        } else if (arg == "--seed") {
            value(n, 0);
            options.seed = static_cast<std::uint64_t>(n);
        } else if (arg == "--iterations") {
            value(n, 0);
            options.iterations = static_cast<long>(n);
        } else if (arg == "--threads") {
            value(n, 1);
            options.threads = static_cast<int>(std::min(n, 64LL));
        } else if (arg == "--instances") {
            value(n, 1);
            options.instances = static_cast<int>(std::min(n, 4096LL));
        } else if (arg == "--recovery") {
            value(n, 0);
            options.recoverySamples = static_cast<long>(n);
        } else if (arg == "--entry") {
            if (++i >= argc) {
                std::fprintf(stderr, "korvalex-validate: --entry needs a name\n");
                return kUsage;
            }
            options.entryPoint = argv[i];
        } else if (arg == "--only") {
            if (++i >= argc) {
                std::fprintf(stderr, "korvalex-validate: --only needs check names\n");
                return kUsage;
            }
            std::string list = argv[i];
            for (std::size_t start = 0; start <= list.size();) {
                const std::size_t comma = std::min(list.find(',', start), list.size());
                only.push_back(list.substr(start, comma - start));
                start = comma + 1;
            }
        } else if (arg == "--trace") {
            options.trace = true;
        } else if (arg == "-v" || arg == "--verbose") {
            options.verbose = true;
        } else if (!arg.empty() && arg[0] == '-') {
            std::fprintf(stderr, "korvalex-validate: unknown option %s\n\n", arg.c_str());
            usage(stderr);
            return kUsage;
        } else if (options.pluginPath.empty()) {
            options.pluginPath = arg;
        } else {
            std::fprintf(stderr, "korvalex-validate: one plug-in file at a time\n");
            return kUsage;
        }
    }
    if (options.pluginPath.empty()) {
        usage(stderr);
        return kUsage;
    }
    if (!std::ifstream(options.pluginPath)) {
        std::fprintf(stderr, "korvalex-validate: cannot read %s\n", options.pluginPath.c_str());
        return kUsage;
    }
    for (const std::string& name : only) {
        bool known = false;
        for (const CheckEntry& c : allChecks())
            known = known || name == c.name;
        if (!known) {
            std::fprintf(stderr, "korvalex-validate: no check named \"%s\" (see --list)\n", name.c_str());
            return kUsage;
        }
    }

    installCrashHandler();
    setTracing(options.trace);
    std::printf("korvalex-validate %s\n  seed %llu, %ld iterations, %d threads, %d instances, recovery allowance "
                "%ld samples\n\n",
                options.pluginPath.c_str(), static_cast<unsigned long long>(options.seed), options.iterations,
                options.threads, options.instances, options.recoverySamples);
    std::fflush(stdout);

    std::size_t total = 0;
    int failedChecks = 0;
    for (const CheckEntry& entry : allChecks()) {
        if (!only.empty() && std::find(only.begin(), only.end(), entry.name) == only.end())
            continue;
        Check check(entry.name, options.verbose ? static_cast<std::size_t>(-1) : Check::kMaxKept);
        setCurrentCheck(entry.name);
        const std::uint64_t callsBefore = callCount();
        const long reportsBefore = sanitizerReportCount();
        try {
            entry.run(options, check);
        } catch (const std::exception& e) {
            check.finding(std::string("exception: ") + e.what());
        }
        const long reports = sanitizerReportCount() - reportsBefore;
        if (reports > 0)
            check.finding(format("%ld sanitizer report%s (printed above)", reports, reports == 1 ? "" : "s"));
        const std::size_t found = check.findingCount();
        total += found;
        failedChecks += found ? 1 : 0;
        std::printf("[%s] %-12s %llu calls", found ? "FAIL" : "pass", entry.name,
                    static_cast<unsigned long long>(callCount() - callsBefore));
        if (found)
            std::printf(", %zu finding%s", found, found == 1 ? "" : "s");
        std::printf("\n");
        for (const std::string& note : check.notes())
            std::printf("       %s\n", note.c_str());
        const std::vector<std::string> findings = check.findings();
        for (const std::string& f : findings)
            std::printf("     - %s\n", f.c_str());
        if (found > findings.size())
            std::printf("     ... and %zu more\n", found - findings.size());
        std::fflush(stdout);
    }

    std::printf("\n%llu calls into the plug-in\n", static_cast<unsigned long long>(callCount()));
    if (total == 0) {
        std::printf("result: PASS\n");
        return kPass;
    }
    std::printf("result: FAIL (%zu finding%s in %d check%s)\n", total, total == 1 ? "" : "s", failedChecks,
                failedChecks == 1 ? "" : "s");
    return kFindings;
}
