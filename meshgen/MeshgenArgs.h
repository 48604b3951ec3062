// The argument block of the mesher's entry point `execute`.
//
// The caller (the program's mesher driver, the command line, tests) fills one
// MeshgenArgs and passes its address to `execute`. The block carries the 87
// arguments of the mesher under their own names, in their own order. All
// buffers stay owned by the caller; the mesher only reads them.
//
// Conventions:
// - int32_t for every integer, double (IEEE 64-bit) for every real.
// - Arrays hold their records one after the other in item order (record k of
//   an array belongs to item k, counted from 1); a pointer may be null only
//   when its count is 0.
// - Condition numbers and super-node numbers are 1-based.
// - Times in seconds, lengths in m, temperatures in degrees C, SI otherwise.
// - Texts are 256-byte buffers of which the first 255 characters form a
//   blank-padded field; trailing blanks and zero bytes are ignored. The six
//   project texts end at their first zero byte.
// - History records: a fixed room of 1000 points per condition; the first real
//   of a record is the number n of points used (0 <= n <= 1000).
#ifndef VEMTO_MESHGEN_MESHGENARGS_H
#define VEMTO_MESHGEN_MESHGENARGS_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/// Length of every text buffer of the block (255 characters used).
#define MESHGEN_TEXT_LENGTH 256
/// Room of history points per condition record.
#define MESHGEN_HISTORY_POINTS 1000

/// Reals per condition record of each kind.
#define MESHGEN_TEMP_RECORD 2002   /* n, transfer coefficient, 1000 (t, T) */
#define MESHGEN_FLOW_RECORD 2001   /* n, 1000 (t, q) */
#define MESHGEN_DISP_RECORD 3001   /* n, 1000 (t, ux, uy) */
#define MESHGEN_SPRING_RECORD 3003 /* n, kx, ky, 1000 (t, ux, uy) */
#define MESHGEN_LOAD_RECORD 3001   /* n, 1000 (t, fx, fy) */
#define MESHGEN_PIPE_RECORD 3006   /* n, h, d, part length, c, type, 1000 (t, Tin, flow/Tout) */

/// Values per material record.
#define MESHGEN_MATERIAL_PROPERTIES 68
#define MESHGEN_MATERIAL_OPTIONS 7

/// Element types of a super element (`elementType`).
#define MESHGEN_TYPE_FINITE 5           /* eight-node quadrilaterals */
#define MESHGEN_TYPE_INFINITE_SURFACE 2 /* four/five-node infinite elements */
#define MESHGEN_TYPE_INFINITE_CORNER 1  /* one three-node infinite element */

typedef struct MeshgenArgs {
  /*  1 */ char datFileName[MESHGEN_TEXT_LENGTH];   ///< analysis data file to write
  /*  2 */ char listFileName[MESHGEN_TEXT_LENGTH];  ///< input listing file to write
  /*  3 */ char projectTitle[MESHGEN_TEXT_LENGTH];  ///< listed as "TITLE    :"
  /*  4 */ char projectSubject[MESHGEN_TEXT_LENGTH];
  /*  5 */ char projectAuthor[MESHGEN_TEXT_LENGTH];
  /*  6 */ char projectManager[MESHGEN_TEXT_LENGTH];
  /*  7 */ char projectCompany[MESHGEN_TEXT_LENGTH];
  /*  8 */ char projectDescription[MESHGEN_TEXT_LENGTH];
  /*  9 */ int32_t generalDefined;  ///< 0: general information missing (run fails); 1: title listed
  /* 10 */ double titleWords[10];   ///< problem title, 80 raw bytes, 8 per real
  /// [0] analysis type 1 plane stress, 2 plane strain, 3 axisymmetric;
  /// [1] number of time steps; [2] temperature mode 0, 1, 2 (10, 11, 12 without stresses)
  /* 11 */ int32_t analysisInts[3];
  /// [0] initial time s; [1] time step s; [2] storage increment s; [3] thickness m
  /* 12 */ double timeReals[4];

  /* 13 */ int32_t nSuperNodes;
  /* 14 */ const double* superNodeX;  ///< [nSuperNodes] x of each super node, m
  /* 15 */ const double* superNodeY;  ///< [nSuperNodes] y of each super node, m

  /* 16 */ int32_t nSuperElements;
  /* 17 */ const int32_t* elementRows;     ///< [nSuperElements] divisions between sides 1 and 3
  /* 18 */ const int32_t* elementColumns;  ///< [nSuperElements] divisions between sides 4 and 2
  /* 19 */ const int32_t* superNodeCode;   ///< [nSuperElements] 1 = eight super nodes, 2 = four
  /// [8 * nSuperElements] super-node numbers counter-clockwise, corners at 1, 3, 5, 7
  /* 20 */ const int32_t* superElementNodes;
  /* 21 */ const int32_t* materialNumber;  ///< [nSuperElements] 1-based material
  /* 22 */ const int32_t* elementType;     ///< [nSuperElements] 5, 2 or 1 (MESHGEN_TYPE_*)

  /* 23 */ int32_t nMaterials;
  /* 24 */ const double* materialProperties;  ///< [68 * nMaterials] P1 ... P68
  /* 25 */ const int32_t* materialOptions;    ///< [7 * nMaterials] O1 ... O7

  /* 26 */ int32_t nEdgeTempConds;
  /* 27 */ const double* edgeTempConds;  ///< [2002 * n] n, h W/m2K, (t s, T C) x 1000
  /* 28 */ int32_t nEdgeTempPos;
  /* 29 */ const int32_t* edgeTempPos;  ///< [3 * n] super node 1, super node 2, condition

  /* 30 */ int32_t nEdgeFlowConds;
  /* 31 */ const double* edgeFlowConds;  ///< [2001 * n] n, (t s, q W/m2) x 1000
  /* 32 */ int32_t nEdgeFlowPos;
  /* 33 */ const int32_t* edgeFlowPos;  ///< [3 * n] super node 1, super node 2, condition

  /* 34 */ int32_t nAreaTempConds;
  /* 35 */ const double* areaTempConds;  ///< [2002 * n] as edgeTempConds
  /* 36 */ int32_t nAreaTempPos;
  /* 37 */ const int32_t* areaTempPos;  ///< [5 * n] four corner super nodes (ccw), condition

  /* 38 */ int32_t nAreaFlowConds;
  /* 39 */ const double* areaFlowConds;  ///< [2001 * n] as edgeFlowConds (W/m2)
  /* 40 */ int32_t nAreaFlowPos;
  /* 41 */ const int32_t* areaFlowPos;  ///< [5 * n] four corner super nodes (ccw), condition

  /* 42 */ int32_t nEdgeDispConds;
  /* 43 */ const double* edgeDispConds;  ///< [3001 * n] n, (t s, ux m, uy m) x 1000
  /* 44 */ int32_t nEdgeDispPos;
  /* 45 */ const int32_t* edgeDispPos;  ///< [3 * n] super node 1, super node 2, condition
  /* 46 */ const int32_t*
      edgeDispDirs;  ///< [2 * nEdgeDispConds] x prescribed, y prescribed (1 = yes)

  /* 47 */ int32_t nEdgeSpringConds;
  /* 48 */ const double* edgeSpringConds;  ///< [3003 * n] n, kx, ky N/m3, (t s, ux m, uy m) x 1000
  /* 49 */ int32_t nEdgeSpringPos;
  /* 50 */ const int32_t* edgeSpringPos;  ///< [3 * n] super node 1, super node 2, condition

  /* 51 */ int32_t nEdgeLoadConds;
  /* 52 */ const double* edgeLoadConds;  ///< [3001 * n] n, (t s, fx Pa, fy Pa) x 1000
  /* 53 */ int32_t nEdgeLoadPos;
  /* 54 */ const int32_t* edgeLoadPos;  ///< [3 * n] super node 1, super node 2, condition

  /* 55 */ int32_t nNodalTempConds;
  /* 56 */ const double* nodalTempConds;  ///< [2002 * n] n, h W/mK, (t s, T C) x 1000
  /* 57 */ int32_t nNodalTempPos;
  /* 58 */ const int32_t* nodalTempPosCond;  ///< [n] condition of each position
  /* 59 */ const double* nodalTempPosXY;     ///< [2 * n] x, y m

  /* 60 */ int32_t nNodalFlowConds;
  /* 61 */ const double* nodalFlowConds;  ///< [2001 * n] n, (t s, q W/m) x 1000
  /* 62 */ int32_t nNodalFlowPos;
  /* 63 */ const int32_t* nodalFlowPosCond;  ///< [n]
  /* 64 */ const double* nodalFlowPosXY;     ///< [2 * n]

  /* 65 */ int32_t nPipeConds;
  /// [3006 * n] n, h W/m2K, diameter m, part length m, c J/kgK, type (0 flow, 1 outlet
  /// temperature), (t s, T-in C, flow kg/s or T-out C) x 1000
  /* 66 */ const double* pipeConds;
  /* 67 */ int32_t nPipePos;
  /* 68 */ const int32_t* pipePosCondPart;  ///< [2 * n] condition, part
  /* 69 */ const double* pipePosXY;         ///< [2 * n] x, y m

  /* 70 */ int32_t nNodalDispConds;
  /* 71 */ const double* nodalDispConds;  ///< [3001 * n] as edgeDispConds
  /* 72 */ const int32_t* nodalDispDirs;  ///< [2 * n] as edgeDispDirs
  /* 73 */ int32_t nNodalDispPos;
  /* 74 */ const int32_t* nodalDispPosCond;  ///< [n]
  /* 75 */ const double* nodalDispPosXY;     ///< [2 * n]

  /* 76 */ int32_t nNodalSpringConds;
  /* 77 */ const double* nodalSpringConds;  ///< [3003 * n] as edgeSpringConds (N/m2)
  /* 78 */ int32_t nNodalSpringPos;
  /* 79 */ const int32_t* nodalSpringPosCond;  ///< [n]
  /* 80 */ const double* nodalSpringPosXY;     ///< [2 * n]

  /* 81 */ int32_t nNodalLoadConds;
  /* 82 */ const double* nodalLoadConds;  ///< [3001 * n] n, (t s, fx N/m, fy N/m) x 1000
  /* 83 */ int32_t nNodalLoadPos;
  /* 84 */ const int32_t* nodalLoadPosCond;  ///< [n]
  /* 85 */ const double* nodalLoadPosXY;     ///< [2 * n]

  /// [nSuperElements] thickness m; -0.5 or below selects the general thickness (timeReals[3])
  /* 86 */ const double* superThickness;
  /* 87 */ int32_t memoryWords;  ///< work-array size in 8-byte words
} MeshgenArgs;

/// Signature of the exported entry point `execute` (take it with dlsym).
typedef void (*MeshgenExecuteFn)(const MeshgenArgs* args);

#ifdef __cplusplus
}
#endif

#endif  // VEMTO_MESHGEN_MESHGENARGS_H
