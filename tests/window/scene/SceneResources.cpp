// The scene's bitmap compiled into the binary (the Windows test plug-in takes it from its
// bitmap resources instead).

#include "gui/Resources.h"
#include "tests/window/scene/TestScene.h"

namespace {

const unsigned char kSceneBitmap[] = {
#include "SceneBitmap.inc"
};

}  // namespace

bool gui::findBitmapResource(int32_t id, int32_t scalePercent, ResourceData& out)
{
    if (id != scene::kBitmapId || scalePercent != 100)
        return false;
    out.bytes = kSceneBitmap;
    out.size = sizeof kSceneBitmap;
    out.withFileHeader = true;
    return true;
}
