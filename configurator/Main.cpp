// KestraneOvrixConfig's entry point: the one application object runs the program.
#include <windows.h>

#include "configurator/App.h"

CMorvelAppApp theApp;

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return theApp.Run(); }
