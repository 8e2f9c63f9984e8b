// Hosts automate parameters on one thread while the audio thread processes. Built with
// ThreadSanitizer, this finds any setting shared without an atomic.

#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

#include "dsp/ParameterIndex.h"
#include "tests/e2e/LoadedPlugin.h"

TEST_F(LoadedPlugin, AutomationWhileProcessingStaysFinite)
{
    constexpr int kBlocks = 400;
    constexpr int kFrames = 128;
    std::atomic<bool> done{false};
    std::atomic<unsigned> changes{0};

    std::thread automation([&] {
        for (unsigned step = 0; !done.load(); changes = ++step) {
            const int index = static_cast<int>(step % kNumParameters);
            const float value = static_cast<float>((step * 7919u) % 101u) / 100.0f;
            host->setParameter(index == kPower ? kVolume : index, value);
            if (step % 97 == 0)
                host->setProgram(static_cast<VstIntPtr>(step % kNumPrograms));
        }
    });

    std::vector<float> inLeft(kFrames), inRight(kFrames), outLeft(kFrames), outRight(kFrames);
    bool finite = true;
    // Until the automation has made many changes meanwhile: the two certainly overlap.
    for (int block = 0; block < kBlocks || changes < 5000; ++block) {
        for (int i = 0; i < kFrames; ++i) {
            inLeft[i] = 0.3f * std::sin(0.05f * static_cast<float>(block * kFrames + i));
            inRight[i] = 0.0f;
        }
        float* inputs[2] = {inLeft.data(), inRight.data()};
        float* outputs[2] = {outLeft.data(), outRight.data()};
        host->processReplacing(inputs, outputs, kFrames);
        for (int i = 0; i < kFrames; ++i)
            finite = finite && std::isfinite(outLeft[i]) && std::isfinite(outRight[i]);
        host->getParameter(kCompressorMeterIndex);
        host->getParameter(kGateMeterIndex);
    }
    done = true;
    automation.join();
    EXPECT_TRUE(finite);
}
