#include "live/CabinetChoice.h"

#include <strings.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "host/PluginFacts.h"
#include "live/Paths.h"

namespace live {

namespace {

// The extensions of the audio formats libsndfile reads (the menu lists only these; a file
// libsndfile cannot read after all is refused with the reason when chosen).
constexpr const char* kAudioExtensions[] = {"wav", "wave", "aif", "aiff", "aifc", "flac", "ogg", "oga",
                                            "opus", "caf", "w64", "rf64", "au", "snd", "mp3"};

bool isAudioFile(const std::string& file)
{
    const std::size_t dot = file.find_last_of('.');
    if (dot == std::string::npos || dot == 0)
        return false;
    for (const char* extension : kAudioExtensions)
        if (strcasecmp(file.c_str() + dot + 1, extension) == 0)
            return true;
    return false;
}

std::string fileName(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A path that still names the file when the program is started from another folder, in
// one spelling (no "//", "/./" or "/../", no slash at the end), so that the file playing
// is found among the folder's.
std::string absolute(const std::string& path)
{
    std::error_code error;
    const std::filesystem::path full = std::filesystem::absolute(path, error);
    if (error)
        return path;
    std::string normal = full.lexically_normal().string();
    while (normal.size() > 1 && normal.back() == '/')
        normal.pop_back();
    return normal;
}

bool isReady(const std::future<CabinetFile>& f)
{
    return f.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
}

}  // namespace

CabinetChoice::CabinetChoice(PluginHost& plugin, std::string folder, Report report)
    : plugin_(plugin), folder_(folder.empty() ? folder : absolute(folder)), report_(std::move(report))
{
}

CabinetChoice::~CabinetChoice() = default;  // the futures wait for their threads

void CabinetChoice::rescan()
{
    files_ = filesIn(folder_, isAudioFile);
    sortNames(files_);
}

std::string CabinetChoice::name() const { return path_.empty() ? kOwnName : fileName(path_); }

std::string CabinetChoice::staysText() const
{
    return "the cabinet stays " + (path_.empty() ? std::string("the program's own") : name());
}

void CabinetChoice::useNow(const std::string& path)
{
    abandonPending();
    const std::string full = absolute(path);
    if (!play(readCabinetFile(full), full, "the program's own cabinet plays") && !path_.empty())
        useOwn();
}

void CabinetChoice::choose(const std::string& path)
{
    abandonPending();
    pendingPath_ = absolute(path);
    try {
        pending_ = std::async(std::launch::async, readCabinetFile, pendingPath_);
    } catch (const std::system_error&) {  // no thread to be had: read it here
        play(readCabinetFile(pendingPath_), pendingPath_, staysText());
    }
}

void CabinetChoice::useOwn()
{
    abandonPending();
    if (!send({})) {
        report_("the plug-in did not give its own cabinet back", true);
        return;
    }
    const bool changed = !path_.empty();
    path_.clear();
    if (changed)
        report_("cabinet: the program's own", false);
}

void CabinetChoice::poll()
{
    for (auto it = abandoned_.begin(); it != abandoned_.end();)
        it = isReady(*it) ? abandoned_.erase(it) : it + 1;
    if (!pending_.valid() || !isReady(pending_))
        return;
    play(pending_.get(), pendingPath_, staysText());
}

bool CabinetChoice::play(const CabinetFile& file, const std::string& path, const std::string& otherwise)
{
    if (!file.ok()) {
        report_("cabinet " + file.error + "; " + otherwise, true);
        return false;
    }
    if (!send(file.taps)) {
        report_("cabinet " + path + ": the plug-in did not take the impulse response; " + otherwise, true);
        return false;
    }
    path_ = path;
    char gain[32] = "";
    if (gainDb_ != 0.0)
        std::snprintf(gain, sizeof gain, "; %+.1f dB", gainDb_);
    report_("cabinet " + fileName(path) + ": " + file.description() + gain, false);
    return true;
}

bool CabinetChoice::send(const std::vector<float>& taps) { return sendCabinetResponse(plugin_, taps, gainDb_); }

void CabinetChoice::abandonPending()
{
    if (pending_.valid())
        abandoned_.push_back(std::move(pending_));
    pendingPath_.clear();
}

}  // namespace live
