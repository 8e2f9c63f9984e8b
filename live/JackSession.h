#pragma once
// Korvalex Live's JACK client: a guitar input, two outputs and a MIDI input; the process
// callback that hands the audio to the AudioPath and the Program and Control Changes to
// the main thread; and what the status line shows (sample rate, buffer size, latencies,
// DSP load, xruns). JACK's notifications only set atomics that the main thread reads.

#include <jack/jack.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "live/LiveController.h"
#include "live/SpscQueue.h"

namespace live {

class AudioPath;

// Our ports, by their short names.
enum class Port { GuitarIn, OutLeft, OutRight, MidiIn, Count };
const char* portName(Port port);

class JackSession {
public:
    // Opens the client without starting a server. Null with `error` set when that fails;
    // `noServer` then tells whether no server was running at all.
    static std::unique_ptr<JackSession> open(const std::string& clientName, const std::string& serverName,
                                             AudioPath& audio, std::string& error, bool& noServer);
    ~JackSession();  // deactivates and closes the client

    JackSession(const JackSession&) = delete;
    JackSession& operator=(const JackSession&) = delete;

    std::string clientName() const;
    jack_client_t* clientHandle() const { return client_; }
    uint32_t sampleRate() const { return sampleRate_.load(); }
    uint32_t bufferSize() const { return bufferSize_.load(); }
    bool activate(std::string& error);

    // Connections, by full port names ("system:capture_1"). False with `error` set.
    bool connect(Port port, const std::string& peer, std::string& error);
    std::vector<std::string> connections(Port port) const;
    bool portExists(const std::string& name) const;
    // The physical ports of the type the port connects to (capture for inputs, playback
    // for outputs), in the server's order.
    std::vector<std::string> physicalPeers(Port port) const;

    // Main thread: the next MIDI message of interest, if any.
    bool nextMidiMessage(MidiMessage& message) { return midi_.pop(message); }

    float dspLoad() const;
    uint32_t xruns() const { return xruns_.load(); }
    // Frames from the physical input to our input, and from our outputs to the physical
    // outputs (the largest of the two), as JACK reports them.
    uint32_t captureLatency() const;
    uint32_t playbackLatency() const;
    // What the plug-in adds, told to JACK so that other clients can compensate for it.
    void setPluginLatency(uint32_t frames);

    // Set when the server shut us down (or went away), with its reason.
    bool serverGone() const { return gone_.load(); }
    std::string goneReason() const;
    // A new buffer size or sample rate not yet given to the plug-in (0: none).
    uint32_t takeNewBufferSize() { return newBufferSize_.exchange(0); }
    uint32_t takeNewSampleRate() { return newSampleRate_.exchange(0); }

private:
    JackSession(jack_client_t* client, AudioPath& audio);
    bool registerPorts(std::string& error);

    static int onProcess(jack_nframes_t frames, void* self);
    static int onBufferSize(jack_nframes_t frames, void* self);
    static int onSampleRate(jack_nframes_t rate, void* self);
    static int onXrun(void* self);
    static void onLatency(jack_latency_callback_mode_t mode, void* self);
    static void onShutdown(jack_status_t code, const char* reason, void* self);
    int process(jack_nframes_t frames);

    jack_client_t* client_;
    AudioPath& audio_;
    jack_port_t* ports_[static_cast<int>(Port::Count)] = {};
    SpscQueue<MidiMessage, 1024> midi_;
    std::atomic<uint32_t> sampleRate_{0};
    std::atomic<uint32_t> bufferSize_{0};
    std::atomic<uint32_t> newBufferSize_{0};
    std::atomic<uint32_t> newSampleRate_{0};
    std::atomic<uint32_t> xruns_{0};
    std::atomic<uint32_t> pluginLatency_{0};
    std::atomic<bool> gone_{false};
    char goneReason_[256] = {};
    bool active_ = false;
};

}  // namespace live
