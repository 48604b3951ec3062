// The input-data window, printing to PDF and the temperature and maturity input as the
// main window's commands.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <cstdlib>
#include <fstream>

#include <gtest/gtest.h>

#include "AppTestSupport.h"
#include "SetupCommands.h"
#include "TfrmInputData.h"
#include "TfrmMeanProgress.h"
#include "VemtoFile.h"

namespace vemto::test {
namespace {

class SetupWindows : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteEmptyModel(folder.File("wall.v3"));
    ASSERT_TRUE(frm.OpenModel(folder.File("wall.v3")));
  }
  void WriteListing(int lines) {
    std::ofstream out(folder.Path() / "wall.lst");
    for (int i = 1; i <= lines; ++i) out << " LINE " << i << "   NODE  1.000E+00\n";
  }
  QAction* Act(const char* name) { return frm.findChild<QAction*>(QString::fromLatin1(name)); }
  int PdfPages(const QString& file) {
    QFile pdf(file);
    if (!pdf.open(QIODevice::ReadOnly)) return -1;
    return static_cast<int>(pdf.readAll().count("/Type /Page\n"));
  }

  ScratchFolder folder;
  Harness h{folder.Path()};
  TfrmMain& frm = *h.frm;
  TSetupCommands& setup = frm.SetupCommands();
};

TEST_F(SetupWindows, InputDataShowsCopiesReloadsAndReleasesItsToggle) {
  WriteListing(3);
  Act("mnuInputData")->trigger();
  TfrmInputData* window = setup.InputDataWindow();
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(Act("btnInputData")->isChecked());
  EXPECT_EQ(window->Text().split('\n').size(), 3);
  EXPECT_TRUE(Act("btnCopy")->isEnabled());
  Act("btnCopy")->trigger();
  EXPECT_EQ(QApplication::clipboard()->text(),
            QStringLiteral(" LINE 1   NODE  1.000E+00\r\n LINE 2   NODE  1.000E+00\r\n"
                           " LINE 3   NODE  1.000E+00\r\n"));

  std::filesystem::remove(folder.Path() / "wall.lst");
  setup.ReloadInputData();
  EXPECT_TRUE(window->Text().isEmpty());
  EXPECT_EQ(window->findChild<QPlainTextEdit*>()->placeholderText(),
            QStringLiteral("No input data found"));

  Act("mnuInputData")->trigger();  // switched off: the window closes
  EXPECT_FALSE(Act("mnuInputData")->isChecked());
  EXPECT_FALSE(Act("btnInputData")->isChecked());
}

TEST_F(SetupWindows, PrintToPdfGivesTheListingOnAsManyPagesAsItNeeds) {
  WriteListing(200);
  Act("mnuInputData")->trigger();
  const QString pdf = folder.File("listing.pdf");
  h.dialogs->pdfNames.push_back(pdf);
  Act("mnuFilePrintPdf")->trigger();
  EXPECT_TRUE(h.dialogs->messages.isEmpty()) << h.dialogs->messages.join(' ').toStdString();
  EXPECT_EQ(PdfPages(pdf), 3);  // 8 pt lines on A4: about 80 per page

  // The print dialog comes first; cancelled, nothing is printed.
  Act("mnuFilePrint")->trigger();
  EXPECT_EQ(h.dialogs->printDialogs, 1);
}

TEST_F(SetupWindows, PrintToPdfOfTheGeometryWindowIsOnePageOrReportsFailure) {
  ASSERT_NE(frm.GeometryWindow(), nullptr);
  const QString pdf = folder.File("view.pdf");
  h.dialogs->pdfNames.push_back(pdf);
  Act("mnuFilePrintPdf")->trigger();
  EXPECT_EQ(PdfPages(pdf), 1);
  h.dialogs->pdfNames.push_back(folder.File("missing/folder/view.pdf"));
  Act("mnuFilePrintPdf")->trigger();
  ASSERT_EQ(h.dialogs->messages.size(), 1);
  EXPECT_TRUE(h.dialogs->messages[0].contains(QStringLiteral("could not be written")));
}

TEST_F(SetupWindows, TemperatureAndMaturityFromAMissingFileIsReported) {
  h.dialogs->resultFiles.push_back(folder.File("other.out"));
  Act("mnuInputTempMat")->trigger();
  ASSERT_EQ(h.dialogs->messages.size(), 1);
  EXPECT_TRUE(h.dialogs->messages[0].contains(QStringLiteral("does not exist")));
  EXPECT_FALSE(setup.MeanProgressWindow()->isVisible());
  EXPECT_EQ(setup.MeanProgressWindow()->Text(),
            QStringLiteral("Extracting from file. Please wait..."));
}

TEST_F(SetupWindows, TemperatureAndMaturityFromAnotherModelWritesTheFileAndReloadsTheListing) {
  namespace fs = std::filesystem;
  const fs::path bin(VEMTO_BIN_DIR);
  for (const char* library : {"libmeshgen.so", "libtmfetch.so"})
    fs::create_symlink(bin / library, folder.Path() / library);
  const fs::path example = fs::path(VEMTO_SOURCE_DIR) / "examples" / "column_axisymmetric.v3";
  fs::copy_file(example, folder.Path() / "other.v3");
  fs::copy_file(example, folder.Path() / "taken.v3");
  const std::string run =
      (bin / "vemto-cli").string() + " run -q " + (folder.Path() / "other.v3").string();
  ASSERT_EQ(std::system(run.c_str()), 0);

  h.dialogs->saveChanges.push_back(TAnswer::No);
  ASSERT_TRUE(frm.OpenModel(folder.File("taken.v3")));
  Act("mnuInputData")->trigger();
  EXPECT_TRUE(setup.InputDataWindow()->Text().isEmpty());
  h.dialogs->resultFiles.push_back(folder.File("other.out"));
  Act("mnuInputTempMat")->trigger();

  EXPECT_GT(fs::file_size(folder.Path() / "taken.dtm"), 0u);
  EXPECT_EQ(setup.MeanProgressWindow()->Text(), QStringLiteral("Extracting to taken.dtm"));
  EXPECT_FALSE(setup.MeanProgressWindow()->isVisible());
  EXPECT_TRUE(setup.InputDataWindow()->Text().contains(QStringLiteral("VEMTO 3")));
  // The example simulates its own temperatures: the user is told how the file is used.
  ASSERT_EQ(h.dialogs->messages.size(), 1);
  EXPECT_TRUE(h.dialogs->messages[0].contains(QStringLiteral("Input of temperature and maturity")));
}

}  // namespace
}  // namespace vemto::test
