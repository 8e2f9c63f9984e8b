// The LV2 UI: the front panel in the host's parent window (an X11 window), idled through
// the host's idle interface, showing and changing the plug-in through MirroredPlugin.

#include <lv2/atom/atom.h>
#include <lv2/ui/ui.h>

#include <memory>
#include <new>
#include <string_view>

#include "editor/CZarelEditor.h"
#include "lv2/Features.h"
#include "lv2/MirroredPlugin.h"

namespace {

class Lv2Ui {
public:
    // Null when the host gives no parent window or the panel cannot be opened in it.
    static Lv2Ui* create(const MirroredPlugin::Host& host, const LV2_Feature* const* features, LV2UI_Widget* widget);
    ~Lv2Ui();

    void portEvent(uint32_t port, uint32_t size, uint32_t format, const void* buffer);
    int idle();

private:
    explicit Lv2Ui(const MirroredPlugin::Host& host) : plugin(host) {}

    MirroredPlugin plugin;  // owns the editor (the frame's editor pointer)
    CZarelEditor* editor = nullptr;
};

Lv2Ui* Lv2Ui::create(const MirroredPlugin::Host& host, const LV2_Feature* const* features, LV2UI_Widget* widget)
{
    void* parent = const_cast<void*>(lv2features::find(features, LV2_UI__parent));
    if (!parent || !widget)
        return nullptr;
    std::unique_ptr<Lv2Ui> ui(new (std::nothrow) Lv2Ui(host));
    if (!ui)
        return nullptr;
    ui->editor = new (std::nothrow) CZarelEditor(&ui->plugin);  // registers itself with the plug-in
    if (!ui->editor)
        return nullptr;
    // The host's scale for high-resolution screens: the panel's zoom unless the user chose one.
    if (const auto* scale = static_cast<const float*>(
            lv2features::findOption(features, LV2_UI__scaleFactor, LV2_ATOM__Float)))
        ui->editor->setHostScaleFactor(*scale);
    ui->plugin.setPanel(ui->editor);
    ui->editor->open(parent);
    CFrame* frame = ui->editor->getFrame();
    gui::platform::PlatformWindow* window = frame ? frame->getPlatformWindow() : nullptr;
    if (!window || !window->nativeHandle())
        return nullptr;
    *widget = window->nativeHandle();
    ERect* rect = nullptr;
    ui->editor->getRect(&rect);
    if (host.resize && host.resize->ui_resize && rect)
        host.resize->ui_resize(host.resize->handle, rect->right - rect->left, rect->bottom - rect->top);
    return ui.release();
}

Lv2Ui::~Lv2Ui()
{
    // The frame goes before the plug-in object deletes its editor.
    if (editor)
        editor->close();
}

void Lv2Ui::portEvent(uint32_t port, uint32_t size, uint32_t format, const void* buffer)
{
    if (format != 0 || size != sizeof(float) || !buffer)
        return;
    plugin.setFromHost(port, *static_cast<const float*>(buffer));
}

// Non-zero tells the host that the panel's window is gone.
int Lv2Ui::idle()
{
    editor->idle();
    CFrame* frame = editor->getFrame();
    return frame && frame->getPlatformWindow() && frame->getPlatformWindow()->isAlive() ? 0 : 1;
}

// ---- the LV2 UI interface ---------------------------------------------------------------

Lv2Ui* self(LV2UI_Handle handle) { return static_cast<Lv2Ui*>(handle); }

LV2UI_Handle instantiate(const LV2UI_Descriptor*, const char*, const char*, LV2UI_Write_Function write,
                         LV2UI_Controller controller, LV2UI_Widget* widget, const LV2_Feature* const* features)
{
    MirroredPlugin::Host host;
    host.write = write;
    host.controller = controller;
    host.touch = static_cast<const LV2UI_Touch*>(lv2features::find(features, LV2_UI__touch));
    host.resize = static_cast<const LV2UI_Resize*>(lv2features::find(features, LV2_UI__resize));
    try {
        return Lv2Ui::create(host, features, widget);
    } catch (...) {
        return nullptr;  // nothing may be thrown across the host boundary
    }
}

void cleanup(LV2UI_Handle h) { delete self(h); }

void portEvent(LV2UI_Handle h, uint32_t port, uint32_t size, uint32_t format, const void* buffer)
{
    self(h)->portEvent(port, size, format, buffer);
}

int idle(LV2UI_Handle h) { return self(h)->idle(); }

const LV2UI_Idle_Interface kIdleInterface = {idle};

const void* extensionData(const char* uri)
{
    return uri && std::string_view(uri) == LV2_UI__idleInterface ? &kIdleInterface : nullptr;
}

const LV2UI_Descriptor kDescriptor = {KORVALEX_LV2_UI_URI, instantiate, cleanup, portEvent, extensionData};

}  // namespace

extern "C" __attribute__((visibility("default"))) const LV2UI_Descriptor* lv2ui_descriptor(uint32_t index)
{
    return index == 0 ? &kDescriptor : nullptr;
}
