#include "tests/editor/EditorFixture.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>

#include "gui/CFrame.h"

namespace editortest {

HostLog& hostLog()
{
    static HostLog log;
    return log;
}

bool HostLog::editsBalanced() const
{
    std::lock_guard<std::mutex> lock(mutex);
    std::map<VstInt32, int> open;
    for (const HostCall& c : calls) {
        if (c.opcode == audioMasterBeginEdit && ++open[c.index] != 1)
            return false;
        if (c.opcode == audioMasterEndEdit && --open[c.index] != 0)
            return false;
    }
    for (const auto& entry : open)
        if (entry.second != 0)
            return false;
    return true;
}

namespace {

bool hostResizesWindows = false;

// Where the panel's settings file goes: XDG_CONFIG_HOME, or APPDATA under Windows.
void pointSettingsAt(const std::string& folder)
{
#ifdef _WIN32
    _putenv_s("APPDATA", folder.c_str());
#else
    setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
#endif
}

}  // namespace

void setHostResizes(bool resizes) { hostResizesWindows = resizes; }

VstIntPtr hostCallback(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    hostLog().add(HostCall{opcode, index, opt, value});
    switch (opcode) {
    case audioMasterVersion:
        return 2400;
    case audioMasterCanDo:
        return hostResizesWindows && ptr && std::strcmp(static_cast<const char*>(ptr), "sizeWindow") == 0 ? 1 : 0;
    case audioMasterSizeWindow:
        return hostResizesWindows ? 1 : 0;
    case audioMasterBeginEdit:
    case audioMasterEndEdit:
        return 1;
    default:
        return 0;
    }
}

void EditorTest::SetUp()
{
    hostLog().clear();
    setHostResizes(false);
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    settings = (std::filesystem::path(::testing::TempDir()) / "korvalex-settings" /
                (std::string(test->test_suite_name()) + "." + test->name()))
                   .string();
    std::filesystem::remove_all(settings);
    pointSettingsAt(settings);
    plugin = CZarelVST::create(hostCallback);
    ASSERT_NE(plugin, nullptr);
    editor = dynamic_cast<CZarelEditor*>(plugin->getEditor());
    ASSERT_NE(editor, nullptr);
}

std::string EditorTest::settingsFile() const
{
#ifdef _WIN32
    return (std::filesystem::path(settings) / "Korvalex" / "settings.conf").string();
#else
    return (std::filesystem::path(settings) / "korvalex" / "settings.conf").string();
#endif
}

void EditorTest::TearDown()
{
    if (plugin) {
        AEffect* effect = plugin->getAeffect();
        effect->dispatcher(effect, effEditClose, 0, 0, nullptr, 0.0f);
        effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);  // deletes the plug-in
    }
}

VstIntPtr EditorTest::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    AEffect* effect = plugin->getAeffect();
    return effect->dispatcher(effect, opcode, index, value, ptr, opt);
}

void EditorTest::open()
{
    ASSERT_EQ(dispatch(effEditOpen, 0, 0, &parents[openCount++ % 2]), 1);
    window = gui::platform::headless::HeadlessWindow::latest();
    ASSERT_NE(window, nullptr);
    window->paint(window->surface().bounds());
}

void EditorTest::close() { dispatch(effEditClose); }

CControl* EditorTest::ampControl(int32_t tag, editor::Kind kind) const
{
    for (size_t i = 0; i < editor::kAmpPageCount; ++i)
        if (editor::kAmpPage[i].shows == tag && editor::kAmpPage[i].kind == kind)
            return editor->ampControl(i);
    return nullptr;
}

CControl* EditorTest::effectsControl(int32_t tag, editor::Kind kind) const
{
    for (size_t i = 0; i < editor::kEffectsPageCount; ++i)
        if (editor::kEffectsPage[i].shows == tag && editor::kEffectsPage[i].kind == kind)
            return editor->effectsControl(i);
    return nullptr;
}

CViewContainer* EditorTest::shownPage() const
{
    CFrame* frame = editor->getFrame();
    if (!frame || frame->getNbViews() != 1)
        return nullptr;
    return static_cast<CViewContainer*>(frame->getView(0));
}

}  // namespace editortest
