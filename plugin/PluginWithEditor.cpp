// The plug-in with its front panel, in a file of its own: a binary that creates the
// plug-in without an editor links none of the panel, the toolkit or a window layer.

#include <new>

#include "editor/CZarelEditor.h"
#include "plugin/CZarelVST.h"

namespace {

AEffGUIEditor* makeZarelEditor(AudioEffect* plugin) { return new (std::nothrow) CZarelEditor(plugin); }

}  // namespace

CZarelVST* CZarelVST::create(audioMasterCallback host)
{
    return create(host, makeZarelEditor);
}
