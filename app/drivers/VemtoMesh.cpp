#include "VemtoMesh.h"

#include <dlfcn.h>
#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <string_view>
#include <system_error>

#include "VemtoFile.h"
#include "VemtoListener.h"

namespace vemto {

int MeshPhaseNumber(const std::string& text) {
  // The mesher's phases in the order it runs them.
  static constexpr std::array<std::string_view, kMeshPhaseCount> kPhases = {
      "WRITING INPUT DATA TO FILE",
      "REARRANGING SUPER ELEMENTS",
      "FINDING INPUT CONNECTIVITY.",
      "MESHING REGIONS",
      "CREATING NODES.",
      "FINDING COMMON BOUNDARIES.",
      "WRITING OUTPUT DATA."};
  std::string_view trimmed(text);
  while (!trimmed.empty() && trimmed.front() == ' ') trimmed.remove_prefix(1);
  while (!trimmed.empty() && trimmed.back() == ' ') trimmed.remove_suffix(1);
  for (std::size_t k = 0; k < kPhases.size(); ++k)
    if (trimmed == kPhases[k]) return static_cast<int>(k) + 1;
  return 0;
}

namespace {

/// Ends a conversion after its message has been shown.
struct ConversionStop {};

constexpr double kSecondsPerHour = 3600.0;
constexpr std::size_t kMaxHistory = MESHGEN_HISTORY_POINTS;

enum class HistoryKind { kTemp, kFlow, kDisp, kLoad, kSpring, kPipe };

std::size_t RecordLength(HistoryKind k) {
  switch (k) {
    case HistoryKind::kTemp:
      return MESHGEN_TEMP_RECORD;
    case HistoryKind::kFlow:
      return MESHGEN_FLOW_RECORD;
    case HistoryKind::kDisp:
      return MESHGEN_DISP_RECORD;
    case HistoryKind::kLoad:
      return MESHGEN_LOAD_RECORD;
    case HistoryKind::kSpring:
      return MESHGEN_SPRING_RECORD;
    case HistoryKind::kPipe:
      return MESHGEN_PIPE_RECORD;
  }
  return 0;
}

/// Appends the history item of `c` (times in seconds) to `out`; `pipeLength` is the
/// pipe's part length for pipe items. Throws ETooLargeHistory beyond 1000 points.
void AppendHistory(std::vector<double>& out, const TVemtoCondition& c, HistoryKind kind,
                   double pipeLength = 0.0) {
  const std::size_t n = c.History.size();
  if (n > kMaxHistory)
    throw ETooLargeHistory(fmt::format(
        "Condition \"{}\" has {} history points; at most 1000 are allowed.", c.Name, n));
  std::vector<double> r(RecordLength(kind), 0.0);
  r[0] = static_cast<double>(n);
  std::size_t first = 0, width = 0;  // 0-based index of point 1, values per point
  switch (kind) {
    case HistoryKind::kTemp:
      r[1] = static_cast<const TVemtoTempCondition&>(c).TransferCoefficient;
      first = 2, width = 2;
      break;
    case HistoryKind::kFlow:
      first = 1, width = 2;
      break;
    case HistoryKind::kDisp:
    case HistoryKind::kLoad:
      first = 1, width = 3;
      break;
    case HistoryKind::kSpring: {
      const auto& s = static_cast<const TVemtoSpringCondition&>(c);
      r[1] = s.StiffnessX;
      r[2] = s.StiffnessY;
      first = 3, width = 3;
      break;
    }
    case HistoryKind::kPipe: {
      const auto& p = static_cast<const TVemtoPipeCondition&>(c);
      r[1] = p.TransferCoefficient;
      r[2] = p.PipeDiameter;
      r[3] = pipeLength;
      r[4] = p.SpecificHeat;
      r[5] = p.PipeConditionType;
      first = 6, width = 3;
      break;
    }
  }
  for (std::size_t k = 0; k < n; ++k) {
    const TVemtoEventPos& e = c.History[k];
    double* p = r.data() + first + width * k;
    p[0] = e.Time * kSecondsPerHour;
    p[1] = e.Value1;
    if (width == 3) p[2] = e.Value2;
  }
  out.insert(out.end(), r.begin(), r.end());
}

/// 1-based index of `c` among the conditions emitted into `g`; the first use
/// appends its history item (and direction flags for displacements).
std::int32_t ConditionIndex(MeshArrays::Group& g, const TVemtoCondition& c, HistoryKind kind) {
  const auto it = std::find(g.emitted.begin(), g.emitted.end(), &c);
  if (it != g.emitted.end()) return static_cast<std::int32_t>(it - g.emitted.begin()) + 1;
  AppendHistory(g.conds, c, kind);
  if (kind == HistoryKind::kDisp) {
    const auto& d = static_cast<const TVemtoDisplCondition&>(c);
    g.dirs.push_back(d.PrescribesX() ? 1 : 0);
    g.dirs.push_back(d.PrescribesY() ? 1 : 0);
  }
  g.emitted.push_back(&c);
  ++g.nConds;
  return g.nConds;
}

/// Kind of a condition, false for a kind the position kind does not take.
bool KindOf(const TVemtoCondition& c, HistoryKind& kind) {
  if (dynamic_cast<const TVemtoTempCondition*>(&c)) return kind = HistoryKind::kTemp, true;
  if (dynamic_cast<const TVemtoFlowCondition*>(&c)) return kind = HistoryKind::kFlow, true;
  if (dynamic_cast<const TVemtoDisplCondition*>(&c)) return kind = HistoryKind::kDisp, true;
  if (dynamic_cast<const TVemtoLoadCondition*>(&c)) return kind = HistoryKind::kLoad, true;
  if (dynamic_cast<const TVemtoSpringCondition*>(&c)) return kind = HistoryKind::kSpring, true;
  if (dynamic_cast<const TVemtoPipeCondition*>(&c)) return kind = HistoryKind::kPipe, true;
  return false;
}

/// Steps of the first interval: (end − initial) / step, halves to even; 0 when
/// that is not a finite number in the range of the argument.
std::int32_t FirstIntervalSteps(double initial, const TVemtoInterval& first) {
  const double q = std::nearbyint((first.EndTime - initial) / first.TimeStep);
  if (!std::isfinite(q) || q < std::numeric_limits<std::int32_t>::min() ||
      q > std::numeric_limits<std::int32_t>::max())
    return 0;
  return static_cast<std::int32_t>(q);
}

/// Copies `text` into a 256-byte field: zero-filled (file names) or blank-filled
/// (project texts); at most 255 characters, followed by a zero byte.
void FillField(char (&field)[MESHGEN_TEXT_LENGTH], const std::string& text, char fill) {
  std::memset(field, fill, sizeof field);
  const std::size_t n = std::min(text.size(), sizeof field - 1);
  std::memcpy(field, text.data(), n);
  field[n] = '\0';
}

std::string Trimmed(const char* text, std::size_t length) {
  std::size_t n = 0;
  while (n < length && text[n] != '\0') ++n;
  std::size_t b = 0;
  while (b < n && text[b] == ' ') ++b;
  while (n > b && (text[n - 1] == ' ' || text[n - 1] == '\0')) --n;
  return std::string(text + b, n - b);
}

std::string DefaultLibraryPath() {
  std::error_code ec;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  const auto dir = ec ? std::filesystem::path(".") : exe.parent_path();
  return (dir / "libmeshgen.so").string();
}

}  // namespace

// ---- MeshArrays -------------------------------------------------------------

void MeshArrays::Reset() {
  *this = MeshArrays{};
}

MeshgenArgs MeshArrays::Build() const {
  MeshgenArgs a;
  std::memset(&a, 0, sizeof a);
  a.generalDefined = generalDefined;
  for (int i = 0; i < 3; ++i) a.analysisInts[i] = analysisInts[i];
  for (int i = 0; i < 4; ++i) a.timeReals[i] = timeReals[i];
  a.nSuperNodes = static_cast<std::int32_t>(superNodeX.size());
  a.superNodeX = superNodeX.data();
  a.superNodeY = superNodeY.data();
  a.nSuperElements = static_cast<std::int32_t>(elementRows.size());
  a.elementRows = elementRows.data();
  a.elementColumns = elementColumns.data();
  a.superNodeCode = superNodeCode.data();
  a.superElementNodes = superElementNodes.data();
  a.materialNumber = materialNumber.data();
  a.elementType = elementType.data();
  a.superThickness = superThickness.data();
  a.nMaterials = nMaterials;
  a.materialProperties = materialProperties.data();
  a.materialOptions = materialOptions.data();

  a.nEdgeTempConds = edgeTemp.nConds, a.edgeTempConds = edgeTemp.conds.data();
  a.nEdgeTempPos = edgeTemp.nPos, a.edgeTempPos = edgeTemp.pos.data();
  a.nEdgeFlowConds = edgeFlow.nConds, a.edgeFlowConds = edgeFlow.conds.data();
  a.nEdgeFlowPos = edgeFlow.nPos, a.edgeFlowPos = edgeFlow.pos.data();
  a.nAreaTempConds = areaTemp.nConds, a.areaTempConds = areaTemp.conds.data();
  a.nAreaTempPos = areaTemp.nPos, a.areaTempPos = areaTemp.pos.data();
  a.nAreaFlowConds = areaFlow.nConds, a.areaFlowConds = areaFlow.conds.data();
  a.nAreaFlowPos = areaFlow.nPos, a.areaFlowPos = areaFlow.pos.data();
  a.nEdgeDispConds = edgeDisp.nConds, a.edgeDispConds = edgeDisp.conds.data();
  a.nEdgeDispPos = edgeDisp.nPos, a.edgeDispPos = edgeDisp.pos.data();
  a.edgeDispDirs = edgeDisp.dirs.data();
  a.nEdgeSpringConds = edgeSpring.nConds, a.edgeSpringConds = edgeSpring.conds.data();
  a.nEdgeSpringPos = edgeSpring.nPos, a.edgeSpringPos = edgeSpring.pos.data();
  a.nEdgeLoadConds = edgeLoad.nConds, a.edgeLoadConds = edgeLoad.conds.data();
  a.nEdgeLoadPos = edgeLoad.nPos, a.edgeLoadPos = edgeLoad.pos.data();

  a.nNodalTempConds = nodalTemp.nConds, a.nodalTempConds = nodalTemp.conds.data();
  a.nNodalTempPos = nodalTemp.nPos, a.nodalTempPosCond = nodalTemp.pos.data();
  a.nodalTempPosXY = nodalTemp.xy.data();
  a.nNodalFlowConds = nodalFlow.nConds, a.nodalFlowConds = nodalFlow.conds.data();
  a.nNodalFlowPos = nodalFlow.nPos, a.nodalFlowPosCond = nodalFlow.pos.data();
  a.nodalFlowPosXY = nodalFlow.xy.data();
  a.nPipeConds = pipe.nConds, a.pipeConds = pipe.conds.data();
  a.nPipePos = pipe.nPos, a.pipePosCondPart = pipe.pos.data(), a.pipePosXY = pipe.xy.data();
  a.nNodalDispConds = nodalDisp.nConds, a.nodalDispConds = nodalDisp.conds.data();
  a.nodalDispDirs = nodalDisp.dirs.data();
  a.nNodalDispPos = nodalDisp.nPos, a.nodalDispPosCond = nodalDisp.pos.data();
  a.nodalDispPosXY = nodalDisp.xy.data();
  a.nNodalSpringConds = nodalSpring.nConds, a.nodalSpringConds = nodalSpring.conds.data();
  a.nNodalSpringPos = nodalSpring.nPos, a.nodalSpringPosCond = nodalSpring.pos.data();
  a.nodalSpringPosXY = nodalSpring.xy.data();
  a.nNodalLoadConds = nodalLoad.nConds, a.nodalLoadConds = nodalLoad.conds.data();
  a.nNodalLoadPos = nodalLoad.nPos, a.nodalLoadPosCond = nodalLoad.pos.data();
  a.nodalLoadPosXY = nodalLoad.xy.data();
  return a;
}

// ---- the library --------------------------------------------------------------

struct TVemtoMesh::Library {
  void* handle = nullptr;
  MeshgenExecuteFn execute = nullptr;
  VemtoInitFn init = nullptr;
  VemtoGetInfoTextFn getInfoText = nullptr;
  VemtoBreakFn requestBreak = nullptr;
  void (*graphInit)(std::intptr_t, std::int32_t, std::int32_t, std::int32_t) = nullptr;
  ~Library() {
    if (handle != nullptr) dlclose(handle);
  }
};

TVemtoMesh::TVemtoMesh() = default;
TVemtoMesh::~TVemtoMesh() = default;

void TVemtoMesh::Fail(std::int32_t errorNumber, const std::string& text) {
  Failed = true;
  errorNumber_ = errorNumber;
  errorText_ = text;
  if (OnError) OnError(*this, errorNumber);
}

void TVemtoMesh::Message(const std::string& text) {
  Failed = true;
  errorText_ = text;
  if (OnMessage) OnMessage(text);
  throw ConversionStop{};
}

// ---- conversion -------------------------------------------------------------

void TVemtoMesh::Convert(TVemtoFile& doc) {
  Failed = false;
  errorText_.clear();
  errorNumber_ = 0;
  ResetArrays();
  MeshArrays& a = arrays_;
  try {
    // 1. Control data.
    const TVemtoGeneralInfo& g = doc.GeneralInfo;
    a.generalDefined = 1;
    a.analysisInts[0] = g.AnalysisType;
    a.analysisInts[2] = g.SimulationType;
    a.timeReals[0] = g.InitialTime * kSecondsPerHour;
    a.timeReals[3] = g.Thickness;
    if (!doc.Intervals.empty()) {
      const TVemtoInterval& first = *doc.Intervals.front();
      a.analysisInts[1] = FirstIntervalSteps(g.InitialTime, first);
      a.timeReals[1] = first.TimeStep * kSecondsPerHour;
      a.timeReals[2] = first.StoreStep * kSecondsPerHour;
    }

    // 2. Nodes; their numbers are the list positions.
    const std::int32_t nNodes = static_cast<std::int32_t>(doc.Nodes.size());
    for (std::int32_t i = 0; i < nNodes; ++i) {
      TNode& n = *doc.Nodes[static_cast<std::size_t>(i)];
      n.Number = i + 1;
      a.superNodeX.push_back(n.Coord->X);
      a.superNodeY.push_back(n.Coord->Y);
    }
    auto node = [&](std::int32_t number) -> const TNode* {
      return number >= 1 && number <= nNodes ? doc.Nodes[static_cast<std::size_t>(number - 1)].get()
                                             : nullptr;
    };

    // 3. Surfaces. Corners of each surface counter-clockwise, for its area positions.
    std::vector<std::array<std::int32_t, 4>> corners(doc.Surfaces.size());
    for (std::size_t i = 0; i < doc.Surfaces.size(); ++i) {
      TVemtoSurface& s = *doc.Surfaces[i];
      const int number = static_cast<int>(i) + 1;
      int edgeCount = 0;
      bool complete = s.RefreshNumbers();
      for (int k = 0; k < 4 && complete; ++k) {
        const TEdge* e = s.Edges[static_cast<std::size_t>(k)];
        edgeCount += e->NodeCount() == 3 ? 2 : 1;
      }
      if (!complete) Message(fmt::format("Element {} has an incomplete edge.", number));
      if (edgeCount != 4 && edgeCount != 8)
        Message("The superelement can not have mixed edge types!");
      const bool curved = edgeCount == 8;
      std::array<std::int32_t, 8> nodes{};
      for (int k = 0; k < 4; ++k) {
        nodes[static_cast<std::size_t>(2 * k)] = s.CornerNumber(k);
        if (curved) nodes[static_cast<std::size_t>(2 * k + 1)] = s.MidNumber(k);
      }
      const std::int32_t material = doc.Materials.IndexOf(s.Material);
      if (s.Material == nullptr || material < 0)
        Message(fmt::format("Element {} has not been assigned a material.", number));

      // Orientation: twice the signed area of the boundary polygon.
      double area2 = 0.0;
      std::vector<const TNode*> ring;
      for (int p = 0; p < 8; ++p)
        if (curved || p % 2 == 0) ring.push_back(node(nodes[static_cast<std::size_t>(p)]));
      for (std::size_t p = 0; p < ring.size(); ++p) {
        const TNode* u = ring[p];
        const TNode* v = ring[(p + 1) % ring.size()];
        if (u == nullptr || v == nullptr)
          Message(fmt::format("Element {} has an incomplete edge.", number));
        area2 += u->Coord->X * v->Coord->Y - v->Coord->X * u->Coord->Y;
      }
      std::int32_t rows = s.DivisionsV(), columns = s.DivisionsU();
      if (area2 < 0.0) {
        // Clockwise: pass it counter-clockwise from the same first corner; the
        // sides swap their roles, and so do rows and columns.
        nodes = {nodes[0], nodes[7], nodes[6], nodes[5], nodes[4], nodes[3], nodes[2], nodes[1]};
        std::swap(rows, columns);
      }
      corners[i] = {nodes[0], nodes[2], nodes[4], nodes[6]};

      a.elementRows.push_back(rows);
      a.elementColumns.push_back(columns);
      a.superNodeCode.push_back(curved ? 1 : 2);
      a.superElementNodes.insert(a.superElementNodes.end(), nodes.begin(), nodes.end());
      a.materialNumber.push_back(material + 1);
      a.elementType.push_back(s.ElementType == 0   ? MESHGEN_TYPE_FINITE
                              : s.ElementType == 1 ? MESHGEN_TYPE_INFINITE_SURFACE
                                                   : MESHGEN_TYPE_INFINITE_CORNER);
      // A thickness <= 0 (or not finite) means the section's thickness: -1.0 for the mesher.
      a.superThickness.push_back(std::isfinite(s.Thickness) && s.Thickness > 0.0 ? s.Thickness
                                                                                : -1.0);
    }

    // 4. Positions other than pipe positions.
    for (const auto& pp : doc.Positions) {
      const TVemtoPosition* p = pp.get();
      if (dynamic_cast<const TVemtoPipePos*>(p) != nullptr || p->Condition == nullptr) continue;
      const TVemtoCondition& c = *p->Condition;
      HistoryKind kind;
      if (!KindOf(c, kind) || kind == HistoryKind::kPipe) continue;
      if (const auto* n = dynamic_cast<const TVemtoNodalPos*>(p)) {
        MeshArrays::Group& gr = kind == HistoryKind::kTemp   ? a.nodalTemp
                                : kind == HistoryKind::kFlow ? a.nodalFlow
                                : kind == HistoryKind::kDisp ? a.nodalDisp
                                : kind == HistoryKind::kLoad ? a.nodalLoad
                                                             : a.nodalSpring;
        gr.pos.push_back(ConditionIndex(gr, c, kind));
        gr.xy.push_back(n->X);
        gr.xy.push_back(n->Y);
        ++gr.nPos;
      } else if (const auto* e = dynamic_cast<const TVemtoEdgePos*>(p)) {
        if (e->Edge == nullptr || e->Edge->FirstNode() == nullptr || e->Edge->LastNode() == nullptr)
          continue;
        MeshArrays::Group& gr = kind == HistoryKind::kTemp   ? a.edgeTemp
                                : kind == HistoryKind::kFlow ? a.edgeFlow
                                : kind == HistoryKind::kDisp ? a.edgeDisp
                                : kind == HistoryKind::kLoad ? a.edgeLoad
                                                             : a.edgeSpring;
        const std::int32_t index = ConditionIndex(gr, c, kind);
        gr.pos.insert(gr.pos.end(),
                      {e->Edge->FirstNode()->Number, e->Edge->LastNode()->Number, index});
        ++gr.nPos;
      } else if (const auto* s = dynamic_cast<const TVemtoSurfacePos*>(p)) {
        if (kind != HistoryKind::kTemp && kind != HistoryKind::kFlow) continue;
        std::size_t i = 0;
        while (i < doc.Surfaces.size() && doc.Surfaces[i].get() != s->Surface) ++i;
        if (i == doc.Surfaces.size()) continue;
        MeshArrays::Group& gr = kind == HistoryKind::kTemp ? a.areaTemp : a.areaFlow;
        const std::int32_t index = ConditionIndex(gr, c, kind);
        gr.pos.insert(gr.pos.end(), corners[i].begin(), corners[i].end());
        gr.pos.push_back(index);
        ++gr.nPos;
      }
    }

    // 5. Pipes: one history item per pipe; its points numbered 1 … k along the
    // pipe in the order of PipeOrder.
    for (std::size_t j = 0; j < doc.Pipes.Count(); ++j) {
      const TVemtoPipe& pipe = *doc.Pipes[j];
      if (pipe.Condition == nullptr)
        Message(fmt::format("Pipe \"{}\" has no pipe condition.", pipe.Name));
      AppendHistory(a.pipe.conds, *pipe.Condition, HistoryKind::kPipe, pipe.PartLength);
      ++a.pipe.nConds;
      std::vector<const TVemtoPipePos*> points;
      for (const auto& pp : doc.Positions)
        if (const auto* q = dynamic_cast<const TVemtoPipePos*>(pp.get()); q && q->Pipe == &pipe)
          points.push_back(q);
      if (points.size() > static_cast<std::size_t>(kMaxPipePoints))
        Message(fmt::format("Pipe \"{}\" has {} points; at most {} are allowed.", pipe.Name,
                            points.size(), kMaxPipePoints));
      std::vector<const TVemtoPipePos*> along = points;
      std::stable_sort(along.begin(), along.end(),
                       [](const TVemtoPipePos* u, const TVemtoPipePos* v) {
                         return u->PipeOrder < v->PipeOrder;
                       });
      for (const TVemtoPipePos* q : points) {
        const auto part = std::find(along.begin(), along.end(), q) - along.begin() + 1;
        a.pipe.pos.push_back(static_cast<std::int32_t>(j) + 1);
        a.pipe.pos.push_back(static_cast<std::int32_t>(part));
        a.pipe.xy.push_back(q->X);
        a.pipe.xy.push_back(q->Y);
        ++a.pipe.nPos;
      }
    }
  } catch (const ETooLargeHistory& e) {
    Fail(kErrorTooLargeHistory, e.what());
  } catch (const ConversionStop&) {
    // The message has been shown; Failed is set so that no run starts on a
    // half-converted model.
  }
}

void TVemtoMesh::AddMaterial(const TVemtoMaterial& material) {
  arrays_.materialProperties.insert(arrays_.materialProperties.end(), material.Properties.begin(),
                                    material.Properties.end());
  arrays_.materialOptions.insert(arrays_.materialOptions.end(), material.Options.begin(),
                                 material.Options.end());
  ++arrays_.nMaterials;
}

// ---- the run --------------------------------------------------------------------

void TVemtoMesh::Send(void* context, int message, std::intptr_t lParam) {
  static_cast<TVemtoMesh*>(context)->Receive(message, lParam);
}

void TVemtoMesh::Receive(int message, std::intptr_t lParam) {
  char buffer[MESHGEN_TEXT_LENGTH] = {};
  library_->getInfoText(buffer);
  const std::string text = Trimmed(buffer, VEMTO_INFO_TEXT_LENGTH);
  switch (message) {
    case VEMTO_MSG_INFO:
      if (ShowProgress && OnProgress) OnProgress(text);
      break;
    case VEMTO_MSG_ERROR:
      Fail(static_cast<std::int32_t>(lParam), text);
      break;
    case VEMTO_MSG_FINISHED:
      if (ShowProgress && OnFinished) OnFinished(text);
      break;
    default:
      break;
  }
}

void TVemtoMesh::Cancel() {
  if (library_ && library_->requestBreak) library_->requestBreak();
}

void TVemtoMesh::Execute() {
  Failed = false;
  errorText_.clear();
  errorNumber_ = 0;
  if (!library_) {
    const std::string path = LibraryPath.empty() ? DefaultLibraryPath() : LibraryPath;
    auto lib = std::make_unique<Library>();
    lib->handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (lib->handle == nullptr) {
      const char* why = dlerror();
      Fail(VEMTO_ERROR_GENERAL,
           fmt::format("The mesher library {} could not be loaded: {}", path, why ? why : ""));
      return;
    }
    lib->execute = reinterpret_cast<MeshgenExecuteFn>(dlsym(lib->handle, "execute"));
    lib->init = reinterpret_cast<VemtoInitFn>(dlsym(lib->handle, "IO_FUNC_mp_vemto_init"));
    lib->getInfoText =
        reinterpret_cast<VemtoGetInfoTextFn>(dlsym(lib->handle, "IO_FUNC_mp_vemto_getinfotext"));
    lib->requestBreak =
        reinterpret_cast<VemtoBreakFn>(dlsym(lib->handle, "IO_FUNC_mp_vemto_break"));
    lib->graphInit =
        reinterpret_cast<decltype(lib->graphInit)>(dlsym(lib->handle, "FGRAPH_mp_init"));
    if (!lib->execute || !lib->init || !lib->getInfoText || !lib->requestBreak) {
      Fail(VEMTO_ERROR_GENERAL, fmt::format("The mesher library {} lacks its entry points.", path));
      return;
    }
    library_ = std::move(lib);
  }
  for (const std::string* name : {&FileName, &InputDataName})
    if (name->size() >= MESHGEN_TEXT_LENGTH) {
      Fail(VEMTO_ERROR_GENERAL, fmt::format("The file name {} is too long.", *name));
      return;
    }

  MeshgenArgs args = arrays_.Build();
  FillField(args.datFileName, FileName, '\0');
  FillField(args.listFileName, InputDataName, '\0');
  FillField(args.projectTitle, Title, ' ');
  FillField(args.projectSubject, Subject, ' ');
  FillField(args.projectAuthor, Author, ' ');
  FillField(args.projectManager, Manager, ' ');
  FillField(args.projectCompany, Company, ' ');
  FillField(args.projectDescription, Description, ' ');
  args.memoryWords = Memory;

  const VemtoListener listener{&TVemtoMesh::Send, this};
  library_->init(&listener);
  // The library's own mesh drawing stays off (device context, width, height and
  // switch all zero); a library without the drawing module needs no call.
  if (library_->graphInit != nullptr) library_->graphInit(0, 0, 0, 0);
  library_->execute(&args);
  library_->init(nullptr);  // the listener lives on this stack frame only
}

}  // namespace vemto
