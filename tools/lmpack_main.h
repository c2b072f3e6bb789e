// lmpack's whole run: the command line parsed and carried out, the error
// reported on stderr. Returns the process's exit code. The program's
// operator new (platform/memory.h) is the caller's to link.
#ifndef LM_TOOLS_LMPACK_MAIN_H_
#define LM_TOOLS_LMPACK_MAIN_H_

int LmpackMain(int argc, char** argv);

#endif  // LM_TOOLS_LMPACK_MAIN_H_
