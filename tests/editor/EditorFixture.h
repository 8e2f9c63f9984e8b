#pragma once
// The plug-in object with its editor, opened in the headless window layer by a host
// callback that records what the plug-in tells the host.

#include <gtest/gtest.h>

#include <mutex>
#include <vector>

#include "editor/CZarelEditor.h"
#include "editor/EditorLayout.h"
#include "gui/platform/headless/HeadlessWindow.h"
#include "plugin/CZarelVST.h"

namespace editortest {

struct HostCall {
    VstInt32 opcode;
    VstInt32 index;
    float value;
    VstIntPtr amount = 0;  // the request's integer value (audioMasterSizeWindow: the height)
};

// What the host heard, from every instance (tests run one instance at a time).
class HostLog {
public:
    void add(const HostCall& call)
    {
        std::lock_guard<std::mutex> lock(mutex);
        calls.push_back(call);
    }
    void clear()
    {
        std::lock_guard<std::mutex> lock(mutex);
        calls.clear();
    }
    // The last call of `opcode`, or an empty one.
    HostCall last(VstInt32 opcode) const
    {
        std::lock_guard<std::mutex> lock(mutex);
        for (auto it = calls.rbegin(); it != calls.rend(); ++it)
            if (it->opcode == opcode)
                return *it;
        return HostCall{0, 0, 0.0f};
    }
    int count(VstInt32 opcode, VstInt32 index = -1) const
    {
        std::lock_guard<std::mutex> lock(mutex);
        int n = 0;
        for (const HostCall& c : calls)
            n += c.opcode == opcode && (index < 0 || c.index == index);
        return n;
    }
    // Begin and end edit alternate per parameter and every begin has its end.
    bool editsBalanced() const;

private:
    mutable std::mutex mutex;
    std::vector<HostCall> calls;
};

HostLog& hostLog();
VstIntPtr hostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);
// Whether the host resizes the editor's window when asked ("sizeWindow"); false at the
// start of every test.
void setHostResizes(bool resizes);

inline CPoint centre(const CRect& r) { return CPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2); }

class EditorTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The host's requests, through the plug-in's dispatcher as a host makes them.
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr, float opt = 0);
    void open();   // opens in a new parent and paints the window once, as a window system does
    void close();
    void idle() { dispatch(effEditIdle); }
    float parameter(int32_t index) { return plugin->getParameter(index); }
    void setParameter(int32_t index, float value) { plugin->setParameter(index, value); }

    CControl* ampControl(int32_t tag, editor::Kind kind) const;
    CControl* effectsControl(int32_t tag, editor::Kind kind) const;
    CViewContainer* shownPage() const;

    // The panel's per-user settings go to a folder of this test's own (empty at first).
    std::string settingsFolder() const { return settings; }
    std::string settingsFile() const;

    CZarelVST* plugin = nullptr;
    CZarelEditor* editor = nullptr;
    std::string settings;
    gui::platform::headless::HeadlessWindow* window = nullptr;
    int parents[2] = {0, 0};
    int openCount = 0;
};

}  // namespace editortest
