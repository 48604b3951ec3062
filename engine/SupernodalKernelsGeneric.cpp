// The supernode kernels for every x86-64, and the choice of kernels.
#include <cstddef>
#include <cstring>
#include <type_traits>

#include "SupernodalKernels.h"

#define VEMTO_KERNEL_WIDTH 2
#define VEMTO_KERNEL_NAMESPACE generic
#define VEMTO_KERNEL_LABEL "generic"
#include "SupernodalKernels.inc"

namespace vemto::engine::supernodal {

const Kernels& GenericKernels() {
  return generic::kKernels;
}

const Kernels& BestKernels() {
#if defined(__x86_64__) && defined(__GNUC__)
  static const bool avx2 = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
  if (avx2) return Avx2Kernels();
#endif
  return GenericKernels();
}

}  // namespace vemto::engine::supernodal
