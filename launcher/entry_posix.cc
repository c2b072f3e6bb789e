// The POSIX process entry of the launcher. Its arguments go to the program
// it starts when the payload asks for that.
#include <malloc.h>

#include "launcher/launcher_run.h"
#include "platform/process.h"

int main(int argc, char** argv) {
  platform::SetOwnArguments(argc - 1, argv + 1);
  // Unpacking allocates and frees buffers of a few hundred kilobytes all the
  // way through (compressed blocks, decoded rings, libbz2's arrays). glibc
  // would raise its mmap threshold at the first such free and serve the
  // later ones from the heap, where they fragment, so that the peak grows
  // with the payload's length. A fixed threshold maps each one and hands it
  // back to the system when freed: the peak stays what is live at once.
  mallopt(M_MMAP_THRESHOLD, 128 << 10);
  return RunLauncher();
}
