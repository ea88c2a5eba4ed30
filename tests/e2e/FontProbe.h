// What uidriver and fontprobe.dll exchange through the installer's memory.
//
// A font handle means something only in the process that made it, and Wine
// does not even answer WM_GETFONT for a window of another process; so the
// driver loads fontprobe.dll into the installer and runs ReadFonts there on
// a FontRequest it has written into the installer's memory, then reads the
// answers back.
#pragma once

#include <windows.h>

struct FontRequest {
    static constexpr int Capacity = 16;
    int count;
    HWND windows[Capacity];
    // Filled in by ReadFonts: whether the window answered WM_GETFONT with a
    // font GetObjectA could read, and what it read.
    BOOL read[Capacity];
    LOGFONTA fonts[Capacity];
};

// The export, as GetProcAddress names it: a thread's start routine over a
// FontRequest.
inline constexpr char ReadFontsExport[] = "ReadFonts";
