// The cement guide: page sequences and navigation, the fields each calculation shows, a
// fit through the real fit library with its chart, and appending the fitted cement type.
#include <QChart>
#include <QChartView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <cmath>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "AppTestSupport.h"
#include "TfrmCementGuide.h"

namespace vemto::test {
namespace {

/// A guide on the fit library of the build, with scripted questions.
struct Guide {
  explicit Guide(const ScratchFolder& folder) {
    frm.LibraryFolder = VEMTO_BIN_DIR;
    frm.CementFile = folder.Path() / "cempropt";
    frm.AskText = [this](const QString&, const QString& prompt, const QString& text) {
      asked << prompt + "=" + text;
      return std::optional<QString>(name);
    };
    frm.SelectInputFile = [this] { return selected; };
    frm.ShowMessage = [this](const QString& text) { messages << text; };
  }
  template <class W>
  W* Find(const char* name) {
    W* w = frm.findChild<W*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  void Click(const char* name) { Find<QAbstractButton>(name)->click(); }
  /// The pages met pressing Next from the first page until it is disabled.
  std::vector<int> Walk() {
    frm.Restart();
    std::vector<int> pages{static_cast<int>(frm.CurrentPage())};
    while (Find<QPushButton>("btnNext")->isEnabled()) {
      Click("btnNext");
      pages.push_back(static_cast<int>(frm.CurrentPage()));
    }
    return pages;
  }

  TfrmCementGuide frm;
  QString name = QStringLiteral("Fitted CEM I");
  QString selected;
  QStringList asked, messages;
};

/// A calorimeter record of a cement with Wc0 460000 J/kg, λ1 1.6, t1 10 h, κ1 1.8.
void WriteHeatRecord(const std::filesystem::path& file) {
  std::ofstream out(file);
  out.precision(12);
  for (int te = 0; te <= 600; te += 2)
    out << te << ";"
        << (te == 0 ? 0.0 : 4.6e5 * std::exp(-1.6 * std::pow(std::log1p(te / 10.0), -1.8))) << "\n";
}

std::string Contents(const std::filesystem::path& file) {
  std::ifstream in(file);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace

TEST(CementGuide, PagesFollowTheCalculationType) {
  ScratchFolder folder;
  Guide g(folder);
  EXPECT_EQ(g.frm.CalculationType(), 1);
  EXPECT_EQ(g.frm.ParameterSet(), 1);
  EXPECT_FALSE(g.Find<QPushButton>("btnBack")->isEnabled());
  EXPECT_EQ(g.Walk(), (std::vector<int>{0, 1, 2, 3, 5}));
  g.Click("btnBack");
  EXPECT_EQ(g.frm.CurrentPage(), TGuidePage::InputFiles);
  EXPECT_TRUE(g.Find<QPushButton>("btnNext")->isEnabled());
  g.frm.Restart();
  g.Click("rbMaturityHeat");
  EXPECT_EQ(g.Walk(), (std::vector<int>{0, 1, 2, 4, 5}));
  g.frm.Restart();
  g.Click("rbHeatLoss");
  EXPECT_EQ(g.Walk(), (std::vector<int>{0, 2, 4, 6}));
  EXPECT_EQ(g.frm.Step(), 3);
}

TEST(CementGuide, ConcreteFieldsShownByTypeAndSet) {
  ScratchFolder folder;
  Guide g(folder);
  const char* fields[] = {"edtDensity", "edtSpecificHeat", "edtCement", "edtHeatLoss",
                          "edtTheta0",  "edtKappa0",       "edtWc0",    "edtT1"};
  struct Row {
    const char* type;
    const char* set;
    const char* shown;  // one flag per field
  } rows[] = {{"rbTimeTemp", "rbSet1", "11111111"},     {"rbTimeTemp", "rbSet2", "11111110"},
              {"rbTimeTemp", "rbSet3", "11111100"},     {"rbMaturityHeat", "rbSet1", "00000011"},
              {"rbMaturityHeat", "rbSet3", "00000000"}, {"rbHeatLoss", "rbSet1", "11000000"}};
  for (const Row& r : rows) {
    g.frm.Restart();
    g.Click(r.type);
    g.Click(r.set);
    while (g.frm.CurrentPage() != TGuidePage::ConcreteProperties) g.Click("btnNext");
    g.frm.show();
    for (int i = 0; i < 8; ++i)
      EXPECT_EQ(g.Find<QLineEdit>(fields[i])->isVisible(), r.shown[i] == '1')
          << r.type << " " << r.set << " " << fields[i];
  }
  g.frm.hide();
}

TEST(CementGuide, FitsAHeatRecordAndAppendsTheCementType) {
  ScratchFolder folder;
  Guide g(folder);
  const auto record = folder.Path() / "heat.txt";
  WriteHeatRecord(record);
  g.Find<QLineEdit>("edtCement")->setText("none");  // hidden for this calculation: not read
  g.Click("rbMaturityHeat");
  g.Click("btnNext");
  g.Click("rbSet3");
  g.Click("btnNext");
  g.Click("btnNext");
  g.selected = QString::fromStdString(record.string());
  g.Click("btnBrowse");
  g.Click("btnNext");  // the results page: the fit runs
  ASSERT_EQ(g.frm.CurrentPage(), TGuidePage::HeatDevelopment);
  ASSERT_TRUE(g.frm.LastFit() && g.frm.LastFit()->Succeeded) << g.frm.LastFit()->Error;
  EXPECT_NEAR(g.Find<QLineEdit>("edtResT1")->text().toDouble(), 10.0, 0.005 * 10.0);
  EXPECT_NEAR(g.Find<QLineEdit>("edtResWc0")->text().toDouble(), 4.6e5, 0.005 * 4.6e5);
  EXPECT_EQ(g.Find<QLineEdit>("edtResTheta0")->text(), QStringLiteral("4600"));
  EXPECT_EQ(g.Find<QChartView>("chtHeat")->chart()->series().size(), 2);  // measured, fitted

  // Three types in the file: the fitted one becomes number 4, written in full.
  {
    std::ofstream out(g.frm.CementFile);
    out << "3\n";
    for (int k = 1; k <= 3; ++k)
      out << "Type " << k << "\n1\n4.6E+0005\n1.6\n36000\n1.8\n5000\n0.54\n";
  }
  const std::string before = Contents(g.frm.CementFile);
  g.Click("btnAddToCempropt");
  EXPECT_EQ(g.asked, QStringList{QStringLiteral("Name=New cement type")});
  const std::string after = Contents(g.frm.CementFile);
  ASSERT_EQ(after.substr(0, 2), "4\n");
  EXPECT_EQ(after.substr(2, before.size() - 2), before.substr(2));
  std::istringstream added(after.substr(before.size()));
  std::string line;
  std::vector<std::string> lines;
  while (std::getline(added, line)) lines.push_back(line);
  ASSERT_EQ(lines.size(), 8u);
  EXPECT_EQ(lines[0], "Fitted CEM I");
  EXPECT_EQ(lines[1], "1");
  EXPECT_EQ(lines[6], " 4.60000000000000E+0003");  // Theta-0 as given
  for (int i = 2; i < 8; ++i) EXPECT_EQ(lines[i].size(), 23u) << lines[i];

  // A 21st type, a write-protected and a missing file are refused and leave the file as
  // it was.
  std::filesystem::permissions(
      g.frm.CementFile, std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
  g.messages.clear();
  g.Click("btnAddToCempropt");
  EXPECT_EQ(Contents(g.frm.CementFile), after);
  ASSERT_EQ(g.messages.size(), 1);
  EXPECT_TRUE(g.messages[0].contains("read-only")) << g.messages[0].toStdString();
  std::filesystem::permissions(g.frm.CementFile, std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::add);
  {
    std::ofstream out(g.frm.CementFile);
    out << "20\n";
    for (int k = 1; k <= 20; ++k)
      out << "Type " << k << "\n1\n4.6E+0005\n1.6\n36000\n1.8\n5000\n0.54\n";
  }
  const std::string full = Contents(g.frm.CementFile);
  g.messages.clear();
  g.Click("btnAddToCempropt");
  EXPECT_EQ(Contents(g.frm.CementFile), full);
  ASSERT_EQ(g.messages.size(), 1);
  EXPECT_TRUE(g.messages[0].startsWith("The cement type was not added"))
      << g.messages[0].toStdString();
  std::filesystem::remove(g.frm.CementFile);
  g.Click("btnAddToCempropt");
  EXPECT_FALSE(std::filesystem::exists(g.frm.CementFile));
  EXPECT_TRUE(g.messages.back().startsWith("The cement type was not added"));
}

TEST(CementGuide, AFitWithoutValuesSaysWhyAndKeepsTheFields) {
  ScratchFolder folder;
  Guide g(folder);
  g.Find<QLineEdit>("edtDensity")->setText("2,350");
  g.selected = g.frm.windowTitle();  // not a file
  g.Click("btnNext");
  g.Click("btnNext");
  g.Click("btnNext");
  g.Click("btnAddFile");
  g.Click("btnNext");
  EXPECT_EQ(g.Find<QLabel>("lblResultStatus")->text(),
            QStringLiteral("No values were calculated: \"Mass density of concrete (kg/m3)\" does "
                           "not hold a number."));
  g.Click("btnBack");
  g.Find<QLineEdit>("edtDensity")->setText("2350");
  g.Click("btnNext");
  EXPECT_TRUE(g.Find<QLabel>("lblResultStatus")->text().contains("cannot be opened"));
  EXPECT_EQ(g.Find<QLineEdit>("edtResWc0")->text(), QString());
  for (int i = 0; i < 3; ++i) g.Click("btnAddFile");  // a fourth file is not added
  EXPECT_EQ(g.Find<QListWidget>("lbFiles")->count(), 3);
}

}  // namespace vemto::test
