// lmpack: turns a folder into one setup executable (a launcher with the
// folder appended as its payload), and lists, verifies or extracts such
// executables.
#include "tools/lmpack_main.h"

int main(int argc, char** argv) { return LmpackMain(argc, argv); }
