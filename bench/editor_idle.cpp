// What the open front panel costs the host's user-interface thread: the plug-in with its
// editor open (headless window layer), audio moving the compressor meter and the gate lamp,
// and the editor idled 30 times a second, at 100, 150 and 200 % (the host's content scale).
// Reports the thread's CPU time per idle, its share of the idle period, the area presented
// per idle against the whole panel, the cost against an idle that redraws the whole panel,
// and against the same case at 100 %. Ratios, never pass/fail.
//
// usage: korvalex-idle-bench [SECONDS]   (default 20 seconds of audio)

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "gui/Scale.h"

#include "editor/CZarelEditor.h"
#include "gui/platform/headless/HeadlessWindow.h"
#include "plugin/CZarelVST.h"

namespace {

constexpr double kRate = 44100.0;
constexpr int kIdleRate = 30;
constexpr int kFramesPerIdle = static_cast<int>(kRate) / kIdleRate;
constexpr int kZooms[] = {100, 150, 200};

double threadCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

VstIntPtr hostCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
{
    return opcode == audioMasterVersion ? 2400 : 0;
}

// Plucked notes with pauses: the compressor pumps and the gate opens and closes.
void fillGuitar(std::vector<float>& buffer, long& position)
{
    for (float& sample : buffer) {
        const long inNote = position % 22050;
        const double envelope = inNote < 15000 ? std::exp(-double(inNote) / 4000.0) : 0.0;
        sample = static_cast<float>(0.6 * envelope * std::sin(2.0 * 3.14159265 * 110.0 * double(position) / kRate));
        ++position;
    }
}

struct Result {
    double cpuPerIdle = 0.0;     // seconds
    double presentedShare = 0.0;  // of the panel's pixels, per idle
};

Result run(double seconds, bool effectsPage, bool wholePanelEachIdle, int zoom)
{
    CZarelVST* plugin = CZarelVST::create(hostCallback);
    AEffect* effect = plugin->getAeffect();
    effect->dispatcher(effect, effVendorSpecific, 0x50726553, 0x41654373, nullptr, float(zoom) / 100.0f);  // 'PreS' 'AeCs'
    const gui::Scale scale(zoom);
    const double panelPixels = double(scale.toDeviceX(899)) * double(scale.toDeviceY(421));
    plugin->setProgram(58);
    plugin->setParameter(25, 1.0f);  // compressor on, low threshold: the meter moves
    plugin->setParameter(29, 0.2f);
    plugin->setParameter(32, 1.0f);  // gate on: the lamp moves
    plugin->setParameter(52, effectsPage ? 1.0f : 0.0f);
    int parent = 0;
    effect->dispatcher(effect, effEditOpen, 0, 0, &parent, 0.0f);
    auto* window = gui::platform::headless::HeadlessWindow::latest();
    window->paint(window->surface().bounds());
    auto* editor = static_cast<CZarelEditor*>(plugin->getEditor());

    std::vector<float> in(kFramesPerIdle), outLeft(kFramesPerIdle), outRight(kFramesPerIdle);
    float* inputs[2] = {in.data(), in.data()};
    float* outputs[2] = {outLeft.data(), outRight.data()};
    long position = 0;
    const int idles = static_cast<int>(seconds * kIdleRate);
    double cpu = 0.0, presented = 0.0;
    for (int i = 0; i < idles; ++i) {
        fillGuitar(in, position);
        plugin->processReplacing(inputs, outputs, kFramesPerIdle);
        window->clearPresented();
        if (wholePanelEachIdle)
            editor->getFrame()->setDirty(true);
        const double start = threadCpuSeconds();
        effect->dispatcher(effect, effEditIdle, 0, 0, nullptr, 0.0f);
        cpu += threadCpuSeconds() - start;
        for (const CRect& r : window->presented())
            presented += double(r.width()) * double(r.height());
    }
    effect->dispatcher(effect, effEditClose, 0, 0, nullptr, 0.0f);
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    return Result{cpu / idles, presented / idles / panelPixels};
}

}  // namespace

int main(int argc, char** argv)
{
    const double seconds = argc > 1 ? std::atof(argv[1]) : 20.0;
    if (!(seconds > 0.0)) {
        std::fprintf(stderr, "usage: korvalex-idle-bench [SECONDS]\n");
        return 2;
    }
    // A zoom the user chose on their own panel would take the place of the host's.
    setenv("XDG_CONFIG_HOME", "/nonexistent/korvalex-idle-bench", 1);
    std::printf("front panel open, audio moving the meters, %d idles a second, %.0f s\n\n", kIdleRate, seconds);
    std::printf("%-34s %5s %12s %14s %16s %16s %10s\n", "case", "zoom", "us per idle", "of the period",
                "area presented", "vs whole panel", "vs 100 %");
    for (bool effectsPage : {true, false}) {
        const char* name = effectsPage ? "effects page (meters shown)" : "amp page (meters hidden)";
        Result atDesignSize[2];
        for (int zoom : kZooms) {
            const Result results[2] = {run(seconds, effectsPage, false, zoom), run(seconds, effectsPage, true, zoom)};
            for (int whole = 0; whole < 2; ++whole) {
                const Result& r = results[whole];
                if (zoom == 100)
                    atDesignSize[whole] = r;
                std::printf("%-34s %4d%% %12.1f %13.3f%% %15.2f%% %15.3fx %9.2fx\n",
                            whole ? "  the whole panel every idle" : name, zoom, r.cpuPerIdle * 1e6,
                            100.0 * r.cpuPerIdle * kIdleRate, 100.0 * r.presentedShare,
                            r.cpuPerIdle / results[1].cpuPerIdle, r.cpuPerIdle / atDesignSize[whole].cpuPerIdle);
            }
        }
    }
    return 0;
}
