// The commands on conditions, pipes and positions: every step keeps the reference counts
// consistent with the references, undoing all of them gives back the project file image
// byte for byte, and redoing them gives the same image as doing them.
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ConditionCommands.h"
#include "DocumentTestSupport.h"
#include "ProjectDocument.h"

namespace vemto {
namespace {

using test::CountsConsistent;
using test::Image;

TEST(ConditionCommands, EveryStepUndoesAndRedoesToTheSameImage) {
  auto doc =
      ProjectDocument::Open(QStringLiteral(VEMTO_SOURCE_DIR "/examples/slab_cooling_pipes.v3"));
  TVemtoFile& m = doc->Model();
  ASSERT_EQ(m.Pipes.Count(), 1u);
  TVemtoPipe* old = m.Pipes[0];
  const std::vector<TVemtoPipePos*> oldPoints = PipePoints(m, old);
  ASSERT_EQ(oldPoints.size(), 6u);
  const auto start = Image(*doc);

  std::vector<std::function<void()>> steps = {
      [&] {
        auto c = std::make_unique<TVemtoTempCondition>(m.Conditions.MakeUniqueName("Air"));
        c->SetEditorDefaults();
        doc->Push(new AddConditionCommand(*doc, std::move(c)));
      },
      [&] {
        TVemtoCondition* first = m.Conditions[0];
        auto* rename = new RenameItemCommand<TVemtoCondition, TVemtoConditionList>(
            *doc, m.Conditions, first, m.Conditions[1]->Name, ObjectKind::Condition);
        EXPECT_EQ(rename->NewName(), m.Conditions[1]->Name + "1");
        doc->Push(rename);
        EXPECT_EQ(m.Conditions.IndexOf(first), std::int32_t(m.Conditions.Count()) - 1);
      },
      [&] {
        auto pipe = std::make_unique<TVemtoPipe>("Second");
        pipe->Condition = old->Condition;
        pipe->PartLength = 1.0;
        doc->Push(new AddPipeCommand(*doc, std::move(pipe)));
      },
      [&] {  // a point on the new pipe and one more on the old pipe
        doc->Push(
            new PlacePositionCommand(*doc, std::make_unique<TVemtoPipePos>(0.1, 0.1, m.Pipes[1])));
        doc->Push(new PlacePositionCommand(*doc, std::make_unique<TVemtoPipePos>(0.2, 0.1, old)));
        EXPECT_EQ(PipePoints(m, old).back()->PipeOrder, 6);
        EXPECT_EQ(PipePoints(m, old).back()->PipeAux2, 6);
      },
      [&] {  // the second point of the old pipe, an edge position and a duplicate
        TVemtoPosition* edge = nullptr;
        for (auto& p : m.Positions)
          if (dynamic_cast<TVemtoEdgePos*>(p.get())) edge = p.get();
        ASSERT_NE(edge, nullptr);
        doc->Push(new DeletePositionsCommand(*doc, {oldPoints[1], edge, oldPoints[1]}));
        const auto left = PipePoints(m, old);
        ASSERT_EQ(left.size(), 6u);
        for (std::size_t k = 0; k < left.size(); ++k) EXPECT_EQ(left[k]->PipeAux2, std::int32_t(k));
      },
      [&] {
        doc->Push(new MovePositionsCommand(*doc, {{oldPoints[0], 0.5, 0.25}}));
        std::vector<TVemtoPipePos*> reversed = PipePointsInOrder(m, old);
        std::reverse(reversed.begin(), reversed.end());
        doc->Push(new SetPipeOrderCommand(*doc, old, reversed, 2.0));
        EXPECT_EQ(reversed.front()->PipeOrder, 0);
      },
      [&] {  // the new pipe without its point, then the new condition
        TVemtoPipe* second = m.Pipes[1];
        doc->Push(new DeletePositionsCommand(*doc, {PipePoints(m, second)[0]}));
        doc->Push(new RemovePipeCommand(*doc, second));
        TVemtoCondition* air = m.Conditions[std::size_t(m.Conditions.Count() - 2)];
        ASSERT_EQ(air->RefCount, 0);
        doc->Push(new RemoveConditionCommand(*doc, air));
      },
  };
  for (auto& step : steps) {
    step();
    ASSERT_TRUE(CountsConsistent(*doc));
  }
  const auto done = Image(*doc);
  while (doc->UndoStack().canUndo()) {
    doc->UndoStack().undo();
    ASSERT_TRUE(CountsConsistent(*doc)) << doc->UndoStack().index();
  }
  EXPECT_TRUE(Image(*doc) == start);
  while (doc->UndoStack().canRedo()) doc->UndoStack().redo();
  EXPECT_TRUE(Image(*doc) == done);
  EXPECT_TRUE(CountsConsistent(*doc));
}

}  // namespace
}  // namespace vemto
