// The exported entry point of libmeshgen.so. The progress-channel entry points
// (IO_FUNC_mp_vemto_*) come with this library's own copy of numlib.
#include "MesherRun.h"
#include "MeshgenArgs.h"

extern "C" __attribute__((visibility("default"))) void execute(const MeshgenArgs* args) {
  meshgen::ExecuteMesher(args);
}
