// The mesher driver: converts a project document into the argument block of the
// mesher library and runs the library (loaded with dlopen) synchronously, with
// its progress messages delivered to the callbacks below. No Qt: the desktop
// program's progress window hangs itself onto the callbacks.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "MeshgenArgs.h"

namespace vemto {

class TVemtoFile;
class TVemtoMaterial;
class TVemtoCondition;

/// A condition history longer than the mesher's room of 1000 points.
class ETooLargeHistory : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// Error number passed to OnError for a history of more than 1000 points.
inline constexpr std::int32_t kErrorTooLargeHistory = 2001;
/// Highest number of points (passes) along one cooling pipe.
inline constexpr int kMaxPipePoints = 75;

/// Number of phases a mesher run announces through its information texts.
inline constexpr int kMeshPhaseCount = 7;
/// Position (1..kMeshPhaseCount) of the mesher phase announced by `text` (surrounding
/// blanks ignored); 0 for a text that announces no known phase. A phase repeats its
/// text once per item it works on.
int MeshPhaseNumber(const std::string& text);

/// The arrays of the mesher's arguments, each growable, with their counts.
/// Arrays hold records one after the other (see MeshgenArgs.h).
struct MeshArrays {
  std::int32_t generalDefined = -1;
  std::int32_t analysisInts[4] = {0, 0, 0, 0};  ///< the fourth stays 0
  double timeReals[4] = {0, 0, 0, 0};           ///< s, s, s, m
  std::vector<double> superNodeX, superNodeY;   ///< m
  std::vector<std::int32_t> elementRows, elementColumns, superNodeCode, superElementNodes,
      materialNumber, elementType;
  std::vector<double> superThickness;  ///< m; -1.0 = general thickness
  std::int32_t nMaterials = 0;
  std::vector<double> materialProperties;     ///< 68 per material
  std::vector<std::int32_t> materialOptions;  ///< 7 per material

  /// One condition group: history items and position items.
  struct Group {
    std::int32_t nConds = 0;
    std::vector<double> conds;  ///< history items, fixed record length each
    std::int32_t nPos = 0;
    std::vector<std::int32_t> pos;   ///< edge/area items, or the condition of nodal items
    std::vector<double> xy;          ///< nodal items: x, y in m
    std::vector<std::int32_t> dirs;  ///< displacement groups: 2 flags per condition
    std::vector<const TVemtoCondition*> emitted;  ///< conditions in item order
  };
  Group edgeTemp, edgeFlow, areaTemp, areaFlow, edgeDisp, edgeSpring, edgeLoad;
  Group nodalTemp, nodalFlow, pipe, nodalDisp, nodalSpring, nodalLoad;

  /// All counts 0, all arrays empty, generalDefined -1.
  void Reset();
  /// The argument block over these arrays (pointers stay valid until the arrays
  /// change); texts and file names are left zero.
  MeshgenArgs Build() const;
};

/// Mesher driver component.
class TVemtoMesh {
 public:
  TVemtoMesh();
  ~TVemtoMesh();
  TVemtoMesh(const TVemtoMesh&) = delete;
  TVemtoMesh& operator=(const TVemtoMesh&) = delete;

  // Published properties.
  std::string FileName;       ///< analysis data file to write (base + ".dat")
  std::string InputDataName;  ///< input listing to write (base + ".lst")
  std::string Title, Subject, Author, Manager, Company, Description;  ///< project texts
  std::int32_t Memory = 800000;  ///< mesher work array, 8-byte words
  /// Error report: (sender, error number) — the mesher's code, or 2001.
  std::function<void(TVemtoMesh& sender, std::int32_t errorNumber)> OnError;
  /// Text output; declared for the host, not raised by this component.
  std::function<void(TVemtoMesh& sender, const std::string& text)> OnPrintLn;

  // Further state.
  bool ShowProgress = true;  ///< deliver progress to the callbacks below
  bool Failed = false;       ///< the last conversion or run failed
  /// Shared library to load; empty = "libmeshgen.so" beside the running program.
  std::string LibraryPath;
  /// A conversion problem for the user (shown in a plain message box by the program).
  std::function<void(const std::string& message)> OnMessage;
  /// Progress of a run: each information text (trimmed), and the completion text.
  std::function<void(const std::string& text)> OnProgress;
  std::function<void(const std::string& text)> OnFinished;

  /// Clears Failed and the arrays, then fills everything except the materials and
  /// the texts from `document`. Refreshes the node numbers (list position + 1) and
  /// the surfaces' corner and mid-side numbers first. Stops at the first problem:
  /// mixed edge types, a missing material or edge, a pipe without condition or with
  /// more than 75 points (OnMessage, Failed), or a history of more than 1000 points
  /// (Failed, OnError with 2001).
  void Convert(TVemtoFile& document);
  /// Appends one material (68 reals, 7 ints).
  void AddMaterial(const TVemtoMaterial& material);
  /// generalDefined -1, every count 0.
  void ResetArrays() { arrays_.Reset(); }
  /// Runs the mesher library on the arrays. Failed tells whether it reported an
  /// error (or could not be loaded); ErrorText() then holds the text.
  void Execute();
  /// Requests cancellation of the run in progress (from a progress callback).
  void Cancel();

  /// The arrays as converted (for inspection and tests).
  const MeshArrays& Arrays() const { return arrays_; }
  /// Text of the last error (mesher error line, trimmed, or the driver's own).
  const std::string& ErrorText() const { return errorText_; }
  /// Error number of the last error (0 = none).
  std::int32_t ErrorNumber() const { return errorNumber_; }

 private:
  struct Library;
  void Fail(std::int32_t errorNumber, const std::string& text);
  void Message(const std::string& text);
  void Receive(int message, std::intptr_t lParam);
  static void Send(void* context, int message, std::intptr_t lParam);

  MeshArrays arrays_;
  std::string errorText_;
  std::int32_t errorNumber_ = 0;
  std::unique_ptr<Library> library_;
};

}  // namespace vemto
