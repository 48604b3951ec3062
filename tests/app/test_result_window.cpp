// The result window on the results of the wall-on-slab example, offscreen: every
// result type in both modes with each cursor, the stored times, the table, every
// diagram-properties dialog's OK and Cancel, and reopening after a new run.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTimer>
#include <cmath>
#include <cstdlib>
#include <filesystem>

#include <gtest/gtest.h>

#include "AppTestSupport.h"
#include "ProjectDocument.h"
#include "ResultDialogs.h"
#include "TfrmResult.h"
#include "VemtoFile.h"

namespace fs = std::filesystem;
using namespace vemto;

namespace {

class ResultWindow : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = fs::temp_directory_path() / ("vemto_result_window_" + std::to_string(::getpid()));
    fs::create_directories(folder_);
    fs::copy_file(fs::path(VEMTO_SOURCE_DIR) / "examples" / "wall_on_slab.v3", folder_ / "wall.v3",
                  fs::copy_options::overwrite_existing);
    const std::string run = std::string(VEMTO_BIN_DIR) + "/vemto-cli run -q " +
                            (folder_ / "wall.v3").string() + " >/dev/null 2>&1";
    runStatus_ = std::system(run.c_str());
  }
  static void TearDownTestSuite() { fs::remove_all(folder_); }
  void SetUp() override {
    ASSERT_EQ(runStatus_, 0);
    frm_ = std::make_unique<TfrmResult>(doc_, nullptr, std::string(VEMTO_BIN_DIR) + "/libpost.so");
    frm_->resize(640, 480);
    frm_->show();
    frm_->ShowResults(Out(), 800000, 0);
  }
  static QString Out() { return QString::fromStdString((folder_ / "wall.out").string()); }
  /// Paints the post control now and returns the window's status line.
  std::string Paint() {
    frm_->Post().grab();
    return frm_->StatusText().toStdString();
  }

  ProjectDocument doc_;
  std::unique_ptr<TfrmResult> frm_;
  static inline fs::path folder_;
  static inline int runStatus_ = -1;
};

}  // namespace

TEST_F(ResultWindow, EveryResultTypeModeAndCursorDrawsWithoutErrors) {
  ASSERT_TRUE(frm_->ResultsOpen());
  EXPECT_EQ(Paint(), "");
  frm_->Post().P.MarkerX1 = 2.0, frm_->Post().P.MarkerY1 = 2.0;  // inside the wall
  frm_->Post().P.MarkerX2 = 3.0, frm_->Post().P.MarkerY2 = 3.0;
  for (int item = 0; item <= 11; ++item) {
    frm_->SelectResultType(item);
    for (bool history : {false, true}) {
      if (frm_->Controls().DistrEnabled) frm_->SetHistoryMode(history);
      for (int cursor = 0; cursor < 4; ++cursor) {
        if (!frm_->Controls().CursorEnabled[cursor]) continue;
        frm_->SelectCursor(cursor);
        const std::string status = Paint();
        // The example has no cooling pipes: the pipe history is unavailable data.
        EXPECT_EQ(status, item == 3 ? "Invalid/unavailable data in database" : "")
            << "type " << item << " history " << history << " cursor " << cursor;
        if (frm_->HistoryMode() && item != 3)
          EXPECT_GT(frm_->Post().RSize(), 0) << "type " << item << " cursor " << cursor;
      }
    }
  }
  // A point outside the section is reported, not replaced by the nearest node.
  frm_->SelectResultType(0);
  frm_->SetHistoryMode(true);
  frm_->SelectCursor(0);
  frm_->Post().P.MarkerX1 = 100.0;
  frm_->SetHistoryMode(true);
  EXPECT_EQ(Paint(), "Invalid/unavailable data in database");
  EXPECT_NE(frm_->Post().ErrorText().indexOf(QStringLiteral("outside the section")), -1);
}

TEST_F(ResultWindow, TimesComeFromTheDatabaseAndTheTableCopiesTabSeparatedText) {
  const TResultControls& c = frm_->Controls();
  EXPECT_EQ(c.SliderMax, static_cast<int>(frm_->StoredHours().size()) - 1);
  EXPECT_EQ(c.TimeLabel, QStringLiteral("12"));
  frm_->Forward();
  EXPECT_EQ(c.TimeLabel, QStringLiteral("24"));
  frm_->Backwards();
  frm_->Backwards();  // stays at the first stored time
  EXPECT_EQ(c.SliderPosition, 0);
  frm_->Post().P.MarkerX1 = 2.0, frm_->Post().P.MarkerY1 = 2.0;
  frm_->ShowTable();
  EXPECT_TRUE(frm_->HistoryMode());
  Paint();
  const QString text = frm_->Table().model.Text(true);
  const QStringList lines = text.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), static_cast<int>(frm_->StoredHours().size()) + 1);
  EXPECT_EQ(lines[0], QStringLiteral("Time (h)\tTemp. (C)"));
  EXPECT_TRUE(lines[1].startsWith(QStringLiteral("12\t")));
  frm_->SetHistoryMode(false);  // Distribution hides the table
  EXPECT_FALSE(frm_->Table().isVisible());
}

TEST_F(ResultWindow, EachDialogChangesThePostControlOnOkOnly) {
  // Type item, the property it edits and how the test changes it in the dialog.
  struct Case {
    int item;
    std::function<double(const TPostProperties&)> read;
    std::function<void(TfrmDiagramProperties&)> edit;
  };
  auto limits = [](TfrmDiagramProperties& d) {
    auto* max = d.findChild<QCheckBox*>(QStringLiteral("chkMaxAuto"));
    max->setChecked(false);
    d.findChild<QLineEdit*>(QStringLiteral("edtMax"))->setText(QStringLiteral("55.5"));
  };
  auto secondType = [](TfrmDiagramProperties& d) {
    d.findChild<QComboBox*>(QStringLiteral("cboPlotType"))->setCurrentIndex(1);
  };
  const Case cases[] = {
      {0, [](const TPostProperties& p) { return p.TempUpper; }, limits},
      {1, [](const TPostProperties& p) { return p.MatUpper; }, limits},
      {2, [](const TPostProperties& p) { return p.HydrUpper; }, limits},
      {3, [](const TPostProperties& p) { return double(p.PipeType); }, secondType},
      {5, [](const TPostProperties& p) { return double(p.DisplType); },
       [](auto& d) {
         d.template findChild<QComboBox*>(QStringLiteral("cboPlotType"))->setCurrentIndex(1);
       }},
      {6, [](const TPostProperties& p) { return double(p.ReacType); }, secondType},
      {7, [](const TPostProperties& p) { return double(p.StressTypeDistr); }, secondType},
      {8, [](const TPostProperties& p) { return p.StrengthUpper; }, limits},
      {9, [](const TPostProperties& p) { return p.ftUpper; }, limits},
      {10, [](const TPostProperties& p) { return p.fcUpper; }, limits},
  };
  for (const Case& c : cases) {
    frm_->SelectResultType(c.item);
    for (bool ok : {false, true}) {
      const double before = c.read(frm_->Post().P);
      QTimer::singleShot(0, [&] {
        TfrmDiagramProperties* d = frm_->OpenDialog();
        ASSERT_NE(d, nullptr);
        c.edit(*d);
        ok ? d->accept() : d->reject();
      });
      frm_->ShowProperties();
      if (ok)
        EXPECT_NE(c.read(frm_->Post().P), before) << "item " << c.item;
      else
        EXPECT_EQ(c.read(frm_->Post().P), before) << "item " << c.item;
    }
  }
  EXPECT_EQ(frm_->Post().P.TempUpper, 55.5);
}

TEST_F(ResultWindow, ANewRunReopensTheDatabase) {
  frm_->Forward();
  frm_->ReleaseResults();
  EXPECT_FALSE(frm_->ResultsOpen());
  frm_->ShowResults(Out(), 800000, 0);
  EXPECT_TRUE(frm_->ResultsOpen());
  EXPECT_EQ(frm_->Controls().SliderPosition, 0);
  EXPECT_EQ(Paint(), "");
}

TEST_F(ResultWindow, KeepsTheHeightAtThreeQuartersOfTheWidth) {
  frm_->resize(800, 300);
  EXPECT_EQ(frm_->height(), 600);
  // Inside the document area the frame around it follows, narrower rather than taller
  // than the area.
  QMdiArea area;
  area.resize(1200, 600);
  area.show();
  QMdiSubWindow* frame = area.addSubWindow(frm_.get());
  frame->show();
  for (const QSize size : {QSize(700, 900), QSize(1150, 500)}) {
    frame->move(0, 0);
    frame->resize(size);
    EXPECT_EQ(frm_->height(), static_cast<int>(std::lround(0.75 * frm_->width()))) << size.width();
    EXPECT_LE(frame->geometry().bottom(), area.viewport()->height()) << size.width();
  }
  frame->setWidget(nullptr);  // the window stays owned by the test
  delete frame;
}

// The real run flow: Execute on an example shows the result window on the new database,
// and a second run with other intervals reopens it in the same window.
TEST(ResultWindowAfterExecute, OpensOnTheNewResultsAndReopensAfterTheNextRun) {
  test::ScratchFolder folder;
  for (const char* file : {"libmeshgen.so", "libengine.so", "libpost.so"})
    fs::create_symlink(fs::path(VEMTO_BIN_DIR) / file, folder.Path() / file);
  fs::copy_file(fs::path(VEMTO_BIN_DIR) / "materials.db", folder.Path() / "materials.db");
  fs::copy_file(fs::path(VEMTO_SOURCE_DIR) / "examples" / "column_axisymmetric.v3",
                folder.Path() / "column.v3");
  auto script = std::make_shared<test::DialogScript>();
  TMainOptions options;
  options.ProgramFolder = folder.Path();
  options.Dialogs = std::make_unique<test::ScriptedDialogs>(script);
  options.ShowSplash = false;
  TfrmMain frm(std::move(options));
  ASSERT_TRUE(frm.OpenModel(folder.File("column.v3")));
  frm.show();
  const TfrmResult* first = nullptr;
  for (double end : {6.0, 4.0}) {
    frm.Model()->Intervals.resize(1);
    *frm.Model()->Intervals.at(0) = TVemtoInterval(end, 1.0, 2.0);
    frm.mnuCalcExecuteClick();
    ASSERT_TRUE(test::WaitUntil([&] { return !frm.Running(); }, std::chrono::seconds(120)));
    ASSERT_TRUE(frm.LastRunSucceeded()) << script->messages.join('\n').toStdString();
    const TfrmResult* shown = frm.ResultWindow();
    ASSERT_NE(shown, nullptr);
    if (first == nullptr) first = shown;
    EXPECT_EQ(shown, first);
    EXPECT_TRUE(shown->ResultsOpen());
    ASSERT_FALSE(shown->StoredHours().empty());
    EXPECT_DOUBLE_EQ(shown->StoredHours().back(), end);
  }
}
