// Stand-in "CoreSDKLib.dll": hands out a channel's current image, as gray data or as RGB24.
// Building with SIM_WITHOUT_<name> leaves that export out, for the binding's tests.
#include "sim_camera.h"

namespace {

struct LoadNote {
    LoadNote() { simNoteLoad("CoreSDKLib.dll"); }
};
const LoadNote g_loadNote;

}  // namespace

#ifndef SIM_WITHOUT_MAG_GetOutputBMPdata
SIM_EXPORT std::int32_t MAG_GetOutputBMPdata(std::int32_t channel, std::int32_t* scratch, std::uint8_t** gray)
{
    return simGetGray(channel, scratch, gray);
}
#endif

#ifndef SIM_WITHOUT_MAG_GetOutputBMPdataRGB24
SIM_EXPORT std::int32_t MAG_GetOutputBMPdataRGB24(std::int32_t channel, std::uint8_t* buffer, std::int32_t size,
                                                  std::int32_t mode)
{
    return simGetRgb24(channel, buffer, size, mode);
}
#endif
