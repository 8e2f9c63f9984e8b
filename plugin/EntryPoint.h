#pragma once
// The plug-in's entry function: what the module's exported VSTPluginMain (and main) runs.
// A program that carries the plug-in inside itself (Korvalex Live) calls it directly, with a
// host callback of its own, as a host calls the exported entry point of the file.

#include "vst/vst2.h"

// Asks the host for its version and builds one plug-in instance; null when the host
// reports version 0 or the instance cannot be built. Never throws.
AEffect* VSTCALLBACK korvalexPluginMain(audioMasterCallback host);
