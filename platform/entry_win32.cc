// The Windows process entry of the launcher: a GUI-subsystem program that
// opens no window and uses none of its entry arguments.
#include "launcher_run.h"
#include "platform.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return RunLauncher(); }
