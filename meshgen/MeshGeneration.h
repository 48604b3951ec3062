// Super-element mesh generation.
//
// The mesher turns the super elements of the model into the finite-element mesh in
// four stages, all on named matrices of the work array:
//
//   1. RearrangeSuperElements  order the super elements so that each one touches an
//                              earlier one (breadth-first over shared corner nodes);
//   2. FindInputConnectivity   the neighbour across every side (JT1) and the sides
//                              where finite and infinite super elements meet (JTIK);
//   3. MeshRegions             per super element: grid, nodes taken over from meshed
//                              neighbours, new nodes, condition hook, side node lists,
//                              elements;
//   4. finishing               NCN, FindCommonBoundaries (mixed runs), ReduceBandwidth.
//
// Conventions: every table is a 1-based, column-major numlib matrix view. Super
// elements are numbered in the new order of stage 1 ("position"); ICROSS maps a
// position to the input index. Nodes and elements are numbered from 1 in the order of
// creation; NCON, XNOD and YNOD always keep this numbering, the renumbering of
// ReduceBandwidth only fills JNT/JMEM. Every failure throws numlib::FatalStop with the
// error line (leading blanks included); the entry point reports it with code 1000.
#pragma once

#include <cstdint>
#include <functional>

#include "MeshgenArgs.h"
#include "WorkStorage.h"

namespace meshgen {

using numlib::IntegerMatrix;
using numlib::RealMatrix;

/// Element type codes.
inline constexpr int kTypeFinite = MESHGEN_TYPE_FINITE;                     ///< 8-node
inline constexpr int kTypeInfiniteSurface = MESHGEN_TYPE_INFINITE_SURFACE;  ///< 4/5-node
inline constexpr int kTypeInfiniteCorner = MESHGEN_TYPE_INFINITE_CORNER;    ///< 3-node

/// A type above 2 counts as finite, 2 or less as infinite.
inline bool IsFinite(int type) {
  return type > 2;
}

/// Progress texts of the meshing stages.
inline constexpr const char* kTextRearranging = "REARRANGING SUPER ELEMENTS";
inline constexpr const char* kTextConnectivity = "FINDING INPUT CONNECTIVITY.";
inline constexpr const char* kTextMeshing = "MESHING REGIONS";
inline constexpr const char* kTextCreatingNodes = "CREATING NODES.";
inline constexpr const char* kTextCommonBoundaries = "FINDING COMMON BOUNDARIES.";

/// Error lines of the meshing stages.
inline constexpr const char* kErrNotConnected = " SOME ELEMENTS ARE NOT CONNECTED.";
inline constexpr const char* kErrConnectivity =
    "               INPUT ERROR IN CONNECTIVITY, PROGRAM TERMINATED";
/// The two-line capacity texts, carried in one line: the second line follows the first
/// with its own 15-blank indent.
inline constexpr const char* kErrTooManyNodes =
    "               NUMBER OF GENERATED NODES EXCEEDS ALLOWABLE"
    "               PROGRAM TERMINATED";
inline constexpr const char* kErrTooManyElements =
    "               NUMBER OF GENERATED ELEMENTS EXCEEDS ALLOWABLE"
    "               PROGRAM TERMINATED";

/// Size estimates of a run, computed from the arguments before any meshing.
struct MeshSizes {
  std::int32_t maxSidePoints = 0;    ///< NN: largest number of grid points on one side
  std::int32_t nodeCapacity = 0;     ///< NT: estimated node count (never below the result)
  std::int32_t elementCapacity = 0;  ///< NE: estimated element count (exact)
  bool mixed = false;                ///< not all super elements have the same type
};

/// The sizing step. Throws FatalStop(" PROBLEM TOO LARGE.") when an estimate does not
/// fit a 32-bit count. Expects validated rows/columns (>= 1).
MeshSizes EstimateMeshSizes(const MeshgenArgs& args);

/// The super elements in the new order (matrices ICROSS, DUM1 ... DUM6, IUSED).
struct SuperElementTables {
  IntegerMatrix order;     ///< ICROSS (n x 1): input index (1-based) at each position
  IntegerMatrix nodes;     ///< DUM1 (8 x n): super-node numbers, counter-clockwise
  IntegerMatrix rows;      ///< DUM2 (1 x n): element rows R
  IntegerMatrix columns;   ///< DUM3 (1 x n): element columns C
  IntegerMatrix nodeCode;  ///< DUM4 (1 x n): 1 eight super nodes, 2 four
  IntegerMatrix material;  ///< DUM5 (1 x n): material number
  IntegerMatrix type;      ///< DUM6 (1 x n): element type 5, 2 or 1
  IntegerMatrix used;      ///< IUSED (1 x n): placed marks of the rearranging step
  std::int32_t count = 0;  ///< number of super elements
};

/// The mesh and the work tables of stages 2-4 (matrices of the run's step 8).
struct MeshTables {
  IntegerMatrix grid;           ///< NN (NN^2 x 1): node numbers of the current grid, 0 = none
  RealMatrix x;                 ///< XNOD (NT): node x, m
  RealMatrix y;                 ///< YNOD (NT): node y, m
  IntegerMatrix ncon;           ///< NCON (8 x NE): element nodes, counter-clockwise
  IntegerMatrix ncn;            ///< NCN (NE): nodes used in NCON
  IntegerMatrix material;       ///< MAT (NE): material number
  IntegerMatrix region;         ///< REGION (NE): super element (position in the new order)
  IntegerMatrix jnt;            ///< JNT (NT): new number of each creation-numbered node
  IntegerMatrix jmem;           ///< JMEM (NT): degree, then creation number of each new number
  IntegerMatrix newjt;          ///< NEWJT (NT): visiting order of a trial
  IntegerMatrix joint;          ///< JOINT (NT): numbers of a trial
  IntegerMatrix jte;            ///< JTE (NE): side on a finite/infinite interface, 0 = none
  IntegerMatrix ity;            ///< ITY (NE): element type
  IntegerMatrix sideNodes;      ///< NNRB (NN * 4 * n): node numbers along every side
  IntegerMatrix neighbour;      ///< JT1 (4 x n): super element across each side, 0 = none
  IntegerMatrix interfaceSide;  ///< JTIK (4 x n): k if side k joins finite and infinite

  MeshSizes sizes;                ///< the estimates the tables were sized with
  std::int32_t nodeCount = 0;     ///< nodes created
  std::int32_t elementCount = 0;  ///< elements created
  std::int32_t bandwidth = 0;     ///< largest node-number difference in one element
  bool renumbered = false;        ///< JNT/JMEM hold a better numbering

  std::int32_t gridRows = 0;     ///< Rg + 1 of the super element being meshed
  std::int32_t gridColumns = 0;  ///< Cg + 1 of the super element being meshed

  /// Node number at grid point (row, column) of the super element being meshed.
  std::int32_t& GridNode(std::int32_t row, std::int32_t column) const {
    return grid((static_cast<std::int64_t>(row) - 1) * gridColumns + column);
  }
  /// Entry i of the side list of side k of super element s (NNRB).
  std::int32_t& SideNode(std::int32_t s, std::int32_t k, std::int32_t i) const {
    return sideNodes(((static_cast<std::int64_t>(s) - 1) * 4 + (k - 1)) * sizes.maxSidePoints + i);
  }
};

/// Sends an information text of the run (the progress channel in the library).
using InfoSink = std::function<void(const char* text)>;

/// Called by MeshRegions for super element s (new order) once its nodes exist and
/// before its side lists and elements are stored: the grid of s is in
/// tables.GridNode (tables.gridRows x tables.gridColumns). The hook maps the
/// conditions of s onto the mesh and throws FatalStop on failure.
using SuperElementHook = std::function<void(std::int32_t s, const MeshTables& tables)>;

/// Stage 1. Fills ICROSS, IUSED and DUM1 ... DUM6 from the arguments, then turns the
/// corner elements (OrientCornerElements). Sends kTextRearranging per position. Throws
/// FatalStop(kErrNotConnected). Expects validated super-element data (node numbers
/// within range).
void RearrangeSuperElements(const MeshgenArgs& args, SuperElementTables& se, const InfoSink& info);

/// Turns every three-node corner super element (type 1) in DUM1 so that its first corner
/// is the one on the finite mesh: the corner that is, or lies within 1e-6 m of, a super
/// node of a finite super element. The three-node element starts at that corner, and the
/// corner opposite it (the one without a node) points away from the finite mesh. Throws
/// FatalStop naming the super element (input number) when not exactly one corner is on
/// the finite mesh. Runs without finite super elements are left as they are.
void OrientCornerElements(const MeshgenArgs& args, SuperElementTables& se);

/// Corner and mid-side super nodes of side k (1 ... 4) of super element s.
struct SideNodes {
  std::int32_t start, mid, end;
};
SideNodes SuperElementSide(const SuperElementTables& se, std::int32_t s, std::int32_t k);

/// Whether side k of s and side m of t are one side (opposite directions; mid-side
/// nodes compared when both have eight super nodes).
bool SidesMatch(const SuperElementTables& se, std::int32_t s, std::int32_t k, std::int32_t t,
                std::int32_t m);

/// Stage 2. Fills JT1 and JTIK. Sends kTextConnectivity per side.
void FindInputConnectivity(const SuperElementTables& se, MeshTables& mesh, const InfoSink& info);

/// Stage 3. Meshes every super element in the new order (nodes, side lists, elements)
/// and calls hook (if set) per super element. Uses the super-node coordinates of args.
/// Throws FatalStop with kErrConnectivity, kErrTooManyNodes, kErrTooManyElements or
/// when two neighbours have different divisions along their common side.
void MeshRegions(const MeshgenArgs& args, const SuperElementTables& se, MeshTables& mesh,
                 const InfoSink& info, const SuperElementHook& hook);

/// After stage 3: wherever a side of one super element runs along a side of another
/// (two or more nodes of the one within a small distance of the other: 1e-4 of the
/// side's chord, at least 1e-6 m) without the two being one side of the input, every
/// node of each side on the stretch must be a node of the other side in the same role
/// (corner or mid-side of its element edge). Otherwise the meshes would meet with
/// hanging nodes: throws FatalStop(" SUPER ELEMENTS a AND b DO NOT SHARE THEIR NODES
/// ALONG A COMMON SIDE") with both input numbers.
void CheckJunctions(const MeshgenArgs& args, const SuperElementTables& se, const MeshTables& mesh);

/// Stage 4, step 1: NCN from ITY (1 -> 3, 2 -> 4, 5 -> 8).
void SetElementNodeCounts(MeshTables& mesh);

/// Stage 4, step 2 (mixed runs): inserts the mid-side node of every finite element side
/// into the infinite element across it, which then starts with (b, mid, a).
void FindCommonBoundaries(MeshTables& mesh, const InfoSink& info);

/// Stage 4, step 3: Cuthill-McKee trials from every node; keeps the first numbering
/// (in start-node order) with the smallest bandwidth when it beats the creation
/// numbering: JNT (creation -> new), JMEM (new -> creation), NEWJT, JOINT, bandwidth,
/// renumbered. Otherwise JNT and JMEM are the identity and bandwidth is that of the
/// creation numbering. A trial that cannot number every node (a mesh in several pieces)
/// counts as failed. Starts whose breadth-first levels include one at least as wide as
/// the bandwidth to beat are passed over without a trial (their trial would be
/// abandoned), and the trials are shared among threadCount threads (0: one per
/// processor for large meshes); neither changes the result.
void ReduceBandwidth(MeshTables& mesh, int threadCount = 0);

/// Stages 2-4 in order: FindInputConnectivity, MeshRegions, CheckJunctions, SetElementNodeCounts,
/// FindCommonBoundaries (mixed runs only), ReduceBandwidth.
void GenerateMesh(const MeshgenArgs& args, const SuperElementTables& se, MeshTables& mesh,
                  const InfoSink& info, const SuperElementHook& hook);

}  // namespace meshgen
