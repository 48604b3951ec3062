// One OK of the calculation settings or project information is one undoable command
// that restores the previous model exactly.
#include <gtest/gtest.h>

#include "CalcSettingsCommands.h"
#include "ProjectDocument.h"

namespace vemto {
namespace {

TEST(CalcSettingsCommands, OneCommandChangesEverythingAndUndoRestoresTheSameObjects) {
  ProjectDocument doc;
  const TCalcSettings before = TCalcSettings::Of(doc.Model());
  const TVemtoInterval* firstInterval = doc.Model().Intervals.at(0).get();
  TCalcSettings after = before;
  after.General.AnalysisType = 3;
  after.General.SimulationType = 12;
  after.General.Thickness = 0.25;
  after.EngineMemory = 123;
  after.Intervals = {TVemtoInterval(100, 2, 25), TVemtoInterval(148, 1, 24)};
  int settingsChanges = 0;
  QObject::connect(&doc, &ProjectDocument::objectsChanged, [&](ObjectKind kind, auto&) {
    settingsChanges += kind == ObjectKind::Settings ? 1 : 0;
  });

  doc.Push(new SetCalcSettingsCommand(doc, after));
  EXPECT_TRUE(TCalcSettings::Of(doc.Model()) == after);
  EXPECT_EQ(doc.UndoStack().count(), 1);
  EXPECT_TRUE(doc.IsModified());

  doc.UndoStack().undo();
  EXPECT_TRUE(TCalcSettings::Of(doc.Model()) == before);
  EXPECT_EQ(doc.Model().Intervals.at(0).get(), firstInterval);
  EXPECT_FALSE(doc.IsModified());
  doc.UndoStack().redo();
  EXPECT_TRUE(TCalcSettings::Of(doc.Model()) == after);
  EXPECT_EQ(settingsChanges, 3);
}

TEST(CalcSettingsCommands, ProjectTextsAreOneCommand) {
  ProjectDocument doc;
  TVemtoProjectInfo info;
  info.Title = "Bridge pier";
  info.Description = "Lift 2";
  doc.Push(new SetProjectInfoCommand(doc, info));
  EXPECT_TRUE(doc.Model().ProjectInfo == info);
  doc.UndoStack().undo();
  EXPECT_TRUE(doc.Model().ProjectInfo == TVemtoProjectInfo());
}

}  // namespace
}  // namespace vemto
