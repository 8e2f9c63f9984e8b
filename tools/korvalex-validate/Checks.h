#pragma once
// The validator's checks, in the order they run. Each records findings in its Check;
// a crash ends the run with a report from the crash handler.

#include <memory>
#include <string>

#include "tools/korvalex-validate/TestSignal.h"
#include "tools/korvalex-validate/Validator.h"

// Loading through both entry points, the descriptor record, identity.
void checkLoad(const Options& options, Check& check);
// Every dispatcher opcode 0..79 (and some unknown ones) with indices, values and options
// in and out of contract, null and guarded buffers; getParameter/setParameter at odd indices.
void checkOpcodes(const Options& options, Check& check);
// Parameter names, labels and display texts, program names: guard bytes and termination.
void checkTexts(const Options& options, Check& check);
// Sample rates, block sizes and mains switching followed by every kind of block length.
void checkSetup(const Options& options, Check& check);
// The random abuse session (options.iterations actions).
void checkAbuse(const Options& options, Check& check);
// Non-finite and absurd input, then finite input: how long until the output is finite.
void checkRecovery(const Options& options, Check& check);
// The same calls through separate, in-place, crossed and shared buffers give the same output.
void checkLayouts(const Options& options, Check& check);
// The same calls give the same output: one instance after another, interleaved, on threads.
void checkDeterminism(const Options& options, Check& check);
// Many instances created and destroyed, alive together, and on several threads at once.
void checkInstances(const Options& options, Check& check);
// setParameter and program changes on one thread while another calls processReplacing.
void checkRace(const Options& options, Check& check);

// Loads an instance and starts it, or records why it could not.
std::unique_ptr<Plugin> loadStarted(const Options& options, Check& check, float sampleRate = 44100.0f,
                                    VstIntPtr blockSize = 512);

// Processes one block of guitar-like input through separate buffers and checks that the
// output is finite and nothing past the block was written. Answers false on a finding.
bool processChecked(Plugin& plugin, AudioBuffers& buffers, GuitarSignal& guitar, int frames, Check& check,
                    const std::string& context);
