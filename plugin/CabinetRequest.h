#pragma once
// The plug-in's side of the private cabinet request (vst/KorvalexRequests.h).

#include "vst/vst2.h"

class AmpEngine;

bool isCabinetRequest(VstInt32 index, VstIntPtr value);
// Checks the request that `ptr` points to, prepares the response on the calling thread and
// hands it to the engine. Answers 1 when taken, 0 (and nothing changes) when malformed.
VstIntPtr answerCabinetRequest(AmpEngine& engine, const void* ptr);
