// Every block's n-sample process gives the same samples in pieces of any length as in one
// call, its state carried from one call to the next (and so also as one call per sample);
// the oscillator-driven blocks also as their per-sample calls. (The engine, which runs its
// chain stage by stage over pieces of a block, is held to its per-sample model for host
// blocks of every length in the processing chain's tests.)

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>
#include <vector>

#include "dsp/AmpEngine.h"

namespace {

std::vector<float> guitarLike(size_t frames, float peak)
{
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    std::vector<float> x(frames);
    float tone = 0.0f;
    for (size_t i = 0; i < frames; ++i) {
        tone += 0.05f * (u(rng) - tone);
        // Bursts and gaps, so that gates open and close and limiters act.
        const float envelope = (i / 3000) % 3 == 2 ? 0.0f : 1.0f;
        x[i] = peak * envelope * (0.8f * std::sin(0.02f * static_cast<float>(i)) + 0.2f * tone);
    }
    return x;
}

// Random piece lengths from 1 to 300, so that pieces straddle every internal boundary.
std::vector<int> pieceLengths(size_t frames)
{
    std::mt19937 rng(5);
    std::uniform_int_distribution<int> length(1, 300);
    std::vector<int> lengths;
    for (size_t done = 0; done < frames;) {
        const int n = std::min(length(rng), static_cast<int>(frames - done));
        lengths.push_back(n);
        done += static_cast<size_t>(n);
    }
    return lengths;
}

// Runs `whole` over all of `in` in one call and `inPieces` on the same signal in pieces,
// in place (two instances of a block), and expects identical output.
void expectPiecesEqualOneCall(const char* name, const std::vector<float>& in,
                              const std::function<void(float*, int)>& whole,
                              const std::function<void(float*, int)>& inPieces)
{
    std::vector<float> expected = in;
    whole(expected.data(), static_cast<int>(expected.size()));
    std::vector<float> pieces = in;
    size_t start = 0;
    for (int n : pieceLengths(in.size())) {
        inPieces(pieces.data() + start, n);
        start += static_cast<size_t>(n);
    }
    for (size_t i = 0; i < in.size(); ++i)
        ASSERT_EQ(pieces[i], expected[i]) << name << " sample " << i;
}

// The same against one call per sample.
void expectPiecesEqualSamples(const char* name, const std::vector<float>& in,
                              const std::function<float(float)>& perSample,
                              const std::function<void(float*, int)>& inPieces)
{
    expectPiecesEqualOneCall(
        name, in,
        [&](float* x, int n) {
            for (int i = 0; i < n; ++i)
                x[i] = perSample(x[i]);
        },
        inPieces);
}

}  // namespace

TEST(BlockProcessing, FiltersAndShapersInPiecesEqualSampleBySample)
{
    const std::vector<float> in = guitarLike(20000, 0.8f);
    {
        ToneStack a(44100), b(44100);
        for (ToneStack* t : {&a, &b}) {
            t->setBass(0.9f);
            t->setMiddle(0.2f);
            t->setTreble(0.7f);
            t->setVoicing(500.0f, 1.0f, true);
        }
        expectPiecesEqualOneCall("tone stack", in, [&](float* x, int n) { a.process(0, x, n); },
                                 [&](float* x, int n) { b.process(0, x, n); });
    }
    {
        PresenceFilter a, b;
        a.setPresence(0.3f);
        b.setPresence(0.3f);
        expectPiecesEqualOneCall("presence", in, [&](float* x, int n) { a.process(0, 0.0f, x, n); },
                                 [&](float* x, int n) { b.process(0, 0.0f, x, n); });
    }
    {
        ParametricEQ a, b;
        for (ParametricEQ* e : {&a, &b}) {
            e->setEnabled(1);
            for (int band = 0; band < ParametricEQ::kNumBands; ++band)
                e->designBandFromSettings(band, 44100.0f, 0.2f + 0.3f * band, 0.4f, 0.5f);
        }
        expectPiecesEqualOneCall("equaliser", in, [&](float* x, int n) { a.process(x, n); },
                                 [&](float* x, int n) { b.process(x, n); });
    }
    {
        DriveStage a(44100.0f), b(44100.0f);
        a.setDrive(0.8f);
        b.setDrive(0.8f);
        expectPiecesEqualOneCall("drive", in, [&](float* x, int n) { a.process(x, n); },
                                 [&](float* x, int n) { b.process(x, n); });
    }
    {
        const InputShaper shaper;
        expectPiecesEqualSamples("shaper", in, [&](float x) { return shaper.process(x); },
                                 [&](float* x, int n) { shaper.process(x, n); });
    }
    {
        OutputLimiter a(44100), b(44100);
        const std::vector<float> loud = guitarLike(20000, 4.0f);  // well into limiting
        expectPiecesEqualOneCall("limiter", loud, [&](float* x, int n) { a.process(x, n); },
                                 [&](float* x, int n) { b.process(x, n); });
    }
}

TEST(BlockProcessing, DynamicsInPiecesEqualSampleBySampleWithTheLastMeterReading)
{
    const std::vector<float> in = guitarLike(30000, 0.6f);
    NoiseGate gateA(44100), gateB(44100);
    Compressor compA(44100), compB(44100);
    for (NoiseGate* g : {&gateA, &gateB}) {
        g->setThreshold(0.45f);
        g->setAttack(0.02f);
        g->setRelease(0.05f);
        g->setHold(0.01f);
        g->setRange(0.8f);
    }
    for (Compressor* c : {&compA, &compB}) {
        c->setThreshold(0.6f);
        c->setAttack(Compressor::kAttackMinMs, Compressor::kAttackMaxMs, 0.1f);
        c->setRelease(Compressor::kReleaseMinMs, Compressor::kReleaseMaxMs, 0.2f);
        c->setRatio(Compressor::kRatioMin, Compressor::kRatioMax, 0.7f);
        c->setMakeup(0.6f);
    }
    float meterA[2] = {}, meterB[2] = {};
    expectPiecesEqualOneCall(
        "gate then compressor", in,
        [&](float* x, int n) {
            meterA[0] = gateA.process(x, n);
            meterA[1] = compA.process(0, x, n);
        },
        [&](float* x, int n) {
            meterB[0] = gateB.process(x, n);
            meterB[1] = compB.process(0, x, n);
        });
    EXPECT_EQ(meterB[0], meterA[0]);
    EXPECT_EQ(meterB[1], meterA[1]);
    EXPECT_EQ(gateB.getState(), gateA.getState());
    EXPECT_EQ(compB.getEnvelope(0), compA.getEnvelope(0));
}

TEST(BlockProcessing, ModulationAndDelaysInPiecesEqualSampleBySample)
{
    const std::vector<float> in = guitarLike(30000, 0.5f);
    {
        Chorus a(44100), b(44100);
        for (Chorus* c : {&a, &b}) {
            c->setSpeed(0.6f);
            c->setDepth(0.7f);
        }
        expectPiecesEqualSamples("chorus", in, [&](float x) { float y; a.process(x, &y); return y; },
                                 [&](float* x, int n) { b.process(x, x, n); });
    }
    {
        Phaser a(44100), b(44100);
        for (Phaser* p : {&a, &b}) {
            p->setSpeed(0.5f);
            p->setFeedback(0.8f);
        }
        expectPiecesEqualSamples("phaser", in, [&](float x) { return a.process(x); },
                                 [&](float* x, int n) { b.process(x, x, n); });
    }
    {
        LFO a(44100), b(44100);
        for (LFO* l : {&a, &b}) {
            l->setRate(0.9f);
            l->setShape(2.0f);
            l->setDepth(0.8f);
        }
        expectPiecesEqualOneCall("oscillator", in, [&](float* x, int n) { a.next(0, x, n); },
                                 [&](float* x, int n) { b.next(0, x, n); });
    }
    {
        Reverb a, b;
        for (Reverb* r : {&a, &b}) {
            r->setRoomSize(0.8f);
            r->setDamping(1.0f);
            r->setWet(0.1f);
        }
        expectPiecesEqualOneCall("reverb", in, [&](float* x, int n) { a.process(x, x, n); },
                                 [&](float* x, int n) { b.process(x, x, n); });
    }
    {
        // Both taps of the delay and both sides of the imager: the pieces write the second
        // output into a buffer of their own.
        StereoDelay delayA(44100), delayB(44100);
        Imager imagerA(44100), imagerB(44100);
        for (StereoDelay* d : {&delayA, &delayB}) {
            d->setSpeed(0.01f);
            d->setSustain(0.7f);
            d->setMix(0.5f);
        }
        imagerA.setWidth(0.8f);
        imagerB.setWidth(0.8f);
        auto delayAndImager = [](StereoDelay& delay, Imager& imager, float* x, float* right, int n) {
            delay.process(x, x, right, n);
            imager.process(x, right, x, right, n, 256);
            for (int i = 0; i < n; ++i)
                x[i] = x[i] + 0.5f * right[i];
        };
        std::vector<float> secondA(in.size()), secondB(in.size());
        size_t offset = 0;
        expectPiecesEqualOneCall(
            "delay and imager", in, [&](float* x, int n) { delayAndImager(delayA, imagerA, x, secondA.data(), n); },
            [&](float* x, int n) {
                delayAndImager(delayB, imagerB, x, secondB.data() + offset, n);
                offset += static_cast<size_t>(n);
            });
    }
}
