#include "live/JackSession.h"

#include <jack/midiport.h>

#include <algorithm>
#include <cerrno>

#include "live/AudioPath.h"

namespace live {

namespace {

constexpr uint8_t kControlChange = 0xB0;
constexpr uint8_t kProgramChange = 0xC0;

// libjack reports every failed attempt to reach a server on standard error; Korvalex Live
// says what went wrong itself.
void quiet(const char*) {}

const char* const kPortNames[] = {"guitar_in", "out_left", "out_right", "midi_in"};

struct PortDescription {
    const char* type;
    unsigned long flags;
};

const PortDescription kPorts[] = {
    {JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput},
    {JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput},
    {JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput},
    {JACK_DEFAULT_MIDI_TYPE, JackPortIsInput},
};

std::vector<std::string> takeNames(const char** names)
{
    std::vector<std::string> list;
    for (const char** n = names; n && *n; ++n)
        list.push_back(*n);
    if (names)
        jack_free(names);
    return list;
}

}  // namespace

const char* portName(Port port) { return kPortNames[static_cast<int>(port)]; }

JackSession::JackSession(jack_client_t* client, AudioPath& audio) : client_(client), audio_(audio) {}

std::unique_ptr<JackSession> JackSession::open(const std::string& clientName, const std::string& serverName,
                                               AudioPath& audio, std::string& error, bool& noServer)
{
    jack_set_error_function(quiet);
    jack_set_info_function(quiet);
    jack_status_t status{};
    const int options = JackNoStartServer | (serverName.empty() ? 0 : JackServerName);
    jack_client_t* client = serverName.empty()
                                ? jack_client_open(clientName.c_str(), static_cast<jack_options_t>(options), &status)
                                : jack_client_open(clientName.c_str(), static_cast<jack_options_t>(options), &status,
                                                   serverName.c_str());
    noServer = !client && (status & JackServerFailed);
    if (!client) {
        error = noServer ? "no JACK server is running" : "the JACK server refused the client \"" + clientName + "\"";
        return nullptr;
    }
    std::unique_ptr<JackSession> session(new JackSession(client, audio));
    session->sampleRate_ = jack_get_sample_rate(client);
    session->bufferSize_ = jack_get_buffer_size(client);
    if (!session->registerPorts(error))
        return nullptr;
    jack_set_process_callback(client, onProcess, session.get());
    jack_set_buffer_size_callback(client, onBufferSize, session.get());
    jack_set_sample_rate_callback(client, onSampleRate, session.get());
    jack_set_xrun_callback(client, onXrun, session.get());
    jack_set_latency_callback(client, onLatency, session.get());
    jack_on_info_shutdown(client, onShutdown, session.get());
    return session;
}

JackSession::~JackSession()
{
    if (active_ && !gone_.load())
        jack_deactivate(client_);
    jack_client_close(client_);
}

bool JackSession::registerPorts(std::string& error)
{
    for (int i = 0; i < static_cast<int>(Port::Count); ++i) {
        ports_[i] = jack_port_register(client_, kPortNames[i], kPorts[i].type, kPorts[i].flags, 0);
        if (!ports_[i]) {
            error = std::string("cannot register the port ") + kPortNames[i];
            return false;
        }
    }
    return true;
}

bool JackSession::activate(std::string& error)
{
    if (jack_activate(client_) != 0) {
        error = "the JACK server did not activate the client";
        return false;
    }
    active_ = true;
    return true;
}

std::string JackSession::clientName() const { return jack_get_client_name(client_); }

bool JackSession::connect(Port port, const std::string& peer, std::string& error)
{
    jack_port_t* ours = ports_[static_cast<int>(port)];
    const bool input = jack_port_flags(ours) & JackPortIsInput;
    const std::string name = jack_port_name(ours);
    const int result = input ? jack_connect(client_, peer.c_str(), name.c_str())
                             : jack_connect(client_, name.c_str(), peer.c_str());
    if (result != 0 && result != EEXIST) {
        error = "cannot connect " + name + (input ? " from " : " to ") + peer +
                (jack_port_by_name(client_, peer.c_str()) ? "" : " (no such port)");
        return false;
    }
    return true;
}

std::vector<std::string> JackSession::connections(Port port) const
{
    return takeNames(jack_port_get_connections(ports_[static_cast<int>(port)]));
}

bool JackSession::portExists(const std::string& name) const
{
    return jack_port_by_name(client_, name.c_str()) != nullptr;
}

std::vector<std::string> JackSession::physicalPeers(Port port) const
{
    const PortDescription& d = kPorts[static_cast<int>(port)];
    const unsigned long direction = (d.flags & JackPortIsInput) ? JackPortIsOutput : JackPortIsInput;
    return takeNames(jack_get_ports(client_, nullptr, d.type, JackPortIsPhysical | direction));
}

float JackSession::dspLoad() const { return jack_cpu_load(client_); }

uint32_t JackSession::captureLatency() const
{
    jack_latency_range_t range{};
    jack_port_get_latency_range(ports_[static_cast<int>(Port::GuitarIn)], JackCaptureLatency, &range);
    return range.max;
}

uint32_t JackSession::playbackLatency() const
{
    uint32_t latency = 0;
    for (Port p : {Port::OutLeft, Port::OutRight}) {
        jack_latency_range_t range{};
        jack_port_get_latency_range(ports_[static_cast<int>(p)], JackPlaybackLatency, &range);
        latency = std::max(latency, range.max);
    }
    return latency;
}

void JackSession::setPluginLatency(uint32_t frames)
{
    if (pluginLatency_.exchange(frames) != frames && active_ && !gone_.load())
        jack_recompute_total_latencies(client_);
}

std::string JackSession::goneReason() const { return gone_.load() ? goneReason_ : ""; }

// ---- callbacks ---------------------------------------------------------------------------

int JackSession::onProcess(jack_nframes_t frames, void* self) { return static_cast<JackSession*>(self)->process(frames); }

int JackSession::process(jack_nframes_t frames)
{
    void* midi = jack_port_get_buffer(ports_[static_cast<int>(Port::MidiIn)], frames);
    const uint32_t events = jack_midi_get_event_count(midi);
    for (uint32_t i = 0; i < events; ++i) {
        jack_midi_event_t event;
        if (jack_midi_event_get(&event, midi, i) != 0 || event.size < 2)
            continue;
        const uint8_t kind = event.buffer[0] & 0xF0;
        if (kind == kProgramChange || (kind == kControlChange && event.size >= 3))
            midi_.push(MidiMessage{event.buffer[0], event.buffer[1], kind == kControlChange ? event.buffer[2] : uint8_t(0)});
    }
    const auto* in = static_cast<const float*>(jack_port_get_buffer(ports_[static_cast<int>(Port::GuitarIn)], frames));
    auto* left = static_cast<float*>(jack_port_get_buffer(ports_[static_cast<int>(Port::OutLeft)], frames));
    auto* right = static_cast<float*>(jack_port_get_buffer(ports_[static_cast<int>(Port::OutRight)], frames));
    audio_.process(in, left, right, frames);
    return 0;
}

int JackSession::onBufferSize(jack_nframes_t frames, void* self)
{
    auto* s = static_cast<JackSession*>(self);
    if (s->bufferSize_.exchange(frames) != frames)
        s->newBufferSize_.store(frames);
    return 0;
}

int JackSession::onSampleRate(jack_nframes_t rate, void* self)
{
    auto* s = static_cast<JackSession*>(self);
    if (s->sampleRate_.exchange(rate) != rate)
        s->newSampleRate_.store(rate);
    return 0;
}

int JackSession::onXrun(void* self)
{
    static_cast<JackSession*>(self)->xruns_.fetch_add(1);
    return 0;
}

// The plug-in's delay lies between our input and our outputs.
void JackSession::onLatency(jack_latency_callback_mode_t mode, void* self)
{
    auto* s = static_cast<JackSession*>(self);
    const uint32_t extra = s->pluginLatency_.load();
    jack_latency_range_t range{};
    if (mode == JackCaptureLatency) {
        jack_port_get_latency_range(s->ports_[static_cast<int>(Port::GuitarIn)], mode, &range);
        range.min += extra;
        range.max += extra;
        for (Port p : {Port::OutLeft, Port::OutRight})
            jack_port_set_latency_range(s->ports_[static_cast<int>(p)], mode, &range);
    } else {
        jack_latency_range_t out{};
        range.min = UINT32_MAX;
        for (Port p : {Port::OutLeft, Port::OutRight}) {
            jack_port_get_latency_range(s->ports_[static_cast<int>(p)], mode, &out);
            range.min = std::min(range.min, out.min);
            range.max = std::max(range.max, out.max);
        }
        range.min += extra;
        range.max += extra;
        jack_port_set_latency_range(s->ports_[static_cast<int>(Port::GuitarIn)], mode, &range);
    }
}

// Runs like a signal handler: it copies the reason and sets the flag, nothing more.
void JackSession::onShutdown(jack_status_t, const char* reason, void* self)
{
    auto* s = static_cast<JackSession*>(self);
    std::size_t i = 0;
    for (; reason && reason[i] && i + 1 < sizeof s->goneReason_; ++i)
        s->goneReason_[i] = reason[i];
    s->goneReason_[i] = 0;
    s->gone_.store(true);
}

}  // namespace live
