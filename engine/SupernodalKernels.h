// The inner loops of the supernodal substitution: one supernode forward (L y = b)
// or backward (Lᵀ x = y), for factor entries in double or single precision. They
// are compiled twice, for every x86-64 (two doubles per vector) and for processors
// with AVX2 and FMA (four doubles per vector); the substitution takes the best the
// processor has, the same for every thread, so that the bits of a solution do not
// depend on the number of threads.
#pragma once

#include <cstdint>
#include <type_traits>

namespace vemto::engine::supernodal {

using Index = std::int64_t;

/// The parts of a supernodal factor and of the substitution's state the kernels
/// use (see SupernodalFactorView for the layout of super, pi and s).
struct Factor {
  const Index* super = nullptr;
  const Index* pi = nullptr;
  const Index* s = nullptr;
  double* w = nullptr;                    ///< the permuted right-hand side / solution
  const double* recip = nullptr;          ///< 1 / pivot of each column
  const std::int32_t* topSlot = nullptr;  ///< per column: its place among the top rows, or −1
};

/// Forward step of supernode sn with entries v: solves its columns in w, and subtracts
/// their contributions from the rows below in w, or for top rows from `top` when it
/// is given (a bin's subtree). `t` is workspace of at least the supernode's rows.
/// `fetched` is how far ahead the entries have been asked for (null at the start of
/// a run of supernodes).
template <class T>
using ForwardKernel = void (*)(const Factor& f, Index sn, const T* v, double* t, double* top,
                               const char*& fetched);
/// Backward step of supernode sn with entries v (the rows below already solved).
template <class T>
using BackwardKernel = void (*)(const Factor& f, Index sn, const T* v, double* t,
                                const char*& fetched);

/// The kernels of one instruction set.
struct Kernels {
  ForwardKernel<double> forwardDouble;
  ForwardKernel<float> forwardSingle;
  BackwardKernel<double> backwardDouble;
  BackwardKernel<float> backwardSingle;
  const char* name;  ///< "generic" or "avx2"

  template <class T>
  ForwardKernel<T> Forward() const {
    if constexpr (std::is_same_v<T, float>)
      return forwardSingle;
    else
      return forwardDouble;
  }
  template <class T>
  BackwardKernel<T> Backward() const {
    if constexpr (std::is_same_v<T, float>)
      return backwardSingle;
    else
      return backwardDouble;
  }
};

/// Two doubles per vector: every x86-64.
const Kernels& GenericKernels();
/// Four doubles per vector with fused multiply-add: only where the processor has
/// AVX2 and FMA.
const Kernels& Avx2Kernels();
/// The AVX2 kernels where the processor has them, else the generic ones.
const Kernels& BestKernels();

}  // namespace vemto::engine::supernodal
