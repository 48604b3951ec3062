// Boundary conditions onto the mesh.
//
// Edge and area positions name super nodes; before meshing each one is tied to
// one finite super element (and side). While a super element is meshed its tied
// positions are expanded into element edges, elements or grid nodes. After
// meshing, nodal and pipe positions, given by coordinates, are tied to the
// nearest corner node of an eight-node element.
//
// All tables are plain 32-bit integer arrays laid out as the named matrices of
// the mesher (records one after the other); super elements are numbered in the
// rearranged order, nodes by creation, conditions from 1.
#pragma once

#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "FatalStop.h"

namespace meshgen {

/// A mapping failure; what() is the mesher's error text (leading blank included).
class MappingError : public numlib::FatalStop {
 public:
  explicit MappingError(const std::string& text) : numlib::FatalStop(text) {}
};

/// Super elements in the rearranged order (matrices DUM1, DUM2, DUM3, DUM6).
struct SuperElementTable {
  std::span<const int> nodes;    ///< 8 super nodes each, counter-clockwise, corners at 1, 3, 5, 7
  std::span<const int> rows;     ///< element rows R (divisions between sides 1 and 3)
  std::span<const int> columns;  ///< element columns C (divisions between sides 4 and 2)
  std::span<const int> type;     ///< element type: 5 finite, 2 infinite strip, 1 infinite corner
  int Count() const { return static_cast<int>(rows.size()); }
};

/// The generated mesh, creation numbering (XNOD, YNOD, NCON, ITY).
struct MeshTable {
  int nodeCount = 0;          ///< nodes 1 … nodeCount
  std::span<const double> x;  ///< node x in m (at least nodeCount entries)
  std::span<const double> y;  ///< node y in m
  int elementCount = 0;       ///< elements 1 … elementCount
  std::span<const int> ncon;  ///< 8 node numbers per element (NCON)
  std::span<const int> type;  ///< element type per element (ITY); 5 = eight-node
};

/// Mode of TieEdgePositions: count element edges or grid nodes along the sides.
enum class EdgeCount { kEdges = 0, kNodes = 1 };

/// Ties `count` edge positions (p, q, condition; 3 ints each) to a side of the
/// first type 5 super element that has p and q as the ends of a side, in either
/// order. Writes (super element, side 1…4, condition) into `tied` (3 per
/// position) and the number of element edges (kEdges) or grid nodes (kNodes)
/// on the tied sides into `expandedCount`. Throws MappingError for a condition
/// number outside 1 … nConditions or a position without a matching side.
void TieEdgePositions(std::span<const int> positions, int count, const SuperElementTable& se,
                      std::span<int> tied, int& expandedCount, int nConditions, EdgeCount mode);

/// Ties `count` area positions (n1 … n4, condition; 5 ints each) to the first
/// type 5 super element whose corners are n1 … n4 in counter-clockwise order
/// from any start corner. Writes (super element, condition) into `tied` and the
/// number of elements of the tied super elements into `expandedCount`.
void TieAreaPositions(std::span<const int> positions, int count, const SuperElementTable& se,
                      std::span<int> tied, int& expandedCount, int nConditions);

/// Node-number grid of the super element being meshed (NN): `rows` × `columns`
/// grid points row after row, row 1 on side 3, column 1 on side 4.
struct NodeGrid {
  std::span<const int> nodes;
  int rows = 0;                       ///< 2R + 1 for an eight-node super element
  int columns = 0;                    ///< 2C + 1
  int At(int row, int column) const;  ///< 1-based grid point
};

/// Appends (a, mid, b, condition) for every element edge on the side of each
/// of the `nTied` edge positions tied to super element `s`, counter-clockwise.
/// `expanded` holds 4 ints per record; `count` is the number of records so far.
void ExpandEdges(std::span<const int> tied, int nTied, const NodeGrid& grid, int s,
                 std::span<int> expanded, int& count);

/// Appends (8 element nodes in NCON order, condition) for every element of `s`
/// for each area position tied to it; element rows from the top, left to right.
void ExpandAreas(std::span<const int> tied, int nTied, const NodeGrid& grid, int s,
                 std::span<int> expanded, int& count);

/// Appends (node, condition) for every grid node on the side of each edge
/// position tied to `s` (sides 1 and 3 from column 1, sides 2 and 4 from row 1).
void ExpandEdgeNodes(std::span<const int> tied, int nTied, const NodeGrid& grid, int s,
                     std::span<int> expanded, int& count);

/// Ties `count` nodal positions (condition numbers `conditions`, coordinates
/// x, y pairs in `xy`, m) to the nearest corner node of an eight-node element;
/// ties keep the node met first in element order. Writes (node, condition)
/// into `mapped`. Throws MappingError for a condition outside 1 … nConditions,
/// non-finite coordinates or a mesh without eight-node elements.
void MapNodalPositions(int count, std::span<const int> conditions, std::span<const double> xy,
                       int nConditions, const MeshTable& mesh, std::span<int> mapped);

/// Highest part number along one cooling pipe (the engine keeps 75 parts).
inline constexpr int kMaxPipeParts = 75;

/// Pipe data per element (MWT, 3 ints per element): clears the records of
/// eight-node elements, then for each pipe position ((condition, part) pairs in
/// `condPart`, coordinates in `xy`) finds the nearest corner node and gives every
/// eight-node element with that node at corner position 1, 3, 5 or 7 the record
/// (that position, condition, part); later positions overwrite earlier ones.
/// Throws MappingError for a condition outside 1 … nPipeConds, a part outside
/// 1 … kMaxPipeParts, non-finite coordinates or a mesh without eight-node elements.
void MapPipePositions(int count, std::span<const int> condPart, std::span<const double> xy,
                      int nPipeConds, const MeshTable& mesh, std::span<int> mwt);

/// Throws MappingError naming the pipe (condition), its part and the element when a pipe
/// of diameter d does not fit into an element of the filled `mwt`: seen from the pipe's
/// corner, each neighbouring mid-side node must lie outside the pipe by at least 5 % of
/// the way from the pipe wall to the next corner (the element is cut into two
/// sub-elements between wall and sides). `pipeConds` holds the pipe records
/// (MESHGEN_PIPE_RECORD reals each, the diameter (m) third).
void CheckPipeRoom(std::span<const double> pipeConds, int nPipeConds, const MeshTable& mesh,
                   std::span<const int> mwt);

/// The pipe positions (1-based, in position order) whose (condition, part) no element
/// carries in the filled `mwt`: later positions took all their elements.
std::vector<int> PipePositionsWithoutElements(int count, std::span<const int> condPart,
                                              const MeshTable& mesh, std::span<const int> mwt);

}  // namespace meshgen
