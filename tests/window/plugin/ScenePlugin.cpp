// A VST 2.4 effect whose editor shows the window tests' scene (tests/window/scene), for
// proving the window layers through a host. What the scene's views receive is appended to
// the file that KORVALEX_SCENE_REPORT names. Parameter 0 chooses the frame's cursor kind
// (value * 10, rounded); it may be set from any thread and reaches the window at the
// editor's next idle. Parameter 1 above one half makes the editor 40 x 20 pixels larger
// (below, its own size again), also at the next idle. Audio passes through unchanged.

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "gui/CFrame.h"
#include "vst/vst2.h"
#include "tests/window/scene/TestScene.h"

#if defined(_WIN32)
#include "gui/platform/win32/Win32Module.h"
#endif

namespace {

class FileReport : public scene::Report {
public:
    void line(const std::string& text) override
    {
        const char* path = std::getenv("KORVALEX_SCENE_REPORT");
        if (!path || !*path)
            return;
        if (FILE* f = std::fopen(path, "a")) {
            std::fprintf(f, "%s\n", text.c_str());
            std::fclose(f);
        }
    }
};

struct ScenePlugin : CFrameEditor {
    AEffect effect{};
    audioMasterCallback host = nullptr;
    ERect rect{0, 0, scene::kHeight, scene::kWidth};
    CFrame* frame = nullptr;
    FileReport report;
    std::atomic<float> cursorParameter{0.0f};
    std::atomic<float> sizeParameter{0.0f};
    int32_t cursorShown = 0;
    bool larger = false;
    bool reportedGone = false;
    int idles = 0;  // idle requests while the editor is open, reported at close

    ~ScenePlugin() override
    {
        // A host that closes the plug-in with the editor still open: close it here.
        if (frame) {
            report.line("editor closed with the plug-in");
            closeEditor();
        }
    }

    void openEditor(void* parent)
    {
        closeEditor();
        frame = scene::create(parent, this, &report);
        cursorShown = 0;
        idles = 0;
        larger = false;
        reportedGone = false;
        report.line(frame->isOpen() ? "open" : "open failed");
    }

    void closeEditor()
    {
        if (frame)
            frame->release();
        frame = nullptr;
    }

    void idle()
    {
        if (!frame)
            return;
        const auto kind = static_cast<int32_t>(std::lround(cursorParameter.load() * 10.0f));
        if (kind != cursorShown) {
            frame->setCursor(kind);
            cursorShown = kind;
            report.line("cursor " + std::to_string(kind));
        }
        if ((sizeParameter.load() > 0.5f) != larger) {
            larger = !larger;
            const int32_t w = scene::kWidth + (larger ? 40 : 0), h = scene::kHeight + (larger ? 20 : 0);
            report.line("size " + std::to_string(w) + " " + std::to_string(h) + (frame->setSize(w, h) ? "" : " refused"));
        }
        frame->idle();
        if (!frame->isOpen() && !reportedGone) {
            reportedGone = true;
            report.line("window gone");
        }
    }

    // CFrameEditor: the frame's calls while a view follows the mouse.
    void beginEdit(int32_t tag) override { host(&effect, audioMasterBeginEdit, tag, 0, nullptr, 0.0f); }
    void endEdit(int32_t tag) override { host(&effect, audioMasterEndEdit, tag, 0, nullptr, 0.0f); }
    void trackIdle() override
    {
        host(&effect, audioMasterIdle, 0, 0, nullptr, 0.0f);
        if (frame)
            frame->idle();
    }
    bool sizeWindow(int32_t, int32_t) override { return false; }
};

ScenePlugin* of(AEffect* e) { return static_cast<ScenePlugin*>(e->object); }

VstIntPtr VSTCALLBACK dispatcher(AEffect* e, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    ScenePlugin* p = of(e);
    switch (opcode) {
    case effClose:
        delete p;
        return 1;
    case effEditGetRect:
        if (ptr)
            *static_cast<ERect**>(ptr) = &p->rect;
        return 1;
    case effEditOpen:
        p->openEditor(ptr);
        return p->frame && p->frame->isOpen() ? 1 : 0;
    case effEditClose:
        p->closeEditor();
        p->report.line("idles " + std::to_string(p->idles));
        p->report.line("closed");
        return 1;
    case effEditIdle:
        ++p->idles;
        p->idle();
        return 1;
    case effGetEffectName:
    case effGetProductString:
        if (ptr)
            std::strcpy(static_cast<char*>(ptr), "Window Test Scene");
        return 1;
    case effGetVendorString:
        if (ptr)
            std::strcpy(static_cast<char*>(ptr), "Korvalex tests");
        return 1;
    case effGetParamName:
        if (ptr && (index == 0 || index == 1))
            std::strcpy(static_cast<char*>(ptr), index == 0 ? "Cursor" : "Larger");
        return 0;
    default:
        return 0;
    }
}

void VSTCALLBACK processReplacing(AEffect*, float** in, float** out, VstInt32 frames)
{
    for (int c = 0; c < 2; ++c)
        if (in[c] != out[c])
            std::memmove(out[c], in[c], sizeof(float) * size_t(frames));
}

void VSTCALLBACK setParameter(AEffect* e, VstInt32 index, float value)
{
    // The window is touched at the next idle only.
    if (index == 0)
        of(e)->cursorParameter = value;
    else if (index == 1)
        of(e)->sizeParameter = value;
}

float VSTCALLBACK getParameter(AEffect* e, VstInt32 index)
{
    return index == 0 ? of(e)->cursorParameter.load() : (index == 1 ? of(e)->sizeParameter.load() : 0.0f);
}

}  // namespace

extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMain(audioMasterCallback host)
{
    if (!host)
        return nullptr;
    auto* p = new ScenePlugin();
    p->host = host;
    AEffect& e = p->effect;
    e.magic = kEffectMagic;
    e.dispatcher = dispatcher;
    e.setParameter = setParameter;
    e.getParameter = getParameter;
    e.processReplacing = processReplacing;
    e.numPrograms = 0;
    e.numParams = 2;
    e.numInputs = 2;
    e.numOutputs = 2;
    e.flags = effFlagsHasEditor | effFlagsCanReplacing;
    e.object = p;
    e.uniqueID = 0x4B577453;  // 'KWtS'
    e.version = 1;
    return &e;
}

#if defined(_WIN32)
// The module handle: where the bitmap resources are found and the window class belongs.
extern "C" int __stdcall DllMain(void* instance, unsigned long reason, void*)
{
    if (reason == 1)  // the module is attached to the process
        gui::platform::win32::setModuleInstance(instance);
    return 1;
}
#else
asm(".globl main\n\t.type main, @function\n\t.set main, VSTPluginMain\n");
#endif
