#pragma once
// The cabinet the sound plays through: the program's own (the plug-in's stored responses,
// as its Amplifier and Bank choose them) or an impulse-response file of the user's, in
// place of them whatever program plays. A file is read and prepared by irfile/ on a thread
// of its own, so that the window and MIDI go on meanwhile, and handed to the plug-in
// through its private request (vst/KorvalexRequests.h) on the main thread; the plug-in
// copies it and hands it to its audio side itself. The plug-in does not keep the file in
// its state, so Korvalex Live keeps the choice and sends it again at the next start.
//
// The menu offers the audio files in the cabinet folder, read again whenever asked.

#include <functional>
#include <future>
#include <string>
#include <vector>

#include "irfile/CabinetFile.h"

class PluginHost;

namespace live {

class CabinetChoice {
public:
    // Messages for the user: what was done, or (error true) what could not be.
    using Report = std::function<void(const std::string& text, bool error)>;

    static constexpr const char* kOwnName = "Program's own";

    CabinetChoice(PluginHost& plugin, std::string folder, Report report);
    ~CabinetChoice();  // waits for a file being read

    CabinetChoice(const CabinetChoice&) = delete;
    CabinetChoice& operator=(const CabinetChoice&) = delete;

    const std::string& folder() const { return folder_; }
    // Reads the folder again: the files with the extensions of audio formats libsndfile
    // reads, sorted by name with letter case ignored.
    void rescan();
    const std::vector<std::string>& files() const { return files_; }

    // The file playing (an absolute path), or empty for the program's own cabinet.
    const std::string& path() const { return path_; }
    // "Program's own" or the file's name.
    std::string name() const;
    // The level on top of the match to the program's own cabinet, for every file played.
    double gainDb() const { return gainDb_; }
    void setGainDb(double db) { gainDb_ = db; }

    // Reads the file and plays it before answering (at the start, before any sound). A file
    // that cannot be used is reported, and the program's own cabinet plays.
    void useNow(const std::string& path);
    // Reads the file in the background; poll() plays it once it is read. A file that cannot
    // be used is reported and changes nothing. A later choice replaces one still being read.
    void choose(const std::string& path);
    void useOwn();
    // Hands a file read meanwhile to the plug-in. Main loop.
    void poll();
    bool reading() const { return pending_.valid(); }

private:
    // Hands the taps to the plug-in (none: its own cabinet); false when it refused them.
    bool send(const std::vector<float>& taps);
    // Plays a file read, or reports why it cannot and what plays instead (`otherwise`).
    bool play(const CabinetFile& file, const std::string& path, const std::string& otherwise);
    void abandonPending();
    std::string staysText() const;

    PluginHost& plugin_;
    std::string folder_;
    Report report_;
    std::vector<std::string> files_;
    std::string path_;
    double gainDb_ = 0.0;
    std::future<CabinetFile> pending_;
    std::string pendingPath_;
    std::vector<std::future<CabinetFile>> abandoned_;  // replaced while being read: let finish
};

}  // namespace live
