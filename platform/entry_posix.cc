// The POSIX process entry of the launcher. Its arguments are not used.
#include "launcher_run.h"

int main() { return RunLauncher(); }
