// Records of the simulation objects: byte layouts, round trips, damaged input, references.
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Edge.h"
#include "Node.h"
#include "VemtoCondition.h"
#include "VemtoInfo.h"
#include "VemtoInterval.h"
#include "VemtoLists.h"
#include "VemtoPipe.h"
#include "VemtoPosition.h"
#include "VemtoSurface.h"

namespace vemto {
namespace {

std::vector<std::uint8_t> Record(const TVemtoObject& o) {
  TStream s;
  o.SaveToStream(s);
  return s.Bytes();
}

// Every proper prefix of `bytes` is rejected by a fresh object of the same kind, and the
// read position stays at the start.
template <class Make>
void ExpectTruncationsRejected(const std::vector<std::uint8_t>& bytes, Make make) {
  for (std::size_t n = 0; n < bytes.size(); ++n) {
    TStream cut(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(n)));
    auto o = make();
    EXPECT_THROW(o->LoadFromStream(cut), StreamError) << "prefix of " << n << " bytes";
    EXPECT_EQ(cut.Position(), 0u) << n;
  }
}

std::size_t ConditionHead(const std::string& name, std::size_t points) {
  return 4 + name.size() + 1 + 4 + 4 + 24 * points;
}

TEST(SimConditionRecord, ByteLengthsOfTheSixKinds) {
  const std::pair<const char*, std::size_t> kinds[] = {
      {"TVemtoTempCondition", 1 + 4 * 8}, {"TVemtoFlowCondition", 0},
      {"TVemtoPipeCondition", 4 * 8 + 4}, {"TVemtoDisplCondition", 4},
      {"TVemtoLoadCondition", 0},         {"TVemtoSpringCondition", 2 * 8},
  };
  for (const auto& [cls, extra] : kinds) {
    auto c = MakeCondition(cls);
    ASSERT_NE(c, nullptr) << cls;
    EXPECT_STREQ(c->ClassName(), cls);
    c->Name = "Air";
    if (auto* d = dynamic_cast<TVemtoDisplCondition*>(c.get())) d->SetEditorDefaults();
    if (auto* p = dynamic_cast<TVemtoPipeCondition*>(c.get())) p->SetEditorDefaults();
    c->History.push_back({0, 1, 2, 3});
    c->History.push_back({0, 4, 5, 6});
    EXPECT_EQ(Record(*c).size(), ConditionHead("Air", 2) + extra) << cls;
  }
  EXPECT_EQ(MakeCondition("TVemtoCondition"), nullptr);
  EXPECT_EQ(MakeCondition("tvemtotempcondition"), nullptr);
}

TEST(SimConditionRecord, TemperatureConditionBytesAndRoundTrip) {
  TVemtoTempCondition c("Air");
  c.SetEditorDefaults();
  c.InsulationType = 3;
  c.RefCount = 2;
  c.History.push_back({99.0, 20.5, 0.0, 0.0});
  c.History.push_back({99.0, 10.0, 0.0, 168.0});
  const auto bytes = Record(c);
  ASSERT_EQ(bytes.size(), 4u + 4 + 4 + 4 + 48 + 33);
  std::int32_t n;
  std::memcpy(&n, bytes.data(), 4);
  EXPECT_EQ(n, 4);         // "Air" + zero
  EXPECT_EQ(bytes[7], 0);  // terminating zero
  std::memcpy(&n, bytes.data() + 12, 4);
  EXPECT_EQ(n, 2);  // point count
  double v;
  std::memcpy(&v, bytes.data() + 16, 8);
  EXPECT_EQ(v, 20.5);  // Value1 first; the unused value 0 is not stored
  std::memcpy(&v, bytes.data() + 16 + 40, 8);
  EXPECT_EQ(v, 168.0);      // Time last
  EXPECT_EQ(bytes[64], 3);  // InsulationType
  std::memcpy(&v, bytes.data() + 65, 8);
  EXPECT_EQ(v, 45.0);

  TStream s(bytes);
  auto loaded = MakeCondition("TVemtoTempCondition");
  loaded->LoadFromStream(s);
  EXPECT_EQ(s.Remaining(), 0u);
  auto& t = dynamic_cast<TVemtoTempCondition&>(*loaded);
  EXPECT_EQ(t.Name, "Air");
  EXPECT_EQ(t.RefCount, 2);
  ASSERT_EQ(t.History.size(), 2u);
  EXPECT_EQ(t.History[1].Value1, 10.0);
  EXPECT_EQ(t.History[1].Time, 168.0);
  EXPECT_EQ(t.History[0].Value0, 0.0);
  EXPECT_EQ(t.InsulationType, 3);
  EXPECT_EQ(t.InsulationThickness, 0.005);
  EXPECT_EQ(t.WindVelocity, 5.0);
  EXPECT_EQ(t.TransferCoefficient, 10.0);
  ExpectTruncationsRejected(bytes, [] { return MakeCondition("TVemtoTempCondition"); });
}

TEST(SimConditionRecord, EmptyHistoryAndFreshHistoryOnLoad) {
  TVemtoFlowCondition c("Heat");
  const auto bytes = Record(c);
  ASSERT_EQ(bytes.size(), ConditionHead("Heat", 0));
  EXPECT_EQ(bytes[bytes.size() - 4], 0);  // point count 0
  TVemtoFlowCondition target("Old");
  target.History.push_back({0, 1, 1, 1});
  TStream s(bytes);
  target.LoadFromStream(s);
  EXPECT_TRUE(target.History.empty());
  EXPECT_EQ(target.Name, "Heat");
}

TEST(SimConditionRecord, DamagedRecordsAreRejected) {
  TVemtoLoadCondition c("L");
  c.History.push_back({0, 1, 2, 3});
  auto bytes = Record(c);
  // A point count far beyond the record, or negative.
  for (std::int32_t count : {1000000000, -1, 2}) {
    auto damaged = bytes;
    std::memcpy(damaged.data() + 4 + 2 + 4, &count, 4);
    TStream s(damaged);
    TVemtoLoadCondition target("unchanged");
    EXPECT_THROW(target.LoadFromStream(s), StreamError) << count;
    EXPECT_EQ(target.Name, "unchanged");
    EXPECT_EQ(s.Position(), 0u);
  }
  TVemtoDisplCondition d("D");
  d.Direction = 4;
  TStream bad(Record(d));
  EXPECT_THROW(TVemtoDisplCondition().LoadFromStream(bad), StreamError);
  TVemtoPipeCondition p("P");
  p.PipeConditionType = 2;
  TStream badPipe(Record(p));
  EXPECT_THROW(TVemtoPipeCondition().LoadFromStream(badPipe), StreamError);
  TVemtoTempCondition t("T");
  t.InsulationType = 8;
  TStream badTemp(Record(t));
  TVemtoTempCondition target("unchanged");
  EXPECT_THROW(target.LoadFromStream(badTemp), StreamError);
  EXPECT_EQ(target.Name, "unchanged");
  TVemtoSpringCondition sc(std::string(256, 's'));
  TStream tooLong;
  EXPECT_THROW(sc.SaveToStream(tooLong), StreamError);
  EXPECT_EQ(tooLong.Size(), 0u);
}

TEST(SimConditionRecord, PipeAndSpringFieldsRoundTrip) {
  TVemtoPipeCondition p("Water");
  p.SetEditorDefaults();
  p.PipeAux = 7.25;
  p.History.push_back({0, 12.0, 0.5, 0.0});
  TStream s(Record(p));
  TVemtoPipeCondition lp;
  lp.LoadFromStream(s);
  EXPECT_EQ(lp.TransferCoefficient, 978.0);
  EXPECT_EQ(lp.PipeDiameter, 0.025);
  EXPECT_EQ(lp.PipeAux, 7.25);
  EXPECT_EQ(lp.SpecificHeat, 4200.0);
  EXPECT_EQ(lp.PipeConditionType, 1);
  EXPECT_EQ(lp.History[0].Value2, 0.5);

  TVemtoSpringCondition sp("Ground");
  sp.StiffnessX = 1e8;
  sp.StiffnessY = 2e8;
  TStream t(Record(sp));
  TVemtoSpringCondition ls;
  ls.LoadFromStream(t);
  EXPECT_EQ(ls.StiffnessX, 1e8);
  EXPECT_EQ(ls.StiffnessY, 2e8);

  TVemtoDisplCondition d;
  d.SetEditorDefaults();
  EXPECT_TRUE(d.PrescribesX());
  EXPECT_TRUE(d.PrescribesY());
  d.Direction = 2;
  EXPECT_FALSE(d.PrescribesX());
}

TEST(SimPositionRecord, ByteLengthsAndRoundTrips) {
  TVemtoNodalPos nodal(1.5, -2.0);
  nodal.ConditionIndex = 4;
  EXPECT_EQ(Record(nodal).size(), 20u);
  TVemtoEdgePos edge;
  EXPECT_EQ(edge.EdgeIndex, -1);
  EXPECT_EQ(Record(edge).size(), 8u);
  TVemtoSurfacePos surface;
  EXPECT_EQ(surface.SurfaceIndex, -1);
  EXPECT_EQ(Record(surface).size(), 8u);
  TVemtoPipePos pipe(0.25, 0.5, nullptr);
  EXPECT_EQ(pipe.PipeOrder, -1);
  EXPECT_EQ(pipe.PipeAux2, -1);
  pipe.PipeIndex = 1;
  pipe.PipeOrder = 2;
  pipe.PipeAux2 = 3;
  const auto bytes = Record(pipe);
  ASSERT_EQ(bytes.size(), 32u);

  auto loaded = MakePosition("TVemtoPipePos");
  ASSERT_NE(loaded, nullptr);
  TStream s(bytes);
  loaded->LoadFromStream(s);
  auto& lp = dynamic_cast<TVemtoPipePos&>(*loaded);
  EXPECT_EQ(lp.X, 0.25);
  EXPECT_EQ(lp.Y, 0.5);
  EXPECT_EQ(lp.PipeIndex, 1);
  EXPECT_EQ(lp.PipeOrder, 2);
  EXPECT_EQ(lp.PipeAux2, 3);
  EXPECT_EQ(lp.ConditionIndex, -1);
  ExpectTruncationsRejected(bytes, [] { return MakePosition("TVemtoPipePos"); });
  ExpectTruncationsRejected(Record(nodal), [] { return MakePosition("TVemtoNodalPos"); });
  ExpectTruncationsRejected(Record(edge), [] { return MakePosition("TVemtoEdgePos"); });
  for (const char* cls : {"TVemtoNodalPos", "TVemtoEdgePos", "TVemtoSurfacePos", "TVemtoPipePos"})
    EXPECT_STREQ(MakePosition(cls)->ClassName(), cls);
  EXPECT_EQ(MakePosition("TVemtoPosition"), nullptr);
}

// A small model: two nodes, one edge, a surface, two conditions, a pipe.
struct MiniModel {
  std::vector<std::unique_ptr<TNode>> nodes;
  std::vector<std::unique_ptr<TEdge>> edges;
  std::unique_ptr<TVemtoSurface> surface;
  TVemtoConditionList conditions;
  TVemtoPipeList pipes;

  MiniModel() {
    nodes.push_back(std::make_unique<TNode>(0.0, 0.0));
    nodes.push_back(std::make_unique<TNode>(1.0, 0.0));
    nodes.push_back(std::make_unique<TNode>(1.0, 1.0));
    nodes.push_back(std::make_unique<TNode>(0.0, 1.0));
    for (int k = 0; k < 4; ++k)
      edges.push_back(std::make_unique<TEdgeLine>(nodes[k].get(), nodes[(k + 1) % 4].get()));
    surface = std::make_unique<TVemtoSurface>(edges[0].get(), edges[1].get(), edges[2].get(),
                                              edges[3].get());
    conditions.Add(std::make_unique<TVemtoTempCondition>("Air"));
    conditions.Add(std::make_unique<TVemtoPipeCondition>("Water"));
    auto pipe = std::make_unique<TVemtoPipe>("Pipe");
    pipe->Condition = dynamic_cast<TVemtoPipeCondition*>(conditions[1]);
    pipes.Add(std::move(pipe));
  }
};

TEST(SimPosition, ReferenceCountsIndicesAndResolution) {
  MiniModel m;
  const auto conds = m.conditions.Pointers();
  std::vector<TEdge*> edges{m.edges[0].get(), m.edges[1].get(), m.edges[2].get(), m.edges[3].get()};
  std::vector<TVemtoSurface*> surfaces{m.surface.get()};
  const auto pipes = m.pipes.Pointers();
  const PositionTargets targets{conds, edges, surfaces, pipes};

  TVemtoEdgePos ep(m.edges[2].get());
  ep.Condition = m.conditions[0];
  const int edgeRefs = m.edges[2]->RefCount;
  ep.AddReferences();
  EXPECT_EQ(m.conditions[0]->RefCount, 1);
  EXPECT_EQ(m.edges[2]->RefCount, edgeRefs + 1);
  ep.RefreshIndices(targets);
  EXPECT_EQ(ep.ConditionIndex, 0);
  EXPECT_EQ(ep.EdgeIndex, 2);

  TVemtoSurfacePos sp(m.surface.get());
  sp.Condition = m.conditions[0];
  sp.AddReferences();
  EXPECT_EQ(m.surface->RefCount, 1);
  EXPECT_EQ(m.conditions[0]->RefCount, 2);
  sp.RefreshIndices(targets);
  EXPECT_EQ(sp.SurfaceIndex, 0);

  TVemtoPipePos pp(0.5, 0.5, m.pipes[0]);
  pp.ConditionIndex = 7;  // stored, neither refreshed nor resolved
  pp.AddReferences();
  EXPECT_EQ(m.pipes[0]->RefCount, 1);
  EXPECT_EQ(m.conditions[1]->RefCount, 0);  // a pipe position counts only its pipe
  pp.RefreshIndices(targets);
  EXPECT_EQ(pp.PipeIndex, 0);
  EXPECT_EQ(pp.ConditionIndex, 7);

  // Save and load the three positions, then resolve the indices.
  TStream s;
  ep.SaveToStream(s);
  sp.SaveToStream(s);
  pp.SaveToStream(s);
  TVemtoEdgePos le;
  TVemtoSurfacePos ls;
  TVemtoPipePos lp;
  le.LoadFromStream(s);
  ls.LoadFromStream(s);
  lp.LoadFromStream(s);
  le.ResolveIndices(targets);
  ls.ResolveIndices(targets);
  lp.ResolveIndices(targets);
  EXPECT_EQ(le.Edge, m.edges[2].get());
  EXPECT_EQ(le.Condition, m.conditions[0]);
  EXPECT_EQ(ls.Surface, m.surface.get());
  EXPECT_EQ(lp.Pipe, m.pipes[0]);
  EXPECT_EQ(lp.Condition, nullptr);

  // Releasing twice never drives a count below 0.
  ep.ReleaseReferences();
  ep.ReleaseReferences();
  sp.ReleaseReferences();
  EXPECT_EQ(m.conditions[0]->RefCount, 0);
  EXPECT_EQ(m.edges[2]->RefCount, edgeRefs - 1);
  EXPECT_EQ(m.surface->RefCount, 0);

  // A target not in its list refreshes to -1; an index outside its list is rejected.
  TVemtoTempCondition stray("Stray");
  ep.Condition = &stray;
  ep.RefreshIndices(targets);
  EXPECT_EQ(ep.ConditionIndex, -1);
  TVemtoEdgePos bad;
  bad.ConditionIndex = 0;
  bad.EdgeIndex = 4;
  EXPECT_THROW(bad.ResolveIndices(targets), StreamError);
  EXPECT_EQ(bad.Condition, nullptr);  // unchanged
  bad.EdgeIndex = -2;
  EXPECT_THROW(bad.ResolveIndices(targets), StreamError);
  TVemtoNodalPos nodal;
  nodal.ConditionIndex = 2;
  EXPECT_THROW(nodal.ResolveIndices(targets), StreamError);
  nodal.ConditionIndex = -1;
  nodal.ResolveIndices(targets);
  EXPECT_EQ(nodal.Condition, nullptr);
}

TEST(SimPipe, RecordAndConditionResolution) {
  MiniModel m;
  TVemtoPipe& pipe = *m.pipes[0];
  pipe.PartLength = 1.0;
  pipe.RefCount = 3;
  const auto conds = m.conditions.Pointers();
  pipe.RefreshConditionIndex(conds);
  EXPECT_EQ(pipe.ConditionIndex, 1);
  const auto bytes = Record(pipe);
  ASSERT_EQ(bytes.size(), 4u + 5 + 4 + 4 + 8);
  TVemtoPipe loaded;
  TStream s(bytes);
  loaded.LoadFromStream(s);
  EXPECT_EQ(loaded.Name, "Pipe");
  EXPECT_EQ(loaded.RefCount, 3);
  EXPECT_EQ(loaded.PartLength, 1.0);
  loaded.ResolveConditionIndex(conds);
  EXPECT_EQ(loaded.Condition, m.conditions[1]);
  loaded.ConditionIndex = 0;  // a temperature condition
  EXPECT_THROW(loaded.ResolveConditionIndex(conds), StreamError);
  loaded.ConditionIndex = 2;
  EXPECT_THROW(loaded.ResolveConditionIndex(conds), StreamError);
  EXPECT_EQ(loaded.Condition, m.conditions[1]);  // unchanged
  ExpectTruncationsRejected(bytes, [] { return std::make_unique<TVemtoPipe>(); });
  EXPECT_EQ(m.pipes.MakeUniqueName("Pipe"), "Pipe1");
}

TEST(SimSurfaceRecord, VersionedLayouts) {
  MiniModel m;
  TVemtoSurface& s = *m.surface;
  EXPECT_EQ(s.MaterialIndex, -1);
  EXPECT_EQ(s.Thickness, 1.0);
  EXPECT_EQ(s.VersionMinor, 1);
  s.MaterialIndex = 0;
  s.ElementType = 1;
  s.Thickness = 0.4;
  const auto v31 = [&] {
    TStream t;
    s.SaveToStream(t);
    return t.Bytes();
  }();
  ASSERT_EQ(v31.size(), 28u + 4 + 1 + 8);
  EXPECT_EQ(v31[32], 1);
  s.VersionMinor = 0;
  TStream t30;
  s.SaveToStream(t30);
  ASSERT_EQ(t30.Size(), 28u + 4 + 1);

  TVemtoSurface old(ForLoading);
  old.VersionMinor = 0;
  old.Thickness = 5.0;
  old.LoadFromStream(t30);
  EXPECT_EQ(old.Thickness, -1.0);  // no thickness of its own
  EXPECT_EQ(old.ElementType, 1);
  EXPECT_EQ(old.MaterialIndex, 0);

  TVemtoSurface now(ForLoading);
  TStream t31(v31);
  now.LoadFromStream(t31);
  EXPECT_EQ(now.Thickness, 0.4);
  EXPECT_EQ(t31.Remaining(), 0u);
  ExpectTruncationsRejected(v31, [] { return std::make_unique<TVemtoSurface>(ForLoading); });

  auto bad = v31;
  bad[32] = 3;  // element type
  TStream tb(bad);
  TVemtoSurface target(ForLoading);
  EXPECT_THROW(target.LoadFromStream(tb), StreamError);
  EXPECT_EQ(tb.Position(), 0u);
  EXPECT_EQ(target.EdgeIndex[0], 0);  // nothing was taken over
  bad = v31;
  const std::int32_t minus2 = -2;
  std::memcpy(bad.data() + 28, &minus2, 4);
  TStream tm(bad);
  EXPECT_THROW(target.LoadFromStream(tm), StreamError);
}

TEST(SimSurface, MaterialReferences) {
  TVemtoMaterial a;
  TVemtoMaterial b;
  {
    MiniModel m;
    m.surface->SetMaterial(&a);
    EXPECT_EQ(a.RefCount, 1);
    m.surface->SetMaterial(&b);
    EXPECT_EQ(a.RefCount, 0);
    EXPECT_EQ(b.RefCount, 1);
    std::vector<TVemtoMaterial*> list{&a, &b};
    m.surface->MaterialIndex = 0;
    m.surface->ResolveMaterialIndex(list);  // no counting while resolving
    EXPECT_EQ(m.surface->Material, &a);
    EXPECT_EQ(a.RefCount, 0);
    m.surface->MaterialIndex = 2;
    EXPECT_THROW(m.surface->ResolveMaterialIndex(list), StreamError);
    EXPECT_EQ(m.surface->Material, &a);
    m.surface->MaterialIndex = -1;
    m.surface->ResolveMaterialIndex(list);
    EXPECT_EQ(m.surface->Material, nullptr);
    m.surface->SetMaterial(&b);
  }
  EXPECT_EQ(b.RefCount, 1);  // 2 references, the destroyed surface released one
}

TEST(SimIntervalAndInfos, RecordsAndDefaults) {
  TVemtoInterval i(168, 2, 24);
  const auto ib = Record(i);
  ASSERT_EQ(ib.size(), 24u);
  TVemtoInterval li;
  TStream is(ib);
  li.LoadFromStream(is);
  EXPECT_EQ(li.EndTime, 168.0);
  EXPECT_EQ(li.StoreStep, 24.0);
  ExpectTruncationsRejected(ib, [] { return std::make_unique<TVemtoInterval>(); });
  TVemtoInterval zero;
  EXPECT_EQ(zero.EndTime, 0.0);

  TVemtoGeneralInfo g;
  EXPECT_EQ(g.AnalysisType, 2);
  EXPECT_EQ(g.LegacySteps, 160);
  EXPECT_EQ(g.LegacyStep, 2);
  EXPECT_EQ(g.LegacyStore, 24.0);
  EXPECT_EQ(g.Thickness, 1.0);
  g.SimulationType = 12;
  const auto gb = Record(g);
  ASSERT_EQ(gb.size(), 4u * 4 + 3 * 8);
  TVemtoGeneralInfo lg;
  TStream gs(gb);
  lg.LoadFromStream(gs);
  EXPECT_EQ(lg.SimulationType, 12);
  EXPECT_FALSE(lg.CalculatesStresses());
  ExpectTruncationsRejected(gb, [] { return std::make_unique<TVemtoGeneralInfo>(); });
  for (const auto& [analysis, simulation] :
       {std::pair{0, 0}, std::pair{4, 0}, std::pair{1, 3}, std::pair{1, 9}, std::pair{1, 13},
        std::pair{1, -10}}) {
    TVemtoGeneralInfo bad;
    bad.AnalysisType = analysis;
    bad.SimulationType = simulation;
    TStream bs(Record(bad));
    TVemtoGeneralInfo target;
    EXPECT_THROW(target.LoadFromStream(bs), StreamError) << analysis << " " << simulation;
    EXPECT_EQ(target.AnalysisType, 2);
  }

  TVemtoProjectInfo p;
  EXPECT_EQ(Record(p).size(), 6u * 5);  // six empty texts: length field 1 and a zero
  p.Title = "Bridge";
  p.Description = "Wall on slab";
  const auto pb = Record(p);
  ASSERT_EQ(pb.size(), 6u * 5 + 6 + 12);
  TVemtoProjectInfo lp;
  TStream ps(pb);
  lp.LoadFromStream(ps);
  EXPECT_EQ(lp.Title, "Bridge");
  EXPECT_EQ(lp.Description, "Wall on slab");
  EXPECT_EQ(lp.Author, "");
  p.Company = std::string(300, 'c');
  TStream tooLong;
  EXPECT_THROW(p.SaveToStream(tooLong), StreamError);
  EXPECT_EQ(tooLong.Size(), 0u);
  ExpectTruncationsRejected(pb, [] { return std::make_unique<TVemtoProjectInfo>(); });
}

TEST(SimRecordText, TextEndsAtItsFirstZeroByte) {
  TStream s;
  s.WriteInt32(6);
  const char bytes[6] = {'A', 'b', 0, 'x', 'y', 0};
  s.WriteBytes(bytes, 6);
  EXPECT_EQ(ReadRecordText(s), "Ab");
  EXPECT_EQ(s.Remaining(), 0u);
}

}  // namespace
}  // namespace vemto
