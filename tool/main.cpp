// ircapture: proves that the camera SDK, the camera and this machine work together by saving one
// gray frame and its RGB24 image exactly as the SDK delivers them. Takes no arguments.
#include "capture.h"

#include "platform/platform.h"

#include <cstdio>
#include <cstdlib>

int main()
{
    SdkApi sdk;
    if (!loadSdk(sdk, stderr)) {
        return kExitNoSdk;
    }
    const CaptureContext context{stdout, stderr, platformSleep, std::malloc};
    return runCapture(sdk, context);
}
