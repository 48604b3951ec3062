// Materials: assigning by clicking surfaces in the material view (reference counts,
// undo), creating, renaming and deleting in the list window, the material editor's round
// trip, conversions and refusals, and the exchange with the material library.
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <cstring>

#include <gtest/gtest.h>

#include "AppTestSupport.h"
#include "DocumentCommands.h"
#include "MaterialCommands.h"
#include "NumberText.h"
#include "TfrmMaterial.h"
#include "TfrmMaterialView.h"
#include "TfrmMaterials.h"
#include "TfrmNewMaterial.h"

namespace vemto::test {
namespace {

class Materials : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* file : {"cempropt", "conpropt"})
      std::filesystem::copy_file(std::filesystem::path(VEMTO_SOURCE_DIR) / "data" / file,
                                 folder.Path() / file);
    // Two unit squares side by side: surfaces at x 0..1 and 1..2.
    for (auto [x, y] : {std::pair{0, 0}, {1, 0}, {2, 0}, {2, 1}, {1, 1}, {0, 1}})
      doc.Push(new CreateNodeCommand(doc, x, y));
    auto& n = doc.Model().Nodes;
    for (auto [a, b] : {std::pair{0, 1}, {1, 2}, {2, 3}, {3, 4}, {4, 5}, {5, 0}, {1, 4}})
      doc.Push(new CreateEdgeCommand(doc, std::make_unique<TEdgeLine>(n[a].get(), n[b].get())));
    auto& e = doc.Model().Edges;
    auto surface = [&](int a, int b, int c, int d) {
      doc.Push(new CreateSurfaceCommand(
          doc, std::make_unique<TVemtoSurface>(e[a].get(), e[b].get(), e[c].get(), e[d].get())));
    };
    surface(0, 6, 4, 5);
    surface(1, 2, 3, 6);
    frm = std::make_unique<TfrmMaterialView>(doc, library, dialogs, folder.Path());
    frm->resize(500, 300);
    frm->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(frm.get()));
    frm->View()->ZoomExtents();
  }
  TfrmMaterials& List() { return *frm->MaterialList(); }
  TVemtoMaterial* M(std::size_t i) { return doc.Model().Materials[i]; }
  TVemtoSurface* S(std::size_t i) { return doc.Model().Surfaces[i].get(); }
  void Click(double x, double y) {
    QTest::mouseClick(frm->View(), Qt::LeftButton, {}, frm->View()->WorldToScreen(x, y));
  }
  // Creates a material through "Create new material" and the "New material" dialog.
  void NewMaterial(const QString& name, int kind = 1) {
    script->texts.push_back(name);
    QTimer::singleShot(0, [kind] {
      auto* dialog = qobject_cast<TfrmNewMaterial*>(QApplication::activeModalWidget());
      ASSERT_NE(dialog, nullptr);
      dialog->findChild<QCheckBox*>(QStringLiteral("chkHeat"))->setChecked(kind == 1);
      dialog->accept();
    });
    List().AddMaterial();
  }
  TfrmMaterial& OpenEditor(TVemtoMaterial* material) {
    List().Choose(material);
    List().EditMaterial();
    EXPECT_NE(List().Editor(), nullptr);
    return *List().Editor();
  }

  ScratchFolder folder;
  std::shared_ptr<DialogScript> script = std::make_shared<DialogScript>();
  ScriptedDialogs dialogs{script};
  ProjectDocument doc, library;
  std::unique_ptr<TfrmMaterialView> frm;
};

TEST_F(Materials, ClickingSurfacesAssignsTheChosenMaterialCountsReferencesAndUndoes) {
  Click(0.5, 0.5);
  EXPECT_EQ(script->messages, QStringList{"You have to choose a material to assign."});
  NewMaterial("Concrete");
  NewMaterial("Concrete");
  ASSERT_EQ(doc.Model().Materials.Count(), 2u);
  EXPECT_EQ(M(1)->Name, "Concrete1");
  EXPECT_EQ(M(0)->Option(1), 1);
  TVemtoMaterial *a = M(0), *b = M(1);

  List().Choose(a);
  Click(0.5, 0.5);
  EXPECT_EQ(S(0)->Material, a);
  const int index = doc.UndoStack().index();
  Click(0.5, 0.5);  // already has it: nothing changes
  EXPECT_EQ(a->RefCount, 1);
  EXPECT_EQ(doc.UndoStack().index(), index);
  List().Choose(b);
  Click(0.5, 0.5);
  Click(1.5, 0.5);
  EXPECT_EQ(a->RefCount, 0);
  EXPECT_EQ(b->RefCount, 2);
  EXPECT_EQ(S(1)->Material, b);
  EXPECT_TRUE(frm->View()->SelectedSurfaces().isEmpty());
  EXPECT_EQ(frm->View()->Picture().pixelColor(frm->View()->WorldToScreen(1.2, 0.2)),
            frm->ColorOf(b));
  EXPECT_EQ(frm->Legend()->count(), 3);

  // Deleting a material in use is refused; renaming to a taken name numbers it anew.
  List().RemoveMaterial();
  EXPECT_EQ(script->messages.last(), "Material connected to a surface. Remove surface first.");
  EXPECT_EQ(doc.Model().Materials.Count(), 2u);
  script->texts.push_back("Concrete");
  List().RenameMaterial();
  EXPECT_EQ(b->Name, "Concrete1");
  List().Choose(a);
  script->texts.push_back("Concrete1");
  List().RenameMaterial();
  EXPECT_EQ(a->Name, "Concrete11");
  EXPECT_EQ(doc.Model().Materials.IndexOf(a), 1);

  doc.UndoStack().undo();  // renames
  doc.UndoStack().undo();
  EXPECT_EQ(a->Name, "Concrete");
  EXPECT_EQ(doc.Model().Materials.IndexOf(a), 0);
  doc.UndoStack().undo();  // second surface
  doc.UndoStack().undo();  // first surface back to a
  EXPECT_EQ(S(0)->Material, a);
  EXPECT_EQ(S(1)->Material, nullptr);
  EXPECT_EQ(a->RefCount, 1);
  EXPECT_EQ(b->RefCount, 0);
  List().Choose(b);
  List().RemoveMaterial();
  ASSERT_EQ(doc.Model().Materials.Count(), 1u);
  doc.UndoStack().undo();
  EXPECT_EQ(doc.Model().Materials.IndexOf(b), 1);
}

TEST_F(Materials, TheEditorKeepsEveryStoredValueAndConvertsHoursAndTheRatio) {
  NewMaterial("Concrete");
  TVemtoMaterial& m = *M(0);
  // Values that 15 digits do not give back, and every option on.
  for (int k = 1; k <= kMaterialProperties; ++k) m.P(k) = (k + 1.0) / 3.0 * std::pow(10.0, k % 7);
  m.P(20) = 28 * 86400.0;
  m.Options = {1, 1, 1, 1, 1, 1, 0};
  const TMaterialValues before = ValuesOf(m);
  const int index = doc.UndoStack().index();
  OpenEditor(&m).close();
  EXPECT_EQ(std::memcmp(&before, &m.Properties, sizeof m.Properties), 0);
  EXPECT_EQ(ValuesOf(m), before);
  EXPECT_EQ(doc.UndoStack().index(), index);

  TfrmMaterial& editor = OpenEditor(&m);
  for (const char* label :
       {"Elastic modulus at 28 days E0 (Pa)", "Tensile strength at 28 days FT0 (Pa)",
        "Fracture energy at 28 days (N/m)", "Slip modulus at 28 days (Pa)",
        "Compressive strength at 28 days FC0 (Pa)"})
    EXPECT_NE(editor.Field(label), nullptr) << label;
  editor.Option("Creep")->setChecked(false);
  EXPECT_FALSE(editor.Pages()->isTabVisible(4));
  editor.Field("Time of casting (h)")->setText("24");
  const double c6 = m.Concrete.Value(6), c7 = m.Concrete.Value(7);
  QLineEdit* ratio = editor.Field("Water-cement ratio");
  ratio->setText("0.4");
  emit ratio->editingFinished();
  EXPECT_EQ(editor.Field("Compressive strength at 28 days FC0 (Pa)")->text().toStdString(),
            FormatG(c7 / 0.4 + c6));
  editor.close();
  EXPECT_EQ(doc.UndoStack().index(), index + 1);
  EXPECT_EQ(m.P(1), 86400.0);
  EXPECT_EQ(m.P(64), c7 / 0.4 + c6);
  EXPECT_EQ(m.Option(4), 0);
  for (int k : {2, 12, 23, 63}) EXPECT_EQ(m.P(k), before.Properties[k - 1]) << k;
  doc.UndoStack().undo();
  EXPECT_EQ(ValuesOf(m), before);
}

TEST_F(Materials, TheEditorRefusesTextThatIsNoNumberAndClosesWhenItsMaterialGoes) {
  NewMaterial("Concrete", 0);
  TVemtoMaterial* m = M(0);
  EXPECT_EQ(m->Option(1), 0);
  const int index = doc.UndoStack().index();
  TfrmMaterial& editor = OpenEditor(m);
  editor.Field("Lambda-1")->setText("1,5");
  editor.close();
  EXPECT_TRUE(editor.isVisible());
  ASSERT_FALSE(script->messages.isEmpty());
  EXPECT_TRUE(script->messages.last().startsWith("Lambda-1:"))
      << script->messages.last().toStdString();
  editor.Field("Lambda-1")->setText("1.5");
  editor.Field("Water-cement ratio")->setText("0");
  editor.close();
  EXPECT_TRUE(script->messages.last().startsWith("Water-cement ratio:"));
  EXPECT_EQ(doc.UndoStack().index(), index);

  // The material leaves the model: the editor closes and stores nothing.
  QPointer<TfrmMaterial> open = &editor;
  doc.UndoStack().undo();
  EXPECT_EQ(doc.Model().Materials.Count(), 0u);
  ASSERT_TRUE(WaitUntil([&] { return open == nullptr; }));
  EXPECT_EQ(doc.UndoStack().index(), index - 1);
}

TEST(MaterialEditor, ClosesWithoutStoringWhenTheModelGoes) {
  auto script = std::make_shared<DialogScript>();
  ScriptedDialogs dialogs{script};
  auto model = std::make_unique<ProjectDocument>();
  auto material = std::make_unique<TVemtoMaterial>();
  material->Name = "Rock";
  TVemtoMaterial* rock = material.get();
  model->Push(new AddMaterialCommand(*model, std::move(material)));
  QPointer<TfrmMaterial> editor = new TfrmMaterial(*model, *rock, dialogs);
  editor->show();
  editor->Field("Mass density (kg/m3)")->setText("not a number");
  model.reset();  // the project is closed with the editor open and its field unreadable
  ASSERT_TRUE(WaitUntil([&] { return editor == nullptr; }));
  EXPECT_TRUE(script->messages.isEmpty());
}

TEST_F(Materials, MaterialsGoFromTheLibraryIntoTheModelAndBack) {
  NewMaterial("Rock", 0);
  TVemtoMaterial* rock = M(0);
  rock->P(3) = 3.5;
  List().Choose(rock);
  script->texts.push_back("Granite");
  List().ToDatabase();
  ASSERT_EQ(library.Model().Materials.Count(), 1u);
  const TVemtoMaterial& stored = *library.Model().Materials[0];
  EXPECT_EQ(stored.Name, "UM:Granite");
  EXPECT_EQ(ValuesOf(stored), ValuesOf(*rock));

  TfrmDatabase database(doc, library, folder.Path());
  EXPECT_FALSE(database.AddChosen());  // nothing chosen
  database.List()->setCurrentRow(0);
  EXPECT_TRUE(database.AddChosen());
  EXPECT_TRUE(database.AddChosen());
  ASSERT_EQ(doc.Model().Materials.Count(), 3u);
  EXPECT_EQ(M(1)->Name, "UM:Granite");
  EXPECT_EQ(M(2)->Name, "UM:Granite1");
  EXPECT_EQ(ValuesOf(*M(2)), ValuesOf(*rock));
  EXPECT_EQ(M(2)->Concrete.Value(7), rock->Concrete.Value(7));  // tables read
  EXPECT_EQ(List().List()->count(), 3);
}

}  // namespace
}  // namespace vemto::test
