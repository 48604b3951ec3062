// The project document: owns every object of one model and reads and writes the
// project file (".v3"), a compound file with eleven storages of two streams each.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "CompoundFile.h"
#include "Edge.h"
#include "Node.h"
#include "VemtoInfo.h"
#include "VemtoInterval.h"
#include "VemtoLists.h"
#include "VemtoPosition.h"
#include "VemtoSurface.h"

namespace vemto {

/// Default work-array size of mesher, result access and engine, in 8-byte words.
inline constexpr std::int32_t kDefaultMemory = 800000;
/// File name of the material library beside the program.
inline constexpr const char* kMaterialLibraryName = "materials.db";
/// File name a new model carries until it is saved under a name.
inline constexpr const char* kNewModelName = "New model";

/// Project document. The lists own their objects; objects refer to each other by
/// pointers (stored as zero-based list indices in the file).
class TVemtoFile {
 public:
  /// An empty model with one interval (EndTime 168 h, TimeStep 2 h, StoreStep 24 h),
  /// the general defaults, empty project texts and work arrays of 800000 words.
  TVemtoFile();
  /// Frees conditions, positions, pipes, surfaces, materials, edges, nodes, intervals,
  /// in this order.
  ~TVemtoFile();
  TVemtoFile(const TVemtoFile&) = delete;
  TVemtoFile& operator=(const TVemtoFile&) = delete;

  std::vector<std::unique_ptr<TNode>> Nodes;               ///< points
  std::vector<std::unique_ptr<TEdge>> Edges;               ///< TEdgeLine / TEdgeCurve
  std::vector<std::unique_ptr<TVemtoSurface>> Surfaces;    ///< super-elements
  TVemtoConditionList Conditions;                          ///< all six kinds
  std::vector<std::unique_ptr<TVemtoPosition>> Positions;  ///< all four kinds
  TVemtoPipeList Pipes;                                    ///< cooling pipes
  TVemtoMaterialList Materials;                            ///< materials
  TVemtoGeneralInfo GeneralInfo;                           ///< analysis settings
  TVemtoProjectInfo ProjectInfo;                           ///< project texts
  std::vector<std::unique_ptr<TVemtoInterval>> Intervals;  ///< calculation intervals
  std::string FileName;                                    ///< project file; empty = none
  std::int32_t MeshMemory = kDefaultMemory;                ///< mesher work array, 8-byte words
  std::int32_t PostMemory = kDefaultMemory;    ///< result access work array, 8-byte words
  std::int32_t EngineMemory = kDefaultMemory;  ///< engine work array, 8-byte words
  /// Folder from which loaded materials read "cempropt" and "conpropt"; empty = the
  /// program's folder. Not stored.
  std::filesystem::path PropertyFolder;
  /// Problems met while the last Load read the project (a malformed "cempropt" or
  /// "conpropt"): the model loaded, but the user must be told. Not stored.
  std::vector<std::string> LoadWarnings;

  /// Sets FileName.
  void SetFileName(std::string name) { FileName = std::move(name); }

  /// Writes the project file FileName. The new file is complete before it replaces the
  /// old one, so a failure never damages an existing file. Refreshes every stored index
  /// field and sets surfaces and materials to version (3, 1) first. Throws FileError
  /// naming the file and the problem (a text too long for the file, storage errors).
  void Save();

  /// Reads the project file FileName into this document. On success every list holds
  /// the file's model (the previous content is freed); on any failure FileError is
  /// thrown and the document is unchanged. Reference counts are recomputed from the
  /// loaded references.
  void Load();

  /// The eleven storages as they are written (refreshes the index fields as Save does).
  /// Throws FileError for a record that cannot be written.
  TCompoundImage BuildImage();
  /// Replaces the model with the content of `image` (all or nothing, as Load);
  /// `fileName` names the file in errors.
  void LoadImage(const TCompoundImage& image, const std::string& fileName);

  /// Sum over the intervals of round((EndTime_i - Start_i) / TimeStep_i), halves to
  /// even; Start_0 = GeneralInfo.InitialTime, Start_i = EndTime_(i-1). An interval with
  /// a step that is not positive, or a quotient that is not finite, adds nothing.
  std::int64_t TotalTimeSteps() const;
  /// The same with StoreStep in place of TimeStep.
  std::int64_t TotalStoredSteps() const;

  /// Sets every RefCount from the references between the objects: node ← edges,
  /// edge ← surfaces and edge positions, surface ← surface positions, material ←
  /// surfaces, condition ← positions and pipes, pipe ← pipe positions.
  void RecomputeReferenceCounts();

  /// Frees every object in the destruction order and restores the defaults (one
  /// interval, default settings, empty texts, default memory). FileName stays.
  void Clear();

 private:
  void LoadImageChecked(const TCompoundImage& image, const std::string& fileName);
  void Swap(TVemtoFile& other) noexcept;
  void FreeObjects();
};

/// Per-user folder of the program's data: $XDG_DATA_HOME/vemto, or
/// ~/.local/share/vemto when XDG_DATA_HOME is unset or empty.
std::filesystem::path UserDataFolder();

/// The material library file to read: "materials.db" in `programFolder` when that
/// folder is writable or when there is no per-user copy, else the per-user copy.
std::filesystem::path MaterialLibraryReadPath(const std::filesystem::path& programFolder);
/// The material library file to write: "materials.db" in `programFolder` when that
/// folder is writable, else the per-user copy (its folder is created when missing).
std::filesystem::path MaterialLibraryWritePath(const std::filesystem::path& programFolder);

/// Loads the material library into `library` (a fresh document) from
/// MaterialLibraryReadPath. A missing library leaves the document empty and is no
/// error; a damaged one throws FileError.
void LoadMaterialLibrary(TVemtoFile& library, const std::filesystem::path& programFolder);
/// Writes the material library to MaterialLibraryWritePath. Throws FileError.
void SaveMaterialLibrary(TVemtoFile& library, const std::filesystem::path& programFolder);

}  // namespace vemto
