// The cement guide "Create heat development parameters": a wizard that fits the heat
// development of a cement to measured records with the fit library and appends the
// result to the cement property file as a new cement type.
#pragma once

#include <QDialog>
#include <array>
#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

#include "HeatFitCall.h"

class QButtonGroup;
class QChartView;
class QFormLayout;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QStackedWidget;

namespace vemto {

/// Pages of the guide, in the order they are defined.
enum class TGuidePage {
  CalculationType = 0,
  Parameters = 1,
  ConcreteProperties = 2,
  InputFiles = 3,
  InputFile = 4,
  HeatDevelopment = 5,
  HeatLoss = 6
};

/// The wizard. Calculation type 1 (time-temperature) walks the pages 0, 1, 2, 3, 5,
/// type 2 (maturity-heat) 0, 1, 2, 4, 5 and type 3 (heat loss) 0, 2, 4, 6; reaching the
/// last page runs the fit. Fields keep their values between openings.
class TfrmCementGuide : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmCementGuide(QWidget* parent = nullptr);

  /// Shows the guide of `owner` modally at its first page (created on first use; one
  /// guide per owner, so its fields keep their values).
  static void Open(QWidget* owner);

  /// Questions put to the user; tests replace them. AskText: an input box (title,
  /// prompt, prefilled text), empty when cancelled. SelectInputFile: the "Select input
  /// file" dialog, empty when cancelled. ShowMessage: a message with OK.
  std::function<std::optional<QString>(const QString&, const QString&, const QString&)> AskText;
  std::function<QString()> SelectInputFile;
  std::function<void(const QString&)> ShowMessage;
  /// The cement property file that "Add to CEMPROPT file" extends.
  std::filesystem::path CementFile;
  /// Folder of the fit library.
  std::filesystem::path LibraryFolder;

  /// Goes back to the first page (type and set as they were).
  void Restart();
  /// Calculation type (1..3) and parameter set (1..3) chosen.
  int CalculationType() const;
  int ParameterSet() const;
  /// The page shown and the step in the page sequence.
  TGuidePage CurrentPage() const;
  int Step() const { return step_; }
  /// The outcome of the last fit (also a failed one), if a fit was run.
  const std::optional<THeatFitResult>& LastFit() const { return lastFit_; }

 private:
  template <class Handler>
  QPushButton* NewButton(const char* name, const QString& caption, Handler handler);
  QWidget* NewPage(const QString& title, QWidget* body);
  QWidget* CreateTypePage();
  QWidget* CreateParameterPage();
  QWidget* CreatePropertyPage();
  QWidget* CreateFilesPage();
  QWidget* CreateFilePage();
  QWidget* CreateResultPage();
  QWidget* CreateHeatLossPage();
  QLineEdit* AddField(QFormLayout* form, const char* name, const QString& label,
                      const QString& value);
  QLineEdit* AddResult(QFormLayout* form, const char* name, const QString& label);
  std::vector<int> Sequence() const;
  void ShowStep();
  void UpdateFieldVisibility();
  void btnNextClick();
  void btnBackClick();
  void btnAddFileClick();
  void btnRemoveFileClick();
  void btnBrowseClick();
  void btnAddToCemproptClick();
  void RunFit();
  void ShowResult(const THeatFitResult& r);
  void ShowFailure(const QString& reason);

  int step_ = 0;
  std::optional<THeatFitResult> lastFit_;
  std::optional<std::array<double, 6>> shownValues_;  // the values of the result page
  QStackedWidget* pages_;
  QButtonGroup* typeGroup_;
  QButtonGroup* setGroup_;
  QFormLayout* propertyForm_;
  QLabel* noPropertiesNote_;
  QLineEdit* edtDensity_;
  QLineEdit* edtSpecificHeat_;
  QLineEdit* edtCement_;
  QLineEdit* edtHeatLoss_;
  QLineEdit* edtTheta0_;
  QLineEdit* edtKappa0_;
  QLineEdit* edtWc0_;
  QLineEdit* edtT1_;
  QListWidget* lbFiles_;
  QLineEdit* edtInputFile_;
  QLabel* fileHint_;
  std::array<QLineEdit*, 6> results_{};  // Wc0, Lambda-1, t-1 (h), Kappa-1, Theta-0, Kappa-0
  QLineEdit* edtResHeatLoss_;
  QLabel* lblResultStatus_;
  QLabel* lblHeatLossStatus_;
  QChartView* heatChart_;
  QChartView* lossChart_;
  QPushButton* btnBack_;
  QPushButton* btnNext_;
  QPushButton* btnAddToCempropt_;
};

}  // namespace vemto
