// Stand-in "ThermalSDK.dll": starts and stops the camera and takes the new-frame delegate.
// Building with SIM_WITHOUT_<name> leaves that export out, for the binding's tests.
#include "sim_camera.h"

namespace {

struct LoadNote {
    LoadNote() { simNoteLoad("ThermalSDK.dll"); }
};
const LoadNote g_loadNote;

}  // namespace

#ifndef SIM_WITHOUT_Start
SIM_EXPORT int Start()
{
    return simStart();
}
#endif

#ifndef SIM_WITHOUT_Stop
SIM_EXPORT int Stop()
{
    return simStop();
}
#endif

#ifndef SIM_WITHOUT_SetNewIRFrameDelegate
SIM_EXPORT int SetNewIRFrameDelegate(SimDelegate delegate)
{
    return simSetDelegate(delegate);
}
#endif
