// fontprobe.dll: runs inside the installer, on a thread uidriver starts
// there; see FontProbe.h.
#include "FontProbe.h"

extern "C" __declspec(dllexport) DWORD WINAPI ReadFonts(void* parameter) {
    auto* request = static_cast<FontRequest*>(parameter);
    for (int i = 0; i < request->count && i < FontRequest::Capacity; ++i) {
        // Sent to the installer's own thread, which answers between two of
        // its messages.
        DWORD_PTR font = 0;
        request->read[i] = SendMessageTimeoutA(request->windows[i], WM_GETFONT, 0, 0,
                                               SMTO_ABORTIFHUNG, 5000, &font) != 0 &&
                           font != 0 &&
                           GetObjectA(reinterpret_cast<HFONT>(font), sizeof request->fonts[i],
                                      &request->fonts[i]) != 0;
    }
    return 0;
}
