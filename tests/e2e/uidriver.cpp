// uidriver: drives installer.exe the way a user does and reports what it saw.
//
//   uidriver SCRIPT [NAME=VALUE...]
//
// The script is UTF-8 text, one command per line ("#" starts a comment);
// $NAME in an argument is replaced by a value given on the command line or
// by WORK (a fresh folder for this run, removed when it passes) or TEMP (the
// temporary folder), both without a trailing backslash.
// Texts are compared as the bytes of the ANSI code page (Shift-JIS when run
// with code page 932) and reported as bytes and as text. Input reaches the
// installer as real keyboard and mouse input; the system's own dialogs are
// answered through their buttons. The first failed check ends the run with
// exit code 1 and ends the installer.
//
//   uidriver --desktop NAME WIDTHxHEIGHT
//
// sets up, under Wine, a virtual desktop for later runs, in which Wine draws
// window frames itself.
//
// Commands (CONTROL is a name of the installer window, such as btnStart):
//   mkdir PATH                       write PATH SIZE SEED  text-file PATH TEXT
//   run PROGRAM ARG...
//   package OUT NOTICE FILE...       damage PACKAGE        patch FILE OLD NEW
//   patch-wide FILE OLD NEW          registry set TEXT | registry long SIZE | registry none
//   start EXE [NAME=VALUE...]        start-moved EXE MOVED
//   window [CAPTION]                 no-window
//   activate-other
//   layout                           centred
//   click CONTROL                    press KEY...          replace TEXT
//   close-box                        box CAPTION TEXT ICON answer
//   no-box                           dialog FOLDER         dialog-ok [NAME]
//   dialog-cancel                    text CONTROL TEXT     enabled CONTROL true|false
//   position CONTROL N               focus CONTROL         exit CODE
//   same FILE FILE                   absent PATH           present PATH
//   rect [FILE]                      wait-exit             sleep MS
//   signal FILE                      await FILE            echo TEXT
//   dump
#include <windows.h>
// After windows.h:
#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "FontProbe.h"
#include "package/Package.h"
#include "package/Writer.h"

namespace {

// --- Reporting ------------------------------------------------------------

int currentLine = 0;
HANDLE installerProcess = nullptr;
PROCESS_INFORMATION installer = {};

std::wstring Wide(const std::string& text, UINT codePage) {
    int n =
        MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    return wide;
}

std::string Narrow(const std::wstring& wide, UINT codePage) {
    int n = WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                nullptr, nullptr);
    std::string text(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), text.data(), n,
                        nullptr, nullptr);
    return text;
}

// Script texts are UTF-8; the installer's are ANSI.
std::string Ansi(const std::string& utf8) {
    return Narrow(Wide(utf8, CP_UTF8), CP_ACP);
}

// A path as it reads.
std::string Path(const std::string& ansi) {
    return "\"" + Narrow(Wide(ansi, CP_ACP), CP_UTF8) + "\"";
}

// "text" as it reads, then its bytes.
std::string Show(const std::string& ansi) {
    std::string out = "\"" + Narrow(Wide(ansi, CP_ACP), CP_UTF8) + "\" [";
    char hex[4];
    for (std::size_t i = 0; i < ansi.size(); ++i) {
        std::snprintf(hex, sizeof hex, i ? " %02X" : "%02X", static_cast<unsigned char>(ansi[i]));
        out += hex;
    }
    return out + "]";
}

void Say(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vfprintf(stdout, format, args);
    va_end(args);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

std::string Describe(HWND window);

[[noreturn]] void Fail(const std::string& what) {
    Say("FAIL (line %d): %s", currentLine, what.c_str());
    if (installerProcess != nullptr) {
        GUITHREADINFO state = {};
        state.cbSize = sizeof state;
        GetGUIThreadInfo(installer.dwThreadId, &state);
        Say("  installer: active %s, focus %s, capture %s; foreground %s",
            Describe(state.hwndActive).c_str(), Describe(state.hwndFocus).c_str(),
            Describe(state.hwndCapture).c_str(), Describe(GetForegroundWindow()).c_str());
    }
    if (installerProcess != nullptr) TerminateProcess(installerProcess, 99);
    std::exit(1);
}

// Polls `ready` every 50 ms for up to `ms` milliseconds.
template <class F>
bool WaitFor(F ready, DWORD ms = 10000) {
    DWORD start = GetTickCount();
    for (;;) {
        if (ready()) return true;
        if (GetTickCount() - start > ms) return false;
        Sleep(50);
    }
}

// --- Windows of the installer ---------------------------------------------

DWORD installerPid = 0;

std::string ClassOf(HWND window) {
    char name[256] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

std::string TextOf(HWND window) {
    // WM_GETTEXT crosses the process boundary; the text arrives in our
    // code page, which is the installer's.
    char text[4096] = {};
    DWORD_PTR got = 0;
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                        SMTO_ABORTIFHUNG, 5000, &got);
    return std::string(text, got);
}

BOOL CALLBACK CollectInstallerWindow(HWND window, LPARAM list) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == installerPid && IsWindowVisible(window)) {
        reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    }
    return TRUE;
}

// The installer's visible top-level windows.
std::vector<HWND> TopWindows() {
    std::vector<HWND> windows;
    EnumWindows(&CollectInstallerWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

std::vector<HWND> Children(HWND parent) {
    std::vector<HWND> children;
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        children.push_back(child);
    }
    return children;
}

HWND MainWindow() {
    for (HWND window : TopWindows()) {
        if (ClassOf(window) == "TForm1") return window;
    }
    return nullptr;
}

HWND RequireMain() {
    HWND window = MainWindow();
    if (window == nullptr) Fail("the installer window is not shown");
    return window;
}

// The installer window as designed: every control by class, parent and
// bounds in its parent's client area.
struct Design {
    const char* name;
    const char* windowClass;
    const char* parent;  // null: the form
    int left, top, width, height;
    const char* text;  // as designed, compiled as Shift-JIS; null when set at run time
};

const Design designs[] = {
    {"grbNotice", "Button", nullptr, 8, 8, 361, 81, nullptr},
    {"Memo1", "Edit", "grbNotice", 8, 16, 345, 57,
     "これからｵﾙﾃﾞﾝｱﾌﾟﾘｹｰｼｮﾝのｲﾝｽﾄｰﾙを行います。\r\n"
     "このﾌﾟﾛｸﾞﾗﾑは、まず解凍先ﾌｫﾙﾀﾞに必要なﾌｧｲﾙを解凍し、\r\n"
     "続いてこれらのﾌｧｲﾙをｲﾝｽﾄｰﾙ先ﾌｫﾙﾀﾞにｺﾋﾟｰします。\r\n"
     "解凍中に作った一時ﾌｧｲﾙは、自動的に削除されます。"},
    {"lblExpand", "Static", nullptr, 8, 96, 105, 13, "解凍先ﾌｫﾙﾀﾞ"},
    {"edtExpand", "Edit", nullptr, 128, 96, 201, 21, nullptr},
    {"btnExpand", "Button", nullptr, 336, 96, 33, 17, "参照"},
    {"lblInstall", "Static", nullptr, 8, 120, 105, 17, "ｲﾝｽﾄｰﾙ先ﾌｫﾙﾀﾞ"},
    {"edtInstall", "Edit", nullptr, 128, 120, 201, 21, nullptr},
    {"btnInstall", "Button", nullptr, 336, 120, 33, 17, "参照"},
    {"lblStatus", "Static", nullptr, 8, 144, 52, 13, "進捗状況"},
    {"pgbStatus", "msctls_progress32", nullptr, 128, 144, 241, 17, nullptr},
    {"btnStart", "Button", nullptr, 232, 168, 65, 25, "ｲﾝｽﾄｰﾙ"},
    {"btnQuit", "Button", nullptr, 304, 168, 65, 25, "終了"},
};

const Design& DesignOf(const std::string& name) {
    for (const Design& design : designs) {
        if (name == design.name) return design;
    }
    Fail("no control " + name);
}

RECT RectIn(HWND window, HWND parent) {
    RECT r;
    GetWindowRect(window, &r);
    MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

HWND FindControl(const std::string& name) {
    const Design& design = DesignOf(name);
    HWND parent = design.parent ? FindControl(design.parent) : RequireMain();
    for (HWND child : Children(parent)) {
        RECT r = RectIn(child, parent);
        if (lstrcmpiA(ClassOf(child).c_str(), design.windowClass) == 0 && r.left == design.left &&
            r.top == design.top && r.right - r.left == design.width &&
            r.bottom - r.top == design.height) {
            return child;
        }
    }
    Fail("no " + std::string(design.windowClass) + " at the place of " + name);
}

std::string NameOf(HWND window) {
    for (const Design& design : designs) {
        HWND parent = design.parent ? FindControl(design.parent) : MainWindow();
        if (parent == nullptr) break;
        for (HWND child : Children(parent)) {
            RECT r = RectIn(child, parent);
            if (child == window && r.left == design.left && r.top == design.top) return design.name;
        }
    }
    if (window == MainWindow()) return "the form";
    return window ? "a window of class " + ClassOf(window) : "no window";
}

std::string Describe(HWND window) {
    if (window == nullptr) return "none";
    return ClassOf(window) + " " + Show(TextOf(window));
}

HWND FocusOf(DWORD thread) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(thread, &info) ? info.hwndFocus : nullptr;
}

// --- Message boxes and the open-file dialog -----------------------------------

bool IsMessageBox(HWND window) {
    if (ClassOf(window) != "#32770") return false;
    for (HWND child : Children(window)) {
        std::string cls = ClassOf(child);
        if (cls != "Static" && cls != "Button") return false;
    }
    return true;
}

HWND FindBox() {
    for (HWND window : TopWindows()) {
        if (IsMessageBox(window)) return window;
    }
    return nullptr;
}

HWND FindFileDialog() {
    for (HWND window : TopWindows()) {
        if (ClassOf(window) == "#32770" && !IsMessageBox(window)) return window;
    }
    return nullptr;
}

// The icon of a box, told by comparing its pixels with the system icons
// drawn in this process.
std::string IconOf(HWND box) {
    HWND iconControl = nullptr;
    for (HWND child : Children(box)) {
        if (ClassOf(child) == "Static" &&
            (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
            iconControl = child;
        }
    }
    if (iconControl == nullptr) return "none";
    int size = GetSystemMetrics(SM_CXICON);
    RECT r;
    GetWindowRect(iconControl, &r);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    auto grab = [&](HICON icon) {
        BITMAPINFO info = {};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), size, -size, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        HGDIOBJ old = SelectObject(memory, bitmap);
        if (icon == nullptr) {
            BitBlt(memory, 0, 0, size, size, screen, r.left, r.top, SRCCOPY);
        } else {
            RECT all = {0, 0, size, size};
            FillRect(memory, &all, GetSysColorBrush(COLOR_BTNFACE));
            DrawIconEx(memory, 0, 0, icon, size, size, 0, nullptr, DI_NORMAL);
        }
        GdiFlush();
        std::vector<std::uint32_t> pixels(static_cast<const std::uint32_t*>(bits),
                                          static_cast<const std::uint32_t*>(bits) + size * size);
        SelectObject(memory, old);
        DeleteObject(bitmap);
        for (auto& p : pixels) p &= 0xFFFFFF;
        return pixels;
    };
    std::vector<std::uint32_t> shown = grab(nullptr);
    struct {
        const char* name;
        LPCSTR id;
    } known[] = {{"warning", IDI_WARNING},
                 {"information", IDI_INFORMATION},
                 {"stop", IDI_ERROR},
                 {"question", IDI_QUESTION}};
    std::string result = "unknown";
    for (const auto& k : known) {
        if (grab(LoadIconA(nullptr, k.id)) == shown) result = k.name;
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return result;
}

std::string BoxText(HWND box) {
    for (HWND child : Children(box)) {
        if (ClassOf(child) == "Static" &&
            (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON) {
            std::string text = TextOf(child);
            if (!text.empty()) return text;
        }
    }
    return {};
}

// --- Input ----------------------------------------------------------------

void SendKeys(const std::vector<INPUT>& inputs) {
    std::vector<INPUT> copy = inputs;
    SendInput(static_cast<UINT>(copy.size()), copy.data(), sizeof(INPUT));
}

INPUT Key(WORD vk, bool up) {
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return input;
}

// Whether the installer's thread is waiting in a message loop (its own or a
// box's), not busy in a handler: only then does it answer a sent message.
bool Idle(HWND window) {
    DWORD_PTR ignored;
    return SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 100, &ignored) != 0;
}

GUITHREADINFO ThreadState() {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(installer.dwThreadId, &info);
    return info;
}

// Lets the installer take what was sent before looking at it.
void Settle() {
    Sleep(100);
    std::vector<HWND> windows = TopWindows();
    if (!windows.empty()) WaitFor([&] { return Idle(windows.front()); }, 5000);
    Sleep(50);
}

// Makes `window` the active window of the installer and waits until it
// takes input: enabled (no dialog it owns is open), active, idle.
void BringToFront(HWND window) {
    bool ready = WaitFor(
        [window] {
            if (!IsWindowEnabled(window)) return false;
            if (GetForegroundWindow() != window) SetForegroundWindow(window);
            return GetForegroundWindow() == window && ThreadState().hwndActive == window &&
                   Idle(window);
        },
        5000);
    if (!ready) Fail("the window " + Show(TextOf(window)) + " does not take input");
}

void ClickAt(int x, int y) {
    // Every event carries the position: a move on its own may be overtaken
    // by a stale pointer report, and the press would land where the last
    // click was.
    int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    auto mouse = [&](DWORD flags) {
        INPUT input = {};
        input.type = INPUT_MOUSE;
        input.mi.dx = x * 65535 / (width - 1);
        input.mi.dy = y * 65535 / (height - 1);
        input.mi.dwFlags = flags | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
        SendInput(1, &input, sizeof input);
    };
    auto there = [&] {
        POINT p;
        return GetCursorPos(&p) && p.x == x && p.y == y;
    };
    SetCursorPos(x, y);
    mouse(0);
    if (!WaitFor(there, 2000))
        Fail("the pointer does not move to " + std::to_string(x) + "," + std::to_string(y));
    Sleep(50);
    if (!there()) mouse(0);
    mouse(MOUSEEVENTF_LEFTDOWN);
    mouse(MOUSEEVENTF_LEFTUP);
    Settle();
}

void PressKey(const std::string& name) {
    struct Named {
        const char* name;
        WORD vk;
    } keys[] = {{"Tab", VK_TAB}, {"Enter", VK_RETURN}, {"Esc", VK_ESCAPE}, {"Space", VK_SPACE},
                {"F4", VK_F4},   {"Home", VK_HOME},    {"End", VK_END},    {"Delete", VK_DELETE}};
    std::vector<WORD> modifiers;
    std::string rest = name;
    for (;;) {
        if (rest.rfind("Shift+", 0) == 0) {
            modifiers.push_back(VK_SHIFT);
            rest = rest.substr(6);
        } else if (rest.rfind("Alt+", 0) == 0) {
            modifiers.push_back(VK_MENU);
            rest = rest.substr(4);
        } else {
            break;
        }
    }
    WORD vk = 0;
    for (const Named& key : keys) {
        if (rest == key.name) vk = key.vk;
    }
    if (vk == 0) Fail("no key " + name);
    std::vector<INPUT> inputs;
    for (WORD m : modifiers) inputs.push_back(Key(m, false));
    inputs.push_back(Key(vk, false));
    inputs.push_back(Key(vk, true));
    for (auto m = modifiers.rbegin(); m != modifiers.rend(); ++m) inputs.push_back(Key(*m, true));
    SendKeys(inputs);
    Settle();
}

void TypeText(const std::string& utf8) {
    std::vector<INPUT> inputs;
    for (wchar_t c : Wide(utf8, CP_UTF8)) {
        INPUT input = {};
        input.type = INPUT_KEYBOARD;
        input.ki.wScan = c;
        input.ki.dwFlags = KEYEVENTF_UNICODE;
        inputs.push_back(input);
        input.ki.dwFlags |= KEYEVENTF_KEYUP;
        inputs.push_back(input);
    }
    SendKeys(inputs);
    Settle();
}

// --- Files and the registry -----------------------------------------------

std::vector<std::uint8_t> ReadFile(const std::string& path) {
    std::vector<std::uint8_t> bytes;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) Fail("cannot read " + Path(path));
    std::uint8_t buffer[65536];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes.insert(bytes.end(), buffer, buffer + got);
    std::fclose(file);
    return bytes;
}

void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) {
        Fail("cannot write " + Path(path));
    }
    std::fclose(file);
}

std::string BaseName(const std::string& path) {
    std::size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Deterministic bytes that compress a little.
std::vector<std::uint8_t> Pattern(std::size_t size, std::uint32_t seed) {
    std::vector<std::uint8_t> out(size);
    std::uint32_t x = seed * 2654435761u + 1;
    for (std::size_t i = 0; i < size; ++i) {
        x = x * 1103515245u + 12345u;
        out[i] = (x >> 16) % 5 == 0 ? static_cast<std::uint8_t>(x >> 24)
                                    : static_cast<std::uint8_t>("installer "[i % 10]);
    }
    return out;
}

void RemoveTree(const std::string& folder) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = found.cFileName;
            if (name == "." || name == "..") continue;
            std::string path = folder + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(path + "\\");
            } else {
                SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(path.c_str());
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(folder.c_str());
}

constexpr char HostKey[] = "Software\\VB and VBA Program Settings\\corvinel\\env";

void SetRegistry(const std::vector<std::uint8_t>& data) {
    HKEY key;
    if (RegCreateKeyA(HKEY_CURRENT_USER, HostKey, &key) != ERROR_SUCCESS)
        Fail("cannot create the key");
    RegSetValueExA(key, "programs", 0, REG_SZ, data.data(), static_cast<DWORD>(data.size()));
    RegCloseKey(key);
}

// --- The script -------------------------------------------------------------

std::map<std::string, std::string> variables;

std::vector<std::string> Tokens(const std::string& line) {
    std::vector<std::string> tokens;
    std::size_t i = 0;
    while (i < line.size()) {
        if (line[i] == ' ' || line[i] == '\t' || line[i] == '\r') {
            ++i;
        } else if (line[i] == '#') {
            break;
        } else {
            std::string token;
            bool quoted = line[i] == '"';
            if (quoted) ++i;
            while (
                i < line.size() &&
                (quoted ? line[i] != '"' : line[i] != ' ' && line[i] != '\t' && line[i] != '\r')) {
                token += line[i++];
            }
            if (quoted) {
                if (i >= line.size()) Fail("a text without its closing quote");
                ++i;
            }
            // $NAME, up to the next character that is no letter or digit.
            std::string expanded;
            for (std::size_t j = 0; j < token.size(); ++j) {
                if (token[j] != '$') {
                    expanded += token[j];
                    continue;
                }
                std::size_t end = j + 1;
                while (end < token.size() &&
                       (isalnum(static_cast<unsigned char>(token[end])) || token[end] == '_'))
                    ++end;
                std::string name = token.substr(j + 1, end - j - 1);
                if (!variables.count(name)) Fail("no value for $" + name);
                expanded += variables[name];
                j = end - 1;
            }
            tokens.push_back(expanded);
        }
    }
    return tokens;
}

void Need(const std::vector<std::string>& args, std::size_t count) {
    if (args.size() - 1 < count) Fail(args[0] + " takes " + std::to_string(count) + " argument(s)");
}

void Expect(bool ok, const std::string& what) {
    if (!ok) Fail(what);
    Say("ok %s", what.c_str());
}

// Runs `routine(parameter)` on a thread of its own in the installer and
// returns its exit code: 32 bits, as wide as a module handle of this 32-bit
// driver.
DWORD RunInInstaller(std::uintptr_t routine, std::uintptr_t parameter) {
    HANDLE thread = CreateRemoteThread(installerProcess, nullptr, 0,
                                       reinterpret_cast<LPTHREAD_START_ROUTINE>(routine),
                                       reinterpret_cast<void*>(parameter), 0, nullptr);
    if (thread == nullptr) Fail("cannot start a thread in the installer");
    DWORD code = 0;
    bool ended =
        WaitForSingleObject(thread, 15000) == WAIT_OBJECT_0 && GetExitCodeThread(thread, &code);
    CloseHandle(thread);
    if (!ended) Fail("a thread in the installer did not end");
    return code;
}

// The fonts of the installer's `windows` as WM_GETFONT and GetObjectA give
// them, read inside the installer by fontprobe.dll (see FontProbe.h);
// nothing for a window that gives no font.
std::vector<std::optional<LOGFONTA>> FontsOf(const std::vector<HWND>& windows) {
    if (installerProcess == nullptr) Fail("no installer started");
    if (windows.size() > FontRequest::Capacity) Fail("too many windows for one font request");
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, sizeof self);
    std::string probe = self;
    probe = probe.substr(0, probe.find_last_of('\\') + 1) + "fontprobe.dll";
    // Loaded here too, to learn where ReadFonts lies within the module.
    HMODULE local = LoadLibraryA(probe.c_str());
    if (local == nullptr) Fail("cannot load " + Path(probe));
    FARPROC entry = GetProcAddress(local, ReadFontsExport);
    if (entry == nullptr) Fail(Path(probe) + " has no " + ReadFontsExport);
    std::uintptr_t readFonts =
        reinterpret_cast<std::uintptr_t>(entry) - reinterpret_cast<std::uintptr_t>(local);
    FreeLibrary(local);
    // The system's modules lie at the same address in every process.
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    auto loadLibrary = reinterpret_cast<std::uintptr_t>(GetProcAddress(kernel, "LoadLibraryA"));
    auto freeLibrary = reinterpret_cast<std::uintptr_t>(GetProcAddress(kernel, "FreeLibrary"));

    struct Block {
        FontRequest request;
        char path[MAX_PATH];
    } block = {};
    block.request.count = static_cast<int>(windows.size());
    std::copy(windows.begin(), windows.end(), block.request.windows);
    probe.copy(block.path, sizeof block.path - 1);
    void* remote = VirtualAllocEx(installerProcess, nullptr, sizeof block, MEM_COMMIT | MEM_RESERVE,
                                  PAGE_READWRITE);
    if (remote == nullptr ||
        !WriteProcessMemory(installerProcess, remote, &block, sizeof block, nullptr)) {
        Fail("cannot write into the installer's memory");
    }
    auto at = reinterpret_cast<std::uintptr_t>(remote);
    DWORD module = RunInInstaller(loadLibrary, at + offsetof(Block, path));
    if (module == 0) Fail("the installer cannot load " + Path(probe));
    RunInInstaller(module + readFonts, at);
    bool read = ReadProcessMemory(installerProcess, remote, &block, sizeof block, nullptr);
    RunInInstaller(freeLibrary, module);
    VirtualFreeEx(installerProcess, remote, 0, MEM_RELEASE);
    if (!read) Fail("cannot read the installer's memory");

    std::vector<std::optional<LOGFONTA>> fonts;
    for (std::size_t i = 0; i < windows.size(); ++i) {
        fonts.push_back(block.request.read[i] ? std::optional(block.request.fonts[i])
                                              : std::nullopt);
    }
    return fonts;
}

void Run(const std::vector<std::string>& a) {
    const std::string& command = a[0];
    if (command == "echo") {
        Say("%s", a.size() > 1 ? a[1].c_str() : "");
    } else if (command == "sleep") {
        Need(a, 1);
        Sleep(static_cast<DWORD>(std::atoi(a[1].c_str())));
    } else if (command == "mkdir") {
        Need(a, 1);
        std::string path = Ansi(a[1]);
        for (std::size_t i = 3; i <= path.size(); ++i) {
            if (i == path.size() || path[i] == '\\')
                CreateDirectoryA(path.substr(0, i).c_str(), nullptr);
        }
    } else if (command == "write") {
        Need(a, 3);
        WriteFile(Ansi(a[1]), Pattern(std::strtoul(a[2].c_str(), nullptr, 10),
                                      static_cast<std::uint32_t>(std::atoi(a[3].c_str()))));
    } else if (command == "package") {
        Need(a, 3);
        std::vector<pkg::PackageRecord> records;
        for (std::size_t i = 3; i < a.size(); ++i) {
            std::string path = Ansi(a[i]);
            records.push_back(pkg::MakeRecord(BaseName(path), ReadFile(path)));
        }
        WriteFile(Ansi(a[1]),
                  pkg::BuildPackage(ReadFile(variables["INSTALLER"]), Ansi(a[2]), records));
    } else if (command == "text-file") {
        Need(a, 2);
        std::string text = Ansi(a[2]);
        WriteFile(Ansi(a[1]), std::vector<std::uint8_t>(text.begin(), text.end()));
    } else if (command == "run") {
        // run PROGRAM ARG...: a console program (the packager), which must
        // succeed.
        Need(a, 1);
        std::string commandLine;
        for (std::size_t i = 1; i < a.size(); ++i) {
            commandLine += (i > 1 ? " \"" : "\"") + Ansi(a[i]) + "\"";
        }
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION child = {};
        if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                            nullptr, &startup, &child)) {
            Fail("cannot run " + Path(Ansi(a[1])));
        }
        WaitForSingleObject(child.hProcess, 60000);
        DWORD code = 1;
        GetExitCodeProcess(child.hProcess, &code);
        CloseHandle(child.hThread);
        CloseHandle(child.hProcess);
        Expect(code == 0, Path(Ansi(a[1])) + " succeeds");
    } else if (command == "damage") {
        // The first record's SZDD signature no longer is one.
        Need(a, 1);
        std::string path = Ansi(a[1]);
        std::vector<std::uint8_t> bytes = ReadFile(path);
        std::size_t trailer = bytes.size() - pkg::TrailerSize;
        std::uint32_t data = bytes[trailer] | bytes[trailer + 1] << 8 | bytes[trailer + 2] << 16 |
                             static_cast<std::uint32_t>(bytes[trailer + 3]) << 24;
        bytes.at(data + pkg::RecordMagicOffset) ^= 0xFF;
        WriteFile(path, bytes);
    } else if (command == "patch" || command == "patch-wide") {
        // Replaces the first occurrence of a text, or of its UTF-16 form
        // (as resource names are stored), by another of the same length.
        Need(a, 3);
        std::string path = Ansi(a[1]), old = Ansi(a[2]), replacement = Ansi(a[3]);
        if (command == "patch-wide") {
            std::wstring o = Wide(a[2], CP_UTF8), r = Wide(a[3], CP_UTF8);
            old.assign(reinterpret_cast<const char*>(o.data()), o.size() * 2);
            replacement.assign(reinterpret_cast<const char*>(r.data()), r.size() * 2);
        }
        if (old.size() != replacement.size()) Fail("patch keeps the length");
        std::vector<std::uint8_t> bytes = ReadFile(path);
        std::string text(bytes.begin(), bytes.end());
        std::size_t at = text.find(old);
        if (at == std::string::npos) Fail("patch: " + Show(old) + " not found");
        std::copy(replacement.begin(), replacement.end(),
                  bytes.begin() + static_cast<std::ptrdiff_t>(at));
        WriteFile(path, bytes);
    } else if (command == "registry") {
        Need(a, 1);
        if (a[1] == "none") {
            RegDeleteKeyA(HKEY_CURRENT_USER, HostKey);
        } else if (a[1] == "set") {
            Need(a, 2);
            std::string value = Ansi(a[2]);
            SetRegistry(std::vector<std::uint8_t>(value.c_str(), value.c_str() + value.size() + 1));
        } else if (a[1] == "long") {
            Need(a, 2);
            std::string value = "C:\\" + std::string(std::strtoul(a[2].c_str(), nullptr, 10), 'a');
            SetRegistry(std::vector<std::uint8_t>(value.c_str(), value.c_str() + value.size() + 1));
        } else {
            Fail("registry set, long or none");
        }
    } else if (command == "start" || command == "start-moved") {
        // start EXE [NAME=VALUE...]: the installer gets these environment
        // variables on top of ours.
        // start-moved EXE MOVED: the installer is created suspended and its
        // file moved to MOVED before it runs, so it cannot open itself.
        Need(a, 1);
        std::string path = Ansi(a[1]);
        std::string movedTo;
        std::size_t first = 2;
        if (command == "start-moved") {
            Need(a, 2);
            movedTo = Ansi(a[2]);
            first = 3;
        }
        std::vector<std::pair<std::string, std::string>> saved;
        for (std::size_t i = first; i < a.size(); ++i) {
            std::string pair = Ansi(a[i]);
            std::size_t eq = pair.find('=');
            if (eq == std::string::npos) Fail("start takes NAME=VALUE after the program");
            std::string name = pair.substr(0, eq);
            char old[4096] = {};
            GetEnvironmentVariableA(name.c_str(), old, sizeof old);
            saved.emplace_back(name, old);
            SetEnvironmentVariableA(name.c_str(), pair.substr(eq + 1).c_str());
        }
        std::string commandLine = "\"" + path + "\"";
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        DWORD flags = movedTo.empty() ? 0 : CREATE_SUSPENDED;
        BOOL started = CreateProcessA(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                                      flags, nullptr, nullptr, &startup, &installer);
        for (const auto& [name, value] : saved)
            SetEnvironmentVariableA(name.c_str(), value.c_str());
        if (!started) Fail("cannot start " + Path(path));
        if (!movedTo.empty()) {
            if (!MoveFileA(path.c_str(), movedTo.c_str())) Fail("cannot move " + Path(path));
            ResumeThread(installer.hThread);
        }
        installerProcess = installer.hProcess;
        installerPid = installer.dwProcessId;
        WaitForInputIdle(installer.hProcess, 10000);
        Say("started %s", Show(path).c_str());
    } else if (command == "window") {
        // A first start in a fresh prefix may take a while (fonts).
        auto shownOrEnded = [] {
            return MainWindow() != nullptr ||
                   WaitForSingleObject(installerProcess, 0) == WAIT_OBJECT_0;
        };
        if (!WaitFor(shownOrEnded, 60000) || MainWindow() == nullptr) {
            DWORD code = STILL_ACTIVE;
            GetExitCodeProcess(installerProcess, &code);
            if (code != STILL_ACTIVE) {
                Fail("the installer ended, exit code " + std::to_string(code) + ", with no window");
            }
            Fail("no installer window appeared");
        }
        HWND window = MainWindow();
        Settle();
        Say("window %s", Show(TextOf(window)).c_str());
        if (a.size() > 1)
            Expect(TextOf(window) == Ansi(a[1]), "window caption " + Show(Ansi(a[1])));
    } else if (command == "no-window") {
        Expect(MainWindow() == nullptr, "no installer window is shown");
    } else if (command == "layout") {
        HWND window = RequireMain();
        RECT client;
        GetClientRect(window, &client);
        Expect(client.right == 377 && client.bottom == 200, "client area 377 x 200");
        LONG style = GetWindowLongA(window, GWL_STYLE);
        Expect((style & WS_SYSMENU) && (style & WS_CAPTION) == WS_CAPTION &&
                   !(style & WS_THICKFRAME) && !(style & WS_MINIMIZEBOX) &&
                   !(style & WS_MAXIMIZEBOX),
               "single fixed border, system menu and close box only");
        for (const Design& design : designs) {
            HWND control = FindControl(design.name);
            std::string what = std::string(design.name) + " at " + std::to_string(design.left) +
                               "," + std::to_string(design.top) + " size " +
                               std::to_string(design.width) + "x" + std::to_string(design.height);
            if (design.text) {
                Expect(TextOf(control) == design.text, what + " showing " + Show(design.text));
            } else {
                Say("ok %s", what.c_str());
            }
        }
        LONG memo = GetWindowLongA(FindControl("Memo1"), GWL_STYLE);
        Expect((memo & ES_READONLY) && (memo & ES_MULTILINE) &&
                   !(memo & (WS_VSCROLL | WS_HSCROLL)) && !(memo & ES_AUTOHSCROLL) &&
                   !(memo & WS_BORDER) &&
                   !(GetWindowLongA(FindControl("Memo1"), GWL_EXSTYLE) & WS_EX_CLIENTEDGE),
               "Memo1 read-only, wrapped, without border or scroll bars");
        for (const char* button : {"btnStart", "btnQuit", "btnExpand", "btnInstall"}) {
            LONG s = GetWindowLongA(FindControl(button), GWL_STYLE) & BS_TYPEMASK;
            Expect(s == BS_PUSHBUTTON, std::string(button) + " is no default button");
        }
        // Every control that shows text, in the form's font. (The form
        // itself keeps no font: its controls are where the font shows.)
        std::vector<const Design*> texts;
        std::vector<HWND> windows;
        for (const Design& design : designs) {
            if (std::strcmp(design.windowClass, PROGRESS_CLASSA) == 0) continue;
            texts.push_back(&design);
            windows.push_back(FindControl(design.name));
        }
        const std::string face = "ＭＳ Ｐゴシック";
        std::vector<std::optional<LOGFONTA>> fonts = FontsOf(windows);
        for (std::size_t i = 0; i < texts.size(); ++i) {
            std::string what = std::string(texts[i]->name) + " in " + Show(face) +
                               ", charset SHIFTJIS_CHARSET, height -13";
            if (!fonts[i]) Fail(what + ", but it gives no font");
            const LOGFONTA& font = *fonts[i];
            bool designed = font.lfFaceName == face && font.lfCharSet == SHIFTJIS_CHARSET &&
                            font.lfHeight == -13;
            if (!designed) {
                what += ", not " + Show(font.lfFaceName) + ", charset " +
                        std::to_string(font.lfCharSet) + ", height " +
                        std::to_string(font.lfHeight);
            }
            Expect(designed, what);
        }
    } else if (command == "centred") {
        HWND window = RequireMain();
        RECT r;
        GetWindowRect(window, &r);
        int width = r.right - r.left, height = r.bottom - r.top;
        int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
            y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
        Expect(r.left == x && r.top == y, "window of " + std::to_string(width) + "x" +
                                              std::to_string(height) + " centred at " +
                                              std::to_string(x) + "," + std::to_string(y));
    } else if (command == "rect") {
        // rect [FILE]: the window's place on the desktop, "WIDTHxHEIGHT+X+Y"
        // as ImageMagick crops, also written to FILE.
        HWND window = RequireMain();
        RECT r;
        GetWindowRect(window, &r);
        std::string geometry = std::to_string(r.right - r.left) + "x" +
                               std::to_string(r.bottom - r.top) + "+" + std::to_string(r.left) +
                               "+" + std::to_string(r.top);
        Say("rect %s", geometry.c_str());
        if (a.size() > 1)
            WriteFile(Ansi(a[1]), std::vector<std::uint8_t>(geometry.begin(), geometry.end()));
    } else if (command == "signal") {
        // signal FILE and await FILE: a handshake with a script outside.
        Need(a, 1);
        WriteFile(Ansi(a[1]), {});
    } else if (command == "await") {
        Need(a, 1);
        std::string path = Ansi(a[1]);
        if (!WaitFor([&] { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; },
                     60000)) {
            Fail("nothing came of " + Path(path));
        }
    } else if (command == "click") {
        Need(a, 1);
        HWND control = FindControl(a[1]);
        BringToFront(GetAncestor(control, GA_ROOT));
        RECT r;
        GetWindowRect(control, &r);
        Say("click %s", a[1].c_str());
        ClickAt((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    } else if (command == "close-box") {
        // Find the close box on the caption row by asking the window.
        HWND window = RequireMain();
        BringToFront(window);
        RECT r;
        GetWindowRect(window, &r);
        int y = r.top + GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYCAPTION) / 2;
        for (int x = r.right - 1; x > r.left; --x) {
            DWORD_PTR hit = 0;
            SendMessageTimeoutA(window, WM_NCHITTEST, 0, MAKELPARAM(x, y), SMTO_ABORTIFHUNG, 5000,
                                &hit);
            if (hit == HTCLOSE) {
                Say("click the close box");
                ClickAt(x - 2, y);
                return;
            }
        }
        Fail("no close box on the caption");
    } else if (command == "press") {
        Need(a, 1);
        HWND box = FindBox();
        BringToFront(box ? box : RequireMain());
        for (std::size_t i = 1; i < a.size(); ++i) {
            Say("press %s", a[i].c_str());
            PressKey(a[i]);
        }
    } else if (command == "replace") {
        // Replaces the text of the field that has the focus, by typing.
        Need(a, 1);
        BringToFront(RequireMain());
        PressKey("Home");
        PressKey("Shift+End");
        PressKey("Delete");
        TypeText(a[1]);
        Say("typed %s", Show(Ansi(a[1])).c_str());
    } else if (command == "box") {
        Need(a, 3);
        if (!WaitFor([] { return FindBox() != nullptr; }, 30000)) Fail("no message box appeared");
        HWND box = FindBox();
        Sleep(200);  // drawn
        std::string caption = TextOf(box), text = BoxText(box), icon = IconOf(box);
        Say("box caption %s text %s icon %s", Show(caption).c_str(), Show(text).c_str(),
            icon.c_str());
        Expect(caption == Ansi(a[1]), "box caption " + Show(Ansi(a[1])));
        Expect(text == Ansi(a[2]), "box text " + Show(Ansi(a[2])));
        Expect(icon == a[3], "box icon " + a[3]);
        HWND main = MainWindow();
        if (main) Expect(IsWindowEnabled(main) != FALSE, "the installer window stays enabled");
    } else if (command == "activate-other") {
        // Another application takes the activation and gives it back.
        HWND main = RequireMain();
        HWND other =
            CreateWindowExA(0, "STATIC", "another application", WS_POPUP | WS_VISIBLE | WS_CAPTION,
                            0, 0, 200, 60, nullptr, nullptr, nullptr, nullptr);
        SetForegroundWindow(other);
        WaitFor([other] { return GetForegroundWindow() == other; }, 5000);
        Say("another window is active: %s", GetForegroundWindow() == other ? "yes" : "no");
        Settle();
        SetForegroundWindow(main);
        WaitFor([main] { return GetForegroundWindow() == main; }, 5000);
        DestroyWindow(other);
        Settle();
    } else if (command == "dump") {
        // Every window of the installer, for writing scripts.
        auto dump = [](auto& self, HWND window, int depth) -> void {
            RECT r;
            GetWindowRect(window, &r);
            Say("%*s%s id %ld style %08lX %s at %ld,%ld %ldx%ld %s", depth * 2, "",
                ClassOf(window).c_str(), static_cast<long>(GetWindowLongPtrA(window, GWLP_ID)),
                static_cast<unsigned long>(GetWindowLongA(window, GWL_STYLE)),
                IsWindowVisible(window) ? "visible" : "hidden", r.left, r.top, r.right - r.left,
                r.bottom - r.top, Show(TextOf(window)).c_str());
            for (HWND child : Children(window)) self(self, child, depth + 1);
        };
        for (HWND window : TopWindows()) dump(dump, window, 0);
    } else if (command == "no-box") {
        Sleep(500);
        HWND box = FindBox();
        Expect(box == nullptr,
               box ? "no message box, but saw " + Show(BoxText(box)) : "no message box");
    } else if (command == "answer") {
        HWND box = FindBox();
        if (box == nullptr) Fail("no message box to answer");
        HWND ok = GetDlgItem(box, IDOK);
        Say("answer OK");
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(ok));
        if (!WaitFor([box] { return !IsWindow(box) || !IsWindowVisible(box); }))
            Fail("the box stays");
        Settle();
    } else if (command == "dialog") {
        Need(a, 1);
        if (!WaitFor([] { return FindFileDialog() != nullptr; }))
            Fail("no open-file dialog appeared");
        HWND dialog = FindFileDialog();
        Settle();
        // CDM_GETFOLDERPATH writes into the caller's memory: lend it some of
        // the installer's.
        auto folderShown = [dialog] {
            char folder[4096] = {};
            void* remote = VirtualAllocEx(installer.hProcess, nullptr, sizeof folder, MEM_COMMIT,
                                          PAGE_READWRITE);
            DWORD_PTR length = 0;
            SendMessageTimeoutA(dialog, CDM_GETFOLDERPATH, sizeof folder,
                                reinterpret_cast<LPARAM>(remote), SMTO_ABORTIFHUNG, 5000, &length);
            ReadProcessMemory(installer.hProcess, remote, folder, sizeof folder - 1, nullptr);
            VirtualFreeEx(installer.hProcess, remote, 0, MEM_RELEASE);
            return std::string(static_cast<LRESULT>(length) > 0 ? folder : "");
        };
        std::string want = Ansi(a[1]);
        WaitFor([&] { return lstrcmpiA(folderShown().c_str(), want.c_str()) == 0; }, 3000);
        std::string folder = folderShown();
        Say("dialog %s in %s", Show(TextOf(dialog)).c_str(), Show(folder).c_str());
        Expect(lstrcmpiA(folder.c_str(), want.c_str()) == 0, "dialog opens in " + Show(want));
    } else if (command == "dialog-ok" || command == "dialog-cancel") {
        if (!WaitFor([] { return FindFileDialog() != nullptr; })) Fail("no open-file dialog");
        HWND dialog = FindFileDialog();
        Settle();
        if (command == "dialog-ok" && a.size() > 1) {
            std::string name = Ansi(a[1]);
            // The name box: edt1 in the old style, an edit inside cmb13 in
            // the explorer style.
            HWND edit = GetDlgItem(dialog, 0x480);
            for (HWND box = GetDlgItem(dialog, 0x47C); edit == nullptr && box != nullptr;) {
                box = FindWindowExA(box, nullptr, nullptr, nullptr);
                if (box != nullptr && ClassOf(box) == "Edit") edit = box;
            }
            if (edit == nullptr) Fail("the dialog has no file name box");
            SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()));
            Say("dialog name %s", Show(name).c_str());
        }
        int button = command == "dialog-ok" ? IDOK : IDCANCEL;
        Say("dialog %s", command == "dialog-ok" ? "open" : "cancel");
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog, button)));
        if (!WaitFor([dialog] { return !IsWindow(dialog) || !IsWindowVisible(dialog); })) {
            Fail("the dialog stays");
        }
        Settle();
    } else if (command == "text") {
        Need(a, 2);
        std::string want = Ansi(a[2]);
        HWND control = FindControl(a[1]);
        WaitFor([&] { return TextOf(control) == want; }, 5000);
        std::string got = TextOf(control);
        Say("%s text %s", a[1].c_str(), Show(got).c_str());
        Expect(got == want, a[1] + " shows " + Show(want));
    } else if (command == "enabled") {
        Need(a, 2);
        bool want = a[2] == "true";
        HWND control = FindControl(a[1]);
        WaitFor([&] { return (IsWindowEnabled(control) != FALSE) == want; }, 5000);
        Expect((IsWindowEnabled(control) != FALSE) == want,
               a[1] + (want ? " enabled" : " disabled"));
    } else if (command == "position") {
        Need(a, 2);
        HWND control = FindControl(a[1]);
        DWORD_PTR position = 0;
        SendMessageTimeoutA(control, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, 5000, &position);
        Say("%s position %u", a[1].c_str(), static_cast<unsigned>(position));
        Expect(position == std::strtoul(a[2].c_str(), nullptr, 10), a[1] + " at " + a[2]);
    } else if (command == "focus") {
        Need(a, 1);
        HWND want = FindControl(a[1]);
        WaitFor([&] { return FocusOf(installer.dwThreadId) == want; }, 5000);
        HWND focus = FocusOf(installer.dwThreadId);
        Say("focus on %s", NameOf(focus).c_str());
        Expect(focus == want, "the focus is on " + a[1]);
    } else if (command == "exit") {
        Need(a, 1);
        if (WaitForSingleObject(installer.hProcess, 10000) != WAIT_OBJECT_0)
            Fail("the installer keeps running");
        DWORD code = 0;
        GetExitCodeProcess(installer.hProcess, &code);
        Say("exit code %lu", code);
        installerProcess = nullptr;
        Expect(code == std::strtoul(a[1].c_str(), nullptr, 10), "exit code " + a[1]);
    } else if (command == "wait-exit") {
        WaitForSingleObject(installer.hProcess, INFINITE);
        installerProcess = nullptr;
        Say("the installer ended");
    } else if (command == "same") {
        Need(a, 2);
        Expect(ReadFile(Ansi(a[1])) == ReadFile(Ansi(a[2])),
               Path(Ansi(a[1])) + " equals " + Path(Ansi(a[2])));
    } else if (command == "absent" || command == "present") {
        Need(a, 1);
        bool there = GetFileAttributesA(Ansi(a[1]).c_str()) != INVALID_FILE_ATTRIBUTES;
        Expect(there == (command == "present"),
               Path(Ansi(a[1])) + (there ? " exists" : " does not exist"));
    } else {
        Fail("unknown command " + command);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--desktop") == 0) {
        // Under Wine: later runs of uidriver, and the programs it starts,
        // share a virtual desktop of that size, where Wine draws window
        // frames (with close boxes) itself, as Windows does.
        HKEY key;
        RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Wine\\Explorer\\Desktops", &key);
        RegSetValueExA(key, argv[2], 0, REG_SZ, reinterpret_cast<const BYTE*>(argv[3]),
                       static_cast<DWORD>(std::strlen(argv[3]) + 1));
        RegCloseKey(key);
        RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\uidriver.exe\\Explorer",
                      &key);
        RegSetValueExA(key, "Desktop", 0, REG_SZ, reinterpret_cast<const BYTE*>(argv[2]),
                       static_cast<DWORD>(std::strlen(argv[2]) + 1));
        RegCloseKey(key);
        return 0;
    }
    if (argc < 2) {
        std::fprintf(stderr,
                     "usage: uidriver SCRIPT [NAME=VALUE...]\n"
                     "       uidriver --desktop NAME WIDTHxHEIGHT\n");
        return 2;
    }
    for (int i = 2; i < argc; ++i) {
        std::string pair = argv[i];
        std::size_t eq = pair.find('=');
        if (eq != std::string::npos) variables[pair.substr(0, eq)] = pair.substr(eq + 1);
    }
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    // Both without their trailing backslash, so that scripts write
    // $TEMP\name.
    variables["TEMP"] = std::string(temp).substr(0, std::strlen(temp) - 1);
    bool ownWork = !variables.count("WORK");
    if (ownWork) {
        // Fresh, even when a failed run left its folder behind.
        std::string work;
        for (unsigned n = GetCurrentProcessId();; ++n) {
            work = std::string(temp) + "uidriver-" + std::to_string(n);
            if (CreateDirectoryA(work.c_str(), nullptr)) break;
        }
        variables["WORK"] = work;
    }
    Say("code page %u, work folder %s", GetACP(), variables["WORK"].c_str());

    FILE* script = std::fopen(argv[1], "rb");
    if (script == nullptr) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 2;
    }
    char line[4096];
    while (std::fgets(line, sizeof line, script)) {
        ++currentLine;
        std::string text = line;
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
        std::vector<std::string> tokens = Tokens(text);
        if (!tokens.empty()) Run(tokens);
    }
    std::fclose(script);
    if (installerProcess != nullptr && WaitForSingleObject(installerProcess, 0) == WAIT_TIMEOUT) {
        Fail("the script ended with the installer still running");
    }
    if (ownWork) RemoveTree(variables["WORK"] + "\\");
    Say("PASS");
    return 0;
}
