// The installer's entry point. Every path ends with exit code 0.
#include <windows.h>

#include <exception>

#include "app/Form1.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    try {
        vcl::Application->Initialize();
        vcl::Application->CreateForm(Form1);
        vcl::Application->Run();
    } catch (...) {
        vcl::Application->HandleException();
    }
    return 0;
}
