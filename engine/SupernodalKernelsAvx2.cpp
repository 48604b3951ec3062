// The supernode kernels for processors with AVX2 and FMA. Only this file's own
// functions are compiled for them (the library headers come before the target
// pragma), and they run only where BestKernels found both.
#include <cstddef>
#include <cstring>
#include <type_traits>

#include "SupernodalKernels.h"

#if defined(__x86_64__) && defined(__GNUC__)
#pragma GCC push_options
#pragma GCC target("avx2,fma")
#define VEMTO_KERNEL_WIDTH 4
#else
#define VEMTO_KERNEL_WIDTH 2
#endif
#define VEMTO_KERNEL_NAMESPACE avx2
#define VEMTO_KERNEL_LABEL "avx2"
#include "SupernodalKernels.inc"
#if defined(__x86_64__) && defined(__GNUC__)
#pragma GCC pop_options
#endif

namespace vemto::engine::supernodal {

const Kernels& Avx2Kernels() {
  return avx2::kKernels;
}

}  // namespace vemto::engine::supernodal
