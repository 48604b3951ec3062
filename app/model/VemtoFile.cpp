#include "VemtoFile.h"

#include <unistd.h>

#include <fmt/format.h>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <unordered_map>
#include <utility>

namespace vemto {

namespace {

/// Storage names and the version pair each is written with.
struct StorageLayout {
  const char* Name;
  std::int32_t Major;
  std::int32_t Minor;
};

constexpr StorageLayout kNodes{"Nodes", 3, 0};
constexpr StorageLayout kCurves{"Curves", 3, 0};
constexpr StorageLayout kSurfaces{"Surfaces", 3, 1};
constexpr StorageLayout kConditions{"Conditions", 3, 0};
constexpr StorageLayout kPositions{"Positions", 3, 0};
constexpr StorageLayout kPipes{"Pipes", 3, 0};
constexpr StorageLayout kGeneral{"General", 3, 0};
constexpr StorageLayout kMaterials{"Materials", 3, 1};
constexpr StorageLayout kProject{"Project", 3, 0};
constexpr StorageLayout kIntervals{"Intervals", 3, 0};
constexpr StorageLayout kMemory{"Memory", 3, 0};

/// Writing order of the storages.
constexpr std::array<const StorageLayout*, 11> kStorages = {
    &kNodes,   &kCurves,  &kSurfaces,  &kConditions, &kPipes, &kPositions,
    &kGeneral, &kProject, &kMaterials, &kIntervals,  &kMemory};

/// Every class name a project file may hold.
constexpr std::array<std::string_view, 19> kKnownClasses = {"TNode",
                                                            "TEdgeLine",
                                                            "TEdgeCurve",
                                                            "TVemtoSurface",
                                                            "TVemtoTempCondition",
                                                            "TVemtoFlowCondition",
                                                            "TVemtoPipeCondition",
                                                            "TVemtoDisplCondition",
                                                            "TVemtoLoadCondition",
                                                            "TVemtoSpringCondition",
                                                            "TVemtoNodalPos",
                                                            "TVemtoEdgePos",
                                                            "TVemtoSurfacePos",
                                                            "TVemtoPipePos",
                                                            "TVemtoPipe",
                                                            "TVemtoMaterial",
                                                            "TVemtoInterval",
                                                            "TVemtoGeneralInfo",
                                                            "TVemtoProjectInfo"};

std::vector<std::uint8_t> VersionBytes(std::int32_t major, std::int32_t minor) {
  TStream s;
  s.WriteInt32(major);
  s.WriteInt32(minor);
  return s.Bytes();
}

/// Writes the class-name entry: with the terminating zero (n = length + 1) or without.
void WriteClassName(TStream& s, std::string_view name, bool withZero) {
  s.WriteInt32(static_cast<std::int32_t>(name.size() + (withZero ? 1 : 0)));
  s.WriteBytes(name.data(), name.size());
  if (withZero) s.WriteUInt8(0);
}

/// A name as shown in a message: printable ASCII kept, anything else as \xNN.
std::string Printable(std::string_view s) {
  std::string out;
  for (unsigned char c : s) {
    if (c >= 0x20 && c < 0x7F)
      out += static_cast<char>(c);
    else
      out += fmt::format("\\x{:02X}", c);
  }
  return out;
}

bool IsKnownClass(std::string_view name) {
  for (auto k : kKnownClasses)
    if (k == name) return true;
  return false;
}

/// Index of each object in its list, for refreshing the stored index fields.
template <class T>
std::unordered_map<const void*, std::int32_t> IndexMap(const std::vector<T*>& items) {
  std::unordered_map<const void*, std::int32_t> map;
  map.reserve(items.size());
  for (std::size_t i = 0; i < items.size(); ++i)
    map.emplace(items[i], static_cast<std::int32_t>(i));
  return map;
}

std::int32_t Lookup(const std::unordered_map<const void*, std::int32_t>& map, const void* p) {
  if (!p) return -1;
  const auto it = map.find(p);
  return it == map.end() ? -1 : it->second;
}

template <class T>
std::vector<T*> Raw(const std::vector<std::unique_ptr<T>>& items) {
  std::vector<T*> out;
  out.reserve(items.size());
  for (const auto& p : items) out.push_back(p.get());
  return out;
}

/// Reads one storage's "Data" image with the file, storage and entry in every error.
class ImageReader {
 public:
  ImageReader(const std::string& fileName, std::string_view storage,
              const std::vector<std::uint8_t>& bytes)
      : fileName_(fileName), storage_(storage), stream_(bytes) {}

  TStream& Stream() { return stream_; }

  [[noreturn]] void Fail(const std::string& what) const {
    if (entry_ > 0)
      throw FileError(fileName_, TStorageError::Damaged,
                      fmt::format("Storage \"{}\", entry {}: {}", storage_, entry_, what));
    throw FileError(fileName_, TStorageError::Damaged,
                    fmt::format("Storage \"{}\": {}", storage_, what));
  }

  /// Reads the entry count; every entry needs at least 4 bytes for its name length.
  std::int32_t ReadCount() {
    const std::int32_t count = Guard([&] { return stream_.ReadInt32(); });
    if (count < 0) Fail(fmt::format("negative entry count {}", count));
    if (static_cast<std::size_t>(count) > stream_.Remaining() / 4)
      Fail(fmt::format("{} entries announced, but the stream holds only {} more bytes", count,
                       stream_.Remaining()));
    return count;
  }

  /// Starts entry k (1-based) for the messages.
  void Entry(int k) { entry_ = k; }

  /// Reads a class-name entry: int32 n, then n bytes, taken up to the first zero.
  std::string ReadClassName() {
    const std::int32_t n = Guard([&] { return stream_.ReadInt32(); });
    if (n < 0 || n > static_cast<std::int32_t>(kMaxRecordText))
      Fail(fmt::format("class name length {} outside 0..{}{}", n, kMaxRecordText, LayoutHint()));
    std::array<char, kMaxRecordText + 1> buf{};
    Guard([&] {
      stream_.ReadBytes(buf.data(), static_cast<std::size_t>(n));
      return 0;
    });
    return std::string(buf.data());
  }

  /// The error for a class name that is not the expected kind.
  [[noreturn]] void WrongClass(const std::string& name, std::string_view kind) const {
    if (name.empty())
      Fail(fmt::format("the entry does not begin with a class name{}", LayoutHint()));
    if (!IsKnownClass(name)) Fail(fmt::format("Class {} not found", Printable(name)));
    Fail(fmt::format("Class {} is not {}", name, kind));
  }

  /// Where an entry does not begin with a class name, the entry before it was read with
  /// another length than it has.
  std::string LayoutHint() const {
    if (entry_ <= 1) return {};
    return fmt::format(
        "; entry {} before it is longer or shorter than its layout (damaged, or written "
        "in another layout)",
        entry_ - 1);
  }

  /// Runs a read and turns a stream failure into a file error with context.
  template <class F>
  auto Guard(F&& f) -> decltype(f()) {
    try {
      return f();
    } catch (const StreamError& e) {
      Fail(e.what());
    }
  }

 private:
  const std::string& fileName_;
  std::string_view storage_;
  TStream stream_;
  int entry_ = 0;
};

/// Reads the "Conditions" image into `out`. Throws FileError.
void ReadConditions(const std::string& file, const std::vector<std::uint8_t>& bytes,
                    TVemtoConditionList& out) {
  ImageReader r(file, kConditions.Name, bytes);
  const std::int32_t count = r.ReadCount();
  for (std::int32_t k = 1; k <= count; ++k) {
    r.Entry(k);
    const std::string name = r.ReadClassName();
    std::unique_ptr<TVemtoCondition> c = MakeCondition(name);
    if (!c) r.WrongClass(name, "a condition");
    r.Guard([&] {
      c->LoadFromStream(r.Stream());
      return 0;
    });
    out.Add(std::move(c));
  }
}

/// For a "Conditions" image that cannot be read: the message when one condition's
/// history point count is wrong and the image reads with another count, else nothing.
/// Tries the last three conditions up to the one that failed, each with the counts
/// 0 .. stated + 3.
std::optional<std::string> MisstatedHistoryCount(const std::string& file,
                                                 const std::vector<std::uint8_t>& bytes) {
  struct Entry {
    std::size_t CountOffset;
    std::int32_t Count;
    std::string Name;
  };
  std::vector<Entry> entries;
  try {
    TStream s(bytes);
    const std::int32_t count = s.ReadInt32();
    for (std::int32_t k = 0; k < count; ++k) {
      const std::int32_t n = s.ReadInt32();
      if (n < 0 || n > static_cast<std::int32_t>(kMaxRecordText)) break;
      std::string cls(static_cast<std::size_t>(n), '\0');
      s.ReadBytes(cls.data(), cls.size());
      std::unique_ptr<TVemtoCondition> c = MakeCondition(cls.c_str());
      if (!c) break;
      const std::size_t start = s.Position();
      TStream probe(bytes);
      probe.Seek(start);
      const std::string name = probe.ReadText();
      probe.ReadInt32();  // reference count
      entries.push_back(Entry{probe.Position(), probe.ReadInt32(), name});
      c->LoadFromStream(s);
    }
  } catch (const StreamError&) {
    // The entries up to the failing one are known.
  }
  const std::size_t first = entries.size() > 3 ? entries.size() - 3 : 0;
  for (std::size_t j = entries.size(); j-- > first;) {
    const Entry& e = entries[j];
    if (e.Count < 0) continue;
    for (std::int32_t tried = 0; tried <= e.Count + 3 && tried <= 1100; ++tried) {
      if (tried == e.Count) continue;
      std::vector<std::uint8_t> patched = bytes;
      std::memcpy(patched.data() + e.CountOffset, &tried, 4);  // little-endian machine
      try {
        TVemtoConditionList scratch;
        ReadConditions(file, patched, scratch);
      } catch (const FileError&) {
        continue;
      }
      return fmt::format(
          "Storage \"Conditions\", entry {}: condition \"{}\" announces {} history points, but "
          "its record holds {}",
          j + 1, Printable(e.Name), e.Count, tried);
    }
  }
  return std::nullopt;
}

}  // namespace

TVemtoFile::TVemtoFile() {
  Intervals.push_back(std::make_unique<TVemtoInterval>(168.0, 2.0, 24.0));
}

TVemtoFile::~TVemtoFile() {
  FreeObjects();
}

void TVemtoFile::FreeObjects() {
  Conditions.Clear();
  Positions.clear();
  Pipes.Clear();
  Surfaces.clear();
  Materials.Clear();
  Edges.clear();
  Nodes.clear();
  Intervals.clear();
}

void TVemtoFile::Clear() {
  FreeObjects();
  Intervals.push_back(std::make_unique<TVemtoInterval>(168.0, 2.0, 24.0));
  GeneralInfo = TVemtoGeneralInfo();
  ProjectInfo = TVemtoProjectInfo();
  MeshMemory = PostMemory = EngineMemory = kDefaultMemory;
  LoadWarnings.clear();
}

void TVemtoFile::Swap(TVemtoFile& other) noexcept {
  using std::swap;
  swap(Nodes, other.Nodes);
  swap(Edges, other.Edges);
  swap(Surfaces, other.Surfaces);
  swap(Conditions, other.Conditions);
  swap(Positions, other.Positions);
  swap(Pipes, other.Pipes);
  swap(Materials, other.Materials);
  swap(GeneralInfo, other.GeneralInfo);
  swap(ProjectInfo, other.ProjectInfo);
  swap(Intervals, other.Intervals);
  swap(MeshMemory, other.MeshMemory);
  swap(PostMemory, other.PostMemory);
  swap(EngineMemory, other.EngineMemory);
  swap(LoadWarnings, other.LoadWarnings);
}

namespace {

std::int64_t CountSteps(const std::vector<std::unique_ptr<TVemtoInterval>>& intervals,
                        double initialTime, bool storage) {
  std::int64_t total = 0;
  double start = initialTime;
  for (const auto& interval : intervals) {
    const double step = storage ? interval->StoreStep : interval->TimeStep;
    const double q = (interval->EndTime - start) / step;
    // Halves to even in the default rounding mode.
    if (step > 0.0 && std::isfinite(q) && std::fabs(q) < 1e15)
      total += static_cast<std::int64_t>(std::nearbyint(q));
    start = interval->EndTime;
  }
  return total;
}

}  // namespace

std::int64_t TVemtoFile::TotalTimeSteps() const {
  return CountSteps(Intervals, GeneralInfo.InitialTime, false);
}

std::int64_t TVemtoFile::TotalStoredSteps() const {
  return CountSteps(Intervals, GeneralInfo.InitialTime, true);
}

void TVemtoFile::RecomputeReferenceCounts() {
  for (auto& n : Nodes) n->RefCount = 0;
  for (auto& e : Edges) e->RefCount = 0;
  for (auto& s : Surfaces) s->RefCount = 0;
  for (const auto& c : Conditions) c->RefCount = 0;
  for (const auto& p : Pipes) p->RefCount = 0;
  for (const auto& m : Materials) m->RefCount = 0;
  for (auto& e : Edges)
    for (int k = 0; k < e->NodeCount(); ++k)
      if (TNode* n = e->GetNode(k)) n->AddRef();
  for (auto& s : Surfaces) {
    for (int i = 0; i < 4; ++i)
      if (TEdge* e = s->GetEdge(i)) e->AddRef();
    if (s->Material) s->Material->AddRef();
  }
  for (const auto& p : Pipes)
    if (TVemtoCondition* c = p->Condition) c->AddRef();
  for (auto& pos : Positions) pos->AddReferences();
}

TCompoundImage TVemtoFile::BuildImage() {
  const std::vector<TNode*> nodes = Raw(Nodes);
  const std::vector<TEdge*> edges = Raw(Edges);
  const std::vector<TVemtoSurface*> surfaces = Raw(Surfaces);
  const std::vector<TVemtoCondition*> conditions = Conditions.Pointers();
  const std::vector<TVemtoPipe*> pipes = Pipes.Pointers();
  const std::vector<TVemtoMaterial*> materials = Materials.Pointers();
  const auto nodeIndex = IndexMap(nodes);
  const auto edgeIndex = IndexMap(edges);
  const auto materialIndex = IndexMap(materials);

  const std::string& file = FileName;
  auto fail = [&](std::string_view storage, std::size_t entry, const std::string& what) {
    return FileError(
        file, TStorageError::Other,
        fmt::format("Cannot save storage \"{}\", entry {}: {}", storage, entry + 1, what));
  };

  TCompoundImage image;
  auto put = [&](const StorageLayout& layout, const TStream& data) {
    TCompoundStorage& st = image.Storage(layout.Name);
    st.SetStream("Data", data.Bytes());
    st.SetStream("Version", VersionBytes(layout.Major, layout.Minor));
  };
  // Every storage exists in the written order, even before its data is ready.
  for (const StorageLayout* layout : kStorages) image.Storage(layout->Name);

  {
    TStream s;
    s.WriteInt32(static_cast<std::int32_t>(Nodes.size()));
    for (const auto& n : Nodes) {
      WriteClassName(s, "TNode", true);
      n->SaveToStream(s);
    }
    put(kNodes, s);
  }
  {
    TStream s;
    s.WriteInt32(static_cast<std::int32_t>(Edges.size()));
    for (auto& e : Edges) {
      auto idx = e->NodeIndices();
      for (int k = 0; k < e->NodeCount(); ++k)
        idx[static_cast<std::size_t>(k)] = Lookup(nodeIndex, e->GetNode(k));
      WriteClassName(s, e->ClassName(), true);
      e->SaveToStream(s);
    }
    put(kCurves, s);
  }
  {
    TStream s;
    s.WriteInt32(static_cast<std::int32_t>(Surfaces.size()));
    for (auto& sf : Surfaces) {
      sf->VersionMajor = 3;
      sf->VersionMinor = 1;
      for (int i = 0; i < 4; ++i) sf->SetEdgeIndex(i, Lookup(edgeIndex, sf->GetEdge(i)));
      sf->MaterialIndex = Lookup(materialIndex, sf->Material);
      WriteClassName(s, sf->ClassName(), true);
      sf->SaveToStream(s);
    }
    put(kSurfaces, s);
  }
  {
    TStream s;
    s.WriteInt32(static_cast<std::int32_t>(Conditions.Count()));
    std::size_t k = 0;
    for (const auto& c : Conditions) {
      TStream rec;
      try {
        c->SaveToStream(rec);
      } catch (const StreamError& e) {
        throw fail(kConditions.Name, k, e.what());
      }
      WriteClassName(s, c->ClassName(), true);
      s.WriteBytes(rec.Bytes().data(), rec.Size());
      ++k;
    }
    put(kConditions, s);
  }
  {
    TStream s;
    s.WriteInt32(static_cast<std::int32_t>(Pipes.Count()));
    std::size_t k = 0;
    for (const auto& p : Pipes) {
      p->RefreshConditionIndex(conditions);
      TStream rec;
      try {
        p->SaveToStream(rec);
      } catch (const StreamError& e) {
        throw fail(kPipes.Name, k, e.what());
      }
      WriteClassName(s, p->ClassName(), false);
      s.WriteBytes(rec.Bytes().data(), rec.Size());
      ++k;
    }
    put(kPipes, s);
  }
  {
    const PositionTargets targets{conditions, edges, surfaces, pipes};
    TStream s;
    s.WriteInt32(static_cast<std::int32_t>(Positions.size()));
    for (auto& pos : Positions) {
      pos->RefreshIndices(targets);
      WriteClassName(s, pos->ClassName(), false);
      pos->SaveToStream(s);
    }
    put(kPositions, s);
  }
  {
    TStream s;
    WriteClassName(s, GeneralInfo.ClassName(), false);
    GeneralInfo.SaveToStream(s);
    put(kGeneral, s);
  }
  {
    TStream s;
    WriteClassName(s, ProjectInfo.ClassName(), false);
    try {
      ProjectInfo.SaveToStream(s);
    } catch (const StreamError& e) {
      throw FileError(file, TStorageError::Other,
                      fmt::format("Cannot save storage \"Project\": {}", e.what()));
    }
    put(kProject, s);
  }
  {
    TStream s;
    s.WriteInt32(static_cast<std::int32_t>(Materials.Count()));
    std::size_t k = 0;
    for (const auto& m : Materials) {
      m->VersionMajor = 3;
      m->VersionMinor = 1;
      TStream rec;
      try {
        m->SaveToStream(rec);
      } catch (const StreamError& e) {
        throw fail(kMaterials.Name, k, e.what());
      }
      WriteClassName(s, m->ClassName(), true);
      s.WriteBytes(rec.Bytes().data(), rec.Size());
      ++k;
    }
    put(kMaterials, s);
  }
  {
    TStream s;
    s.WriteInt32(static_cast<std::int32_t>(Intervals.size()));
    for (const auto& iv : Intervals) {
      WriteClassName(s, iv->ClassName(), true);
      iv->SaveToStream(s);
    }
    put(kIntervals, s);
  }
  {
    TStream s;
    s.WriteInt32(EngineMemory);
    s.WriteInt32(PostMemory);
    s.WriteInt32(MeshMemory);
    put(kMemory, s);
  }
  return image;
}

void TVemtoFile::Save() {
  TCompoundImage image = BuildImage();
  WriteCompoundFile(FileName, image);
}

void TVemtoFile::Load() {
  const TCompoundImage image = ReadCompoundFile(FileName);
  LoadImage(image, FileName);
}

void TVemtoFile::LoadImage(const TCompoundImage& image, const std::string& fileName) {
  try {
    LoadImageChecked(image, fileName);
  } catch (const FileError&) {
    throw;
  } catch (const std::bad_alloc&) {
    throw FileError(fileName, TStorageError::InsufficientMemory,
                    std::string(StorageErrorMessage(TStorageError::InsufficientMemory)));
  } catch (const std::exception& e) {
    throw FileError(fileName, TStorageError::Damaged, e.what());
  }
}

void TVemtoFile::LoadImageChecked(const TCompoundImage& image, const std::string& fileName) {
  const std::string& file = fileName;
  auto damaged = [&](const std::string& what) {
    return FileError(file, TStorageError::Damaged, what);
  };

  // Step 1: the version pairs and the "Data" images.
  struct Accepted {
    const std::vector<std::uint8_t>* Data = nullptr;
    std::int32_t Minor = 0;
  };
  auto fetch = [&](const StorageLayout& layout, bool optional, bool minorOneAccepted) {
    Accepted out;
    const TCompoundStorage* st = image.Find(layout.Name);
    if (!st) {
      if (optional) return out;
      throw damaged(fmt::format("Storage \"{}\" is missing", layout.Name));
    }
    const TCompoundStream* version = st->Find("Version");
    const TCompoundStream* data = st->Find("Data");
    if (!version)
      throw damaged(fmt::format("Storage \"{}\" has no \"Version\" stream", layout.Name));
    if (!data) throw damaged(fmt::format("Storage \"{}\" has no \"Data\" stream", layout.Name));
    if (version->Bytes.size() < 8)
      throw damaged(fmt::format("Storage \"{}\": the \"Version\" stream holds {} of 8 bytes",
                                layout.Name, version->Bytes.size()));
    TStream v(version->Bytes);
    const std::int32_t major = v.ReadInt32();
    const std::int32_t minor = v.ReadInt32();
    const bool ok = major == 3 && (minor == 0 || (minorOneAccepted && minor == 1));
    if (!ok)
      throw damaged(
          fmt::format("Storage \"{}\" has version ({}, {}), which this program "
                      "cannot read",
                      layout.Name, major, minor));
    out.Data = &data->Bytes;
    out.Minor = minor;
    return out;
  };
  const Accepted nodesImg = fetch(kNodes, false, false);
  const Accepted curvesImg = fetch(kCurves, false, false);
  const Accepted surfacesImg = fetch(kSurfaces, false, true);
  const Accepted conditionsImg = fetch(kConditions, false, false);
  const Accepted positionsImg = fetch(kPositions, false, false);
  const Accepted pipesImg = fetch(kPipes, false, false);
  const Accepted generalImg = fetch(kGeneral, false, false);
  const Accepted materialsImg = fetch(kMaterials, false, true);
  const Accepted projectImg = fetch(kProject, true, false);
  const Accepted intervalsImg = fetch(kIntervals, true, false);
  const Accepted memoryImg = fetch(kMemory, true, false);

  // Step 2: parse into a fresh document; it replaces this one only when complete.
  TVemtoFile doc;
  doc.PropertyFolder = PropertyFolder;
  doc.Intervals.clear();

  if (!nodesImg.Data->empty()) {
    ImageReader r(file, kNodes.Name, *nodesImg.Data);
    const std::int32_t count = r.ReadCount();
    for (std::int32_t k = 1; k <= count; ++k) {
      r.Entry(k);
      r.ReadClassName();  // always a node, whatever the name says
      auto node = std::make_unique<TNode>(ForLoading);
      r.Guard([&] {
        node->LoadFromStream(r.Stream());
        return 0;
      });
      doc.Nodes.push_back(std::move(node));
    }
  }
  const std::vector<TNode*> nodes = Raw(doc.Nodes);

  if (!curvesImg.Data->empty()) {
    ImageReader r(file, kCurves.Name, *curvesImg.Data);
    const std::int32_t count = r.ReadCount();
    for (std::int32_t k = 1; k <= count; ++k) {
      r.Entry(k);
      const std::string name = r.ReadClassName();
      std::unique_ptr<TEdge> edge = TEdge::CreateForLoading(name);
      if (!edge) r.WrongClass(name, "an edge");
      r.Guard([&] {
        edge->LoadFromStream(r.Stream());
        edge->ResolveNodeIndices(nodes);
        return 0;
      });
      for (int i = 0; i < edge->NodeCount(); ++i)
        if (!edge->GetNode(i)) r.Fail("the edge lacks a node (node index -1)");
      doc.Edges.push_back(std::move(edge));
    }
  }
  const std::vector<TEdge*> edges = Raw(doc.Edges);

  if (!materialsImg.Data->empty()) {
    ImageReader r(file, kMaterials.Name, *materialsImg.Data);
    const std::int32_t count = r.ReadCount();
    for (std::int32_t k = 1; k <= count; ++k) {
      r.Entry(k);
      const std::string name = r.ReadClassName();
      if (name != "TVemtoMaterial") r.WrongClass(name, "a material");
      auto m = std::make_unique<TVemtoMaterial>();
      m->PropertyFolder = PropertyFolder;
      m->VersionMajor = 3;
      m->VersionMinor = materialsImg.Minor;
      r.Guard([&] {
        m->LoadFromStream(r.Stream());
        return 0;
      });
      if (!m->PropertyFileWarning.empty() &&
          std::find(doc.LoadWarnings.begin(), doc.LoadWarnings.end(), m->PropertyFileWarning) ==
              doc.LoadWarnings.end())
        doc.LoadWarnings.push_back(m->PropertyFileWarning);
      if (materialsImg.Minor == 0) {
        // The older layout has no strength development; derive it from the ratio, which
        // needs the strength law of "conpropt" (c7 is never 0 in a readable file).
        if (m->Concrete.Value(7) == 0.0)
          r.Fail(fmt::format(
              "material \"{}\" has the older record layout, whose strength development is "
              "derived from the water-cement ratio; that needs the concrete constants, but {}",
              m->Name,
              m->PropertyFileWarning.empty()
                  ? fmt::format("\"{}\" is missing",
                                (m->PropertyDirectory() / kConcreteFileName).string())
                  : m->PropertyFileWarning));
        const long double w = m->WaterCementRatio();
        const long double a1 = std::pow(10.0L, 3.4L - 1.1L * w);
        m->P(65) = std::isfinite(static_cast<double>(a1)) ? static_cast<double>(a1) : 0.0;
        m->P(66) = 2.0;
        m->P(67) = 1.0;
        m->P(68) = 0.14;
      }
      doc.Materials.Add(std::move(m));
    }
  }
  const std::vector<TVemtoMaterial*> materials = doc.Materials.Pointers();

  if (!surfacesImg.Data->empty()) {
    ImageReader r(file, kSurfaces.Name, *surfacesImg.Data);
    const std::int32_t count = r.ReadCount();
    for (std::int32_t k = 1; k <= count; ++k) {
      r.Entry(k);
      const std::string name = r.ReadClassName();
      if (name != "TVemtoSurface") r.WrongClass(name, "a surface");
      auto s = std::make_unique<TVemtoSurface>(ForLoading);
      s->VersionMajor = 3;
      s->VersionMinor = surfacesImg.Minor;
      r.Guard([&] {
        s->LoadFromStream(r.Stream());
        s->ResolveEdgeIndices(edges);
        s->ResolveMaterialIndex(materials);
        return 0;
      });
      for (int i = 0; i < 4; ++i)
        if (!s->GetEdge(i)) r.Fail("the surface lacks an edge (edge index -1)");
      if (const std::string problem = SurfaceChainProblem(*s); !problem.empty())
        r.Fail(fmt::format("surface {} is not a four-sided surface: {}", k, problem));
      if (s->ElementType == 1 || s->ElementType == 2) s->InfiniteFlag = 1;
      if (surfacesImg.Minor == 0) s->Thickness = -1.0;
      doc.Surfaces.push_back(std::move(s));
    }
  }
  const std::vector<TVemtoSurface*> surfaces = Raw(doc.Surfaces);

  if (!conditionsImg.Data->empty()) {
    try {
      ReadConditions(file, *conditionsImg.Data, doc.Conditions);
    } catch (const FileError&) {
      if (std::optional<std::string> why = MisstatedHistoryCount(file, *conditionsImg.Data))
        throw damaged(*why);
      throw;
    }
  }
  const std::vector<TVemtoCondition*> conditions = doc.Conditions.Pointers();

  if (!pipesImg.Data->empty()) {
    ImageReader r(file, kPipes.Name, *pipesImg.Data);
    const std::int32_t count = r.ReadCount();
    for (std::int32_t k = 1; k <= count; ++k) {
      r.Entry(k);
      const std::string name = r.ReadClassName();
      if (name != "TVemtoPipe") r.WrongClass(name, "a pipe");
      auto p = std::make_unique<TVemtoPipe>();
      r.Guard([&] {
        p->LoadFromStream(r.Stream());
        p->ResolveConditionIndex(conditions);
        return 0;
      });
      doc.Pipes.Add(std::move(p));
    }
  }
  const std::vector<TVemtoPipe*> pipes = doc.Pipes.Pointers();

  if (!positionsImg.Data->empty()) {
    const PositionTargets targets{conditions, edges, surfaces, pipes};
    ImageReader r(file, kPositions.Name, *positionsImg.Data);
    const std::int32_t count = r.ReadCount();
    for (std::int32_t k = 1; k <= count; ++k) {
      r.Entry(k);
      const std::string name = r.ReadClassName();
      std::unique_ptr<TVemtoPosition> pos = MakePosition(name);
      if (!pos) r.WrongClass(name, "a position");
      r.Guard([&] {
        pos->LoadFromStream(r.Stream());
        pos->ResolveIndices(targets);
        return 0;
      });
      doc.Positions.push_back(std::move(pos));
    }
  }

  if (!generalImg.Data->empty()) {
    ImageReader r(file, kGeneral.Name, *generalImg.Data);
    const std::string name = r.ReadClassName();
    if (name != "TVemtoGeneralInfo") r.WrongClass(name, "the general settings");
    r.Guard([&] {
      doc.GeneralInfo.LoadFromStream(r.Stream());
      return 0;
    });
  }

  if (projectImg.Data && !projectImg.Data->empty()) {
    ImageReader r(file, kProject.Name, *projectImg.Data);
    const std::string name = r.ReadClassName();
    if (name != "TVemtoProjectInfo") r.WrongClass(name, "the project information");
    r.Guard([&] {
      doc.ProjectInfo.LoadFromStream(r.Stream());
      return 0;
    });
  }

  if (intervalsImg.Data && !intervalsImg.Data->empty()) {
    ImageReader r(file, kIntervals.Name, *intervalsImg.Data);
    const std::int32_t count = r.ReadCount();
    if (count == 0) r.Fail("the interval list holds no interval");
    for (std::int32_t k = 1; k <= count; ++k) {
      r.Entry(k);
      const std::string name = r.ReadClassName();
      if (name != "TVemtoInterval") r.WrongClass(name, "an interval");
      auto iv = std::make_unique<TVemtoInterval>();
      r.Guard([&] {
        iv->LoadFromStream(r.Stream());
        return 0;
      });
      doc.Intervals.push_back(std::move(iv));
    }
  } else if (intervalsImg.Data) {
    throw damaged("Storage \"Intervals\": the interval list holds no interval");
  } else {
    // Older files: one interval from the single-interval settings.
    const std::int64_t steps = static_cast<std::int64_t>(doc.GeneralInfo.LegacySteps) *
                               static_cast<std::int64_t>(doc.GeneralInfo.LegacyStep);
    doc.Intervals.push_back(std::make_unique<TVemtoInterval>(
        static_cast<double>(steps), static_cast<double>(doc.GeneralInfo.LegacyStep),
        doc.GeneralInfo.LegacyStore));
  }

  if (memoryImg.Data) {
    ImageReader r(file, kMemory.Name, *memoryImg.Data);
    doc.EngineMemory = r.Guard([&] { return r.Stream().ReadInt32(); });
    doc.PostMemory = r.Guard([&] { return r.Stream().ReadInt32(); });
    doc.MeshMemory = r.Guard([&] { return r.Stream().ReadInt32(); });
    if (doc.EngineMemory <= 0 || doc.PostMemory <= 0 || doc.MeshMemory <= 0)
      r.Fail(fmt::format("work-array sizes {}, {}, {} must be positive", doc.EngineMemory,
                         doc.PostMemory, doc.MeshMemory));
  }

  doc.RecomputeReferenceCounts();
  Swap(doc);
}

std::filesystem::path UserDataFolder() {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  if (xdg && *xdg) return std::filesystem::path(xdg) / "vemto";
  const char* home = std::getenv("HOME");
  const std::filesystem::path base = home && *home ? std::filesystem::path(home) : ".";
  return base / ".local" / "share" / "vemto";
}

namespace {
bool FolderWritable(const std::filesystem::path& folder) {
  return ::access(folder.c_str(), W_OK | X_OK) == 0;
}
}  // namespace

std::filesystem::path MaterialLibraryReadPath(const std::filesystem::path& programFolder) {
  const std::filesystem::path own = programFolder / kMaterialLibraryName;
  if (FolderWritable(programFolder)) return own;
  const std::filesystem::path user = UserDataFolder() / kMaterialLibraryName;
  std::error_code ec;
  return std::filesystem::exists(user, ec) ? user : own;
}

std::filesystem::path MaterialLibraryWritePath(const std::filesystem::path& programFolder) {
  if (FolderWritable(programFolder)) return programFolder / kMaterialLibraryName;
  const std::filesystem::path folder = UserDataFolder();
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  return folder / kMaterialLibraryName;
}

void LoadMaterialLibrary(TVemtoFile& library, const std::filesystem::path& programFolder) {
  library.SetFileName(MaterialLibraryReadPath(programFolder).string());
  try {
    library.Load();
  } catch (const FileError& e) {
    if (e.Kind() != TStorageError::NotFound) throw;
  }
}

void SaveMaterialLibrary(TVemtoFile& library, const std::filesystem::path& programFolder) {
  library.SetFileName(MaterialLibraryWritePath(programFolder).string());
  library.Save();
}

}  // namespace vemto
