// A supernodal Cholesky factor of a stiffness-like matrix for the tests and the
// benchmark of the supernodal substitution: nine-node quadrilaterals on an
// nx × ny grid, two unknowns per node, each element adding a random symmetric
// positive definite 18 × 18 block (fixed seed), factorised by CHOLMOD with
// nested dissection.
#pragma once

#include <suitesparse/cholmod.h>

#include <cstdint>
#include <random>
#include <stdexcept>
#include <vector>

#include "SupernodalSubstitution.h"

namespace vemto::engine::testing {

class SupernodalFixture {
 public:
  SupernodalFixture(int nx, int ny, unsigned seed = 7) {
    cholmod_l_start(&common_);
    common_.supernodal = CHOLMOD_SUPERNODAL;
    common_.nmethods = 1;
    common_.method[0].ordering = CHOLMOD_NESDIS;
    common_.postorder = 1;
    const int gx = 2 * nx + 1, gy = 2 * ny + 1;
    n_ = 2 * gx * gy;
    cholmod_triplet* tr = cholmod_l_allocate_triplet(
        static_cast<std::size_t>(n_), static_cast<std::size_t>(n_),
        static_cast<std::size_t>(nx) * ny * 171 + static_cast<std::size_t>(n_), -1, CHOLMOD_REAL,
        &common_);
    auto* ti = static_cast<std::int64_t*>(tr->i);
    auto* tj = static_cast<std::int64_t*>(tr->j);
    auto* tx = static_cast<double*>(tr->x);
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    std::size_t k = 0;
    for (int ey = 0; ey < ny; ++ey)
      for (int ex = 0; ex < nx; ++ex) {
        std::int64_t dof[18];
        for (int a = 0; a < 9; ++a) {
          const int node = (2 * ey + a / 3) * gx + 2 * ex + a % 3;
          dof[2 * a] = 2 * node;
          dof[2 * a + 1] = 2 * node + 1;
        }
        // B^T B with B of 6 random rows: positive semidefinite, like an element stiffness.
        double b[6][18];
        for (auto& row : b)
          for (double& v : row) v = u(rng);
        for (int p = 0; p < 18; ++p)
          for (int q = 0; q <= p; ++q) {
            double s = 0.0;
            for (const auto& row : b) s += row[p] * row[q];
            ti[k] = std::max(dof[p], dof[q]);
            tj[k] = std::min(dof[p], dof[q]);
            tx[k++] = s;
          }
      }
    for (std::int64_t i = 0; i < n_; ++i) {  // make it definite
      ti[k] = tj[k] = i;
      tx[k++] = 0.5;
    }
    tr->nnz = k;
    a_ = cholmod_l_triplet_to_sparse(tr, 0, &common_);
    cholmod_l_free_triplet(&tr, &common_);
    factor_ = cholmod_l_analyze(a_, &common_);
    if (factor_ == nullptr || !cholmod_l_factorize(a_, factor_, &common_) || !factor_->is_super)
      throw std::runtime_error("factorisation failed");
  }
  ~SupernodalFixture() {
    cholmod_l_free_factor(&factor_, &common_);
    cholmod_l_free_sparse(&a_, &common_);
    cholmod_l_finish(&common_);
  }
  SupernodalFixture(const SupernodalFixture&) = delete;
  SupernodalFixture& operator=(const SupernodalFixture&) = delete;

  std::int64_t Rows() const { return n_; }
  /// Entries of the factor (CHOLMOD's count).
  double FactorEntries() const { return static_cast<double>(common_.lnz); }

  SupernodalFactorView View() const {
    SupernodalFactorView v;
    v.n = n_;
    v.nsuper = static_cast<std::int64_t>(factor_->nsuper);
    v.super = static_cast<const std::int64_t*>(factor_->super);
    v.pi = static_cast<const std::int64_t*>(factor_->pi);
    v.px = static_cast<const std::int64_t*>(factor_->px);
    v.s = static_cast<const std::int64_t*>(factor_->s);
    v.perm = static_cast<const std::int64_t*>(factor_->Perm);
    v.x = static_cast<const double*>(factor_->x);
    return v;
  }

  /// y = A x.
  std::vector<double> Multiply(const std::vector<double>& x) {
    std::vector<double> y(x.size(), 0.0);
    cholmod_dense xd{}, yd{};
    for (auto [d, v] : {std::pair{&xd, const_cast<double*>(x.data())}, std::pair{&yd, y.data()}}) {
      d->nrow = d->nzmax = d->d = x.size();
      d->ncol = 1;
      d->x = v;
      d->xtype = CHOLMOD_REAL;
      d->dtype = CHOLMOD_DOUBLE;
    }
    double alpha[2] = {1.0, 0.0}, beta[2] = {0.0, 0.0};
    cholmod_l_sdmult(a_, 0, alpha, beta, &xd, &yd, &common_);
    return y;
  }

 private:
  cholmod_common common_{};
  cholmod_sparse* a_ = nullptr;
  cholmod_factor* factor_ = nullptr;
  std::int64_t n_ = 0;
};

}  // namespace vemto::engine::testing
