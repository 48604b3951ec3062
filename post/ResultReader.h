// The one reader of result databases: the mesh, the stored times, every stored field,
// which elements exist at a stored time (cast and not yet removed), values inside an
// element from its shape functions, and histories at a point or over a rectangle.
// Used by the result library, the command line and the temperature transfer. No Qt.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "QuadMesh.h"

namespace numlib {
class DataFileReader;
}

namespace vemto::post {

/// A result database that cannot be read or used; what() names the file and the defect.
class ResultError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// A point of a history or a rectangle that lies outside the section.
class OutsideError : public ResultError {
 public:
  OutsideError(const std::string& what, double distance) : ResultError(what), distance_(distance) {}
  /// Distance from the point to the section, m.
  double Distance() const { return distance_; }

 private:
  double distance_;
};

/// The fields of a storage event.
enum class Field {
  Temperature,          ///< T, nodal, °C
  HeatFlow,             ///< Q, nodal boundary heat flow, W/m, positive into the body
  Maturity,             ///< M, Gauss points, s
  Hydration,            ///< A, Gauss points, degree of hydration 0..1
  Pipe,                 ///< P, 153 rows per pipe
  Displacement,         ///< U, nodal x and y, m
  SupportForce,         ///< F, nodal x and y, N/m
  Stress,               ///< S, Gauss points σx, σy, τxy, σz, Pa (tension positive)
  Ratio,                ///< R, Gauss points, stress/strength ratio
  TensileStrength,      ///< D, Gauss points, Pa
  CompressiveStrength,  ///< C, Gauss points, Pa
};

/// What is known of a field: its letter in the database, where it lives and its unit.
struct FieldInfo {
  char letter;
  bool nodal;      ///< values per node (else per Gauss point)
  int components;  ///< stored values per node or Gauss point
  const char* name;
  const char* unit;
};
const FieldInfo& Info(Field field);
/// The field of a database letter (case-insensitive), if any.
std::optional<Field> FieldFromLetter(char letter);

/// Stress components as selected for drawing and histories: the four stored ones,
/// then the largest and smallest principal stress in the plane.
enum StressComponent { kSx = 0, kSy = 1, kTxy = 2, kSz = 3, kS1 = 4, kS2 = 5 };

/// Principal stresses (σ1 ≥ σ2) of a plane stress state, Pa.
void Principal(double sx, double sy, double txy, double& s1, double& s2);

/// How a history reduces a field at each stored time.
enum class Reduce {
  Point,  ///< value at a point, from its element's shape functions
  Mean,   ///< area mean over the part of a rectangle that exists at that time
  Max,    ///< largest value in the rectangle
  Min,    ///< smallest value in the rectangle
  Sum,    ///< sum of nodal values in the rectangle (heat flows, support forces)
};

/// A history: one entry per stored time; values are NaN where nothing exists.
struct Series {
  std::vector<double> seconds;  ///< stored times, s
  std::vector<double> values;
  std::string where;  ///< what the values were taken at, for captions
};

class ResultReader {
 public:
  /// Opens and checks the database: mesh, materials and stored times. Throws ResultError.
  explicit ResultReader(const std::string& fileName);
  ~ResultReader();
  ResultReader(const ResultReader&) = delete;
  ResultReader& operator=(const ResultReader&) = delete;

  const std::string& FileName() const { return fileName_; }
  /// The eight-node elements of the mesh (0-based node indices).
  const QuadMesh& Mesh() const { return mesh_; }
  /// 1 plane stress, 2 plane strain, 3 axisymmetric.
  int AnalysisType() const { return analysisType_; }
  /// The problem title.
  const std::string& Title() const { return title_; }
  /// Whether the run ended normally (the list of storage times is present).
  bool EndedNormally() const { return endedNormally_; }
  /// Number of storage events with a known time.
  std::size_t StoredCount() const { return seconds_.size(); }
  /// Time of storage event k (0-based), s.
  double Seconds(std::size_t k) const { return seconds_.at(k); }
  /// Time of storage event k (0-based), h.
  double Hours(std::size_t k) const { return seconds_.at(k) / 3600.0; }
  const std::vector<double>& Seconds() const { return seconds_; }
  /// The storage event at `hours` within `toleranceHours`, if any.
  std::optional<std::size_t> FindTime(double hours, double toleranceHours) const;
  /// The storage event nearest to `hours` (requires StoredCount() > 0).
  std::size_t NearestTime(double hours) const;

  /// Whether event k holds the field.
  bool Has(Field field, std::size_t k) const;
  /// Whether any event holds the field.
  bool HasAny(Field field) const;
  /// The values of a field at event k (layout of the database), or nothing when the
  /// event does not hold it. Throws ResultError when the size does not fit the mesh.
  std::optional<std::vector<double>> Read(Field field, std::size_t k) const;

  /// Whether element e exists at time t (s): cast and not yet removed (tolerance 1e-6 s).
  bool ElementActive(std::size_t e, double seconds) const;
  /// Per element: exists at event k.
  std::vector<char> ActiveElements(std::size_t k) const;
  /// Per node: belongs to an existing element.
  std::vector<char> ActiveNodes(const std::vector<char>& activeElements) const;
  /// Sides of existing elements that no other existing element shares, as (element,
  /// side 0 … 3 from corner side to corner side + 1): the outline of the section at an
  /// activity. The last outline is kept, since activity changes only at casting and
  /// removal times while every redraw asks for it.
  std::vector<std::pair<std::size_t, int>> Outline(const std::vector<char>& activeElements) const;
  /// Whether element e is of a material with heat development (concrete).
  bool IsConcrete(std::size_t e) const;
  /// Material of element e (0-based) and the number of materials.
  int Material(std::size_t e) const { return material_.at(e); }
  int MaterialCount() const { return static_cast<int>(castTime_.size()); }
  /// Number of pipes (pipe conditions).
  int PipeCount() const { return pipeCount_; }

  /// Component c of the field inside element e at local point (ξ, η): nodal fields from
  /// the eight shape functions, Gauss-point fields bilinear through the four points.
  /// Stress components follow StressComponent.
  double ValueIn(Field field, const std::vector<double>& values, int component, std::size_t e,
                 double xi, double eta) const;
  /// The value of component c at Gauss point g (0..3) of element e.
  double GaussValue(Field field, const std::vector<double>& values, int component, std::size_t e,
                    int g) const;

  /// Where a point lies: its element, or the nearest element with the distance.
  PointLocation Locate(double x, double y) const;

  /// History of component c of a field. Point: at (x1, y1) — outside the section it is
  /// an OutsideError giving the distance, unless `nearest` takes the nearest point of
  /// the section. Rectangles: the corners (x1, y1) and (x2, y2) in any order.
  Series History(Field field, int component, Reduce reduce, double x1, double y1, double x2,
                 double y2, bool nearest = false) const;
  /// One pipe result over time: row 1 inflow temperature, 2 outflow temperature, 3 flow.
  Series PipeHistory(int pipe, int row) const;

 private:
  double Component(Field field, const std::vector<double>& values, int component, std::size_t e,
                   int g, std::size_t node, bool atNode) const;

  std::string fileName_;
  std::unique_ptr<numlib::DataFileReader> file_;
  mutable std::mutex outlineMutex_;  // guards the two below
  mutable std::vector<char> outlineActive_;
  mutable std::vector<std::pair<std::size_t, int>> outline_;
  QuadMesh mesh_;
  std::unique_ptr<MeshLocator> locator_;
  std::string title_;
  int analysisType_ = 0;
  bool endedNormally_ = false;
  std::vector<double> seconds_;
  std::vector<int> material_;  // per element, 0-based
  std::vector<double> castTime_, removalTime_;
  std::vector<char> concrete_;  // per material
  int pipeCount_ = 0;
};

}  // namespace vemto::post
