// Temperatures and maturities of another model, averaged over the elements of this
// model: reading the other model's result database and this model's analysis data
// file, and writing the temperature-and-maturity file the engine reads.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "QuadMesh.h"

namespace vemto::tmfetch {

using post::JacobianDeterminant;
using post::kGauss;
using post::MapPoint;
using post::MeshLocator;
using post::PointLocation;
using post::QuadMesh;

/// A file that cannot be used; what() names the file and the defect.
class TransferError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// The stored temperature and maturity fields of a result database.
struct SourceResults {
  QuadMesh mesh;                       ///< nodes and eight-node elements
  std::vector<double> times;           ///< storage times, s
  std::vector<std::vector<double>> T;  ///< per time: nodal temperatures, °C
  std::vector<std::vector<double>> M;  ///< per time: maturity at 4 Gauss points per element
};

/// Reads a result database. Throws TransferError when it cannot be read, holds no
/// temperature and maturity fields (its model did not simulate temperature), has no
/// storage times (its run did not end normally) or refers to nodes it does not have.
SourceResults ReadSourceResults(const std::string& resultFile);

/// Reads the nodes and eight-node elements of an analysis data file. Throws
/// TransferError naming the file, the line and the defect.
QuadMesh ReadTargetMesh(const std::string& dataFile);

/// Temperature (°C) and maturity at a located point of the source: temperature from
/// the element's nodal values, maturity from its four Gauss-point values (bilinear,
/// limited to their range).
void ValuesAt(const SourceResults& source, std::size_t time, const PointLocation& at,
              double& temperature, double& maturity);

/// Per element of `target`, per stored time: the mean temperature and maturity over
/// the element (its 2 × 2 Gauss points weighted with det J). Result [time][2·e + 0/1].
std::vector<std::vector<double>> ElementMeans(const SourceResults& source, const QuadMesh& target);

/// The whole transfer: writes `dtmFile` (one block per stored time: the time, then one
/// line per element with its mean temperature and maturity). The file is written under
/// a temporary name and renamed when complete; on failure no file is left behind and
/// an existing one stays as it was.
void ReadMean(const std::string& resultFile, const std::string& dataFile,
              const std::string& dtmFile);

}  // namespace vemto::tmfetch
