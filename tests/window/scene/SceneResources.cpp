// The scene's bitmap compiled into the binary (the Windows test plug-in takes it from its
// bitmap resources instead).

#include "gui/Resources.h"
#include "tests/window/scene/TestScene.h"

namespace {

const unsigned char kSceneBitmap[] = {
#include "SceneBitmap.inc"
};

}  // namespace

bool gui::findBitmapResource(int32_t id, ResourceData& out)
{
    if (id != scene::kBitmapId)
        return false;
    out.bytes = kSceneBitmap;
    out.size = sizeof kSceneBitmap;
    out.withFileHeader = true;
    return true;
}
