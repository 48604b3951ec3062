// Forward and backward substitution with a supernodal Cholesky factor
// A = P L Lᵀ Pᵀ (CHOLMOD's layout), on up to two threads.
//
// The supernodal elimination tree is cut into a top part (the separators near the
// root) and subtrees that do not touch each other, dealt into two bins of about
// equal size. A bin's updates of the top rows are gathered in its own buffer and
// added in bin order, so the result is the same bits for any number of threads.
//
// In double precision the factor's entries are read where CHOLMOD keeps them (the
// direct solution). In single precision they are rounded to float and packed to
// the lower trapezoid of each supernode (written over the factor's own entries, or
// into a copy), so that a substitution streams less than half the bytes: the
// preconditioner of the stress step's conjugate gradients. The arithmetic is in
// double precision in both; the rounding changes the preconditioner by a relative
// 6e-8, far less than the stiffness changes between factorisations, and not the
// solution the iterations converge to.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "SupernodalKernels.h"

namespace vemto::engine {

class WorkerPool;

/// A supernodal factor as CHOLMOD holds it (64-bit indices, 0-based): supernode s
/// covers columns super[s] … super[s+1]−1; its row indices are s[pi[s] … pi[s+1]−1]
/// (the supernode's own columns first, then the rows below, ascending), its entries
/// x[px[s] …] column by column, pi[s+1]−pi[s] per column; perm is the fill-reducing
/// permutation (null: identity).
struct SupernodalFactorView {
  std::int64_t n = 0;       ///< order of the matrix
  std::int64_t nsuper = 0;  ///< number of supernodes
  const std::int64_t* super = nullptr;
  const std::int64_t* pi = nullptr;
  const std::int64_t* px = nullptr;
  const std::int64_t* s = nullptr;
  const std::int64_t* perm = nullptr;
  const double* x = nullptr;
};

class SupernodalSubstitution {
 public:
  /// Number of bins the subtrees are dealt into (the most threads that can work).
  static constexpr int kBins = 2;
  enum class Precision {
    kDouble,  ///< the factor's own entries (kept by reference)
    kSingle,  ///< packed float copies of them
  };

  /// Takes `f` and cuts its elimination tree into bins. The factor's arrays are
  /// kept by reference and must stay until the next Build or Clear. In single
  /// precision with `overwrite` = f.x, the packed floats are written over the
  /// factor's own entries (no copy; the factor is then good for nothing else).
  /// False (and nothing kept or written) when `f` is incomplete, a pivot is not
  /// positive, or (single precision) an entry is beyond the range of float.
  bool Build(const SupernodalFactorView& f, Precision precision, double* overwrite = nullptr);
  /// Forgets the factor.
  void Clear();
  /// Whether a factor is kept.
  bool Ready() const { return f_.n > 0; }

  /// z = A⁻¹ r (r and z of order n; they may be the same vector); on `pool` when
  /// given, the bits of z not depending on its number of threads. Allocates nothing.
  void Apply(const double* r, double* z, WorkerPool* pool);

  /// The kernels of the substitutions (by default the best the processor has); for
  /// tests and benchmarks that compare instruction sets.
  void SetKernels(const supernodal::Kernels& k) { kernels_ = &k; }
  const supernodal::Kernels& Kernels() const { return *kernels_; }

  /// Bytes held (the factor's own arrays not counted).
  std::size_t Bytes() const;
  /// Share of the factor's entries in the top part (substituted on one thread).
  double TopShare() const;

 private:
  template <class T>
  void Substitute(const double* r, double* z, WorkerPool* pool);
  template <class T>
  const T* Entries(std::int64_t sn) const;

  const supernodal::Kernels* kernels_ = &supernodal::BestKernels();
  SupernodalFactorView f_;
  Precision precision_ = Precision::kDouble;
  std::vector<std::size_t> start_;     // single: first packed entry of each supernode
  std::vector<float> singleCopy_;      // single: packed lower trapezoids, column by column
  const float* single_ = nullptr;      // those, in singleCopy_ or over the factor's entries
  std::vector<std::int32_t> topSlot_;  // per column: its place in topColumns_, or −1
  std::vector<std::int64_t> topColumns_, topSupers_;
  // Each bin's subtrees as supernode ranges [first, last], in ascending order.
  std::array<std::vector<std::array<std::int64_t, 2>>, kBins> bins_;
  std::array<std::vector<double>, kBins> binTop_;  // a bin's updates of the top columns
  std::array<std::vector<double>, kBins> binT_;    // a bin's gather workspace
  std::vector<double> w_;                          // the permuted solution
  std::vector<double> recip_;                      // 1 / pivot of each column
  double topShare_ = 0.0;
  // Scratch of Build (kept, so that a factor of the same structure allocates nothing).
  std::vector<std::size_t> scratchWork_, scratchSubtree_;
  std::vector<std::int64_t> scratchOwner_, scratchParent_, scratchFirst_, scratchSize_,
      scratchCandidates_, scratchChildStart_, scratchChildList_;
  std::vector<char> scratchTop_;
};

}  // namespace vemto::engine
