// Shared pieces of the desktop program's tests: scripted dialogs, a calculation run
// with stand-in steps over the stand-in engine library, a scratch folder and
// event-loop waiting.
#pragma once

#include <QString>
#include <QStringList>
#include <chrono>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "CalculationRun.h"
#include "TfrmMain.h"
#include "UserDialogs.h"

namespace vemto::test {

/// What the scripted dialogs were asked, and the answers they give.
struct DialogScript {
  std::deque<TAnswer> saveChanges;            ///< answers to "Save changes?" (Cancel when empty)
  std::deque<bool> yesNo;                     ///< answers to yes/no questions (No when empty)
  std::deque<QString> openNames;              ///< answers of the open dialog (cancel when empty)
  std::deque<QString> saveNames;              ///< answers of the save dialog (cancel when empty)
  bool continueCheck = true;                  ///< answer of the "Messages" dialog
  QStringList messages;                       ///< every message and error shown
  QStringList questions;                      ///< every yes/no question asked
  int saveChangesAsked = 0;                   ///< number of "Save changes?" questions
  int checkShown = 0;                         ///< number of "Messages" dialogs
  QStringList checkWarnings, checkErrors;     ///< lists of the last "Messages" dialog
  QString lastSavePrefill;                    ///< prefilled name of the last save dialog
  std::deque<QString> resultFiles;            ///< answers of the result database dialog
  std::deque<QString> pdfNames;               ///< answers of the PDF save dialog
  int printDialogs = 0;                       ///< number of print dialogs (all cancelled)
  std::deque<TNewSurfaceChoice> newSurfaces;  ///< answers of "New surface" (cancel when empty)
  std::deque<QString> texts;                  ///< answers to text questions (cancel when empty)
  std::deque<QString> weatherFiles;           ///< answers of the weather file dialog
};

/// Dialogs answering from a script shared with the test.
class ScriptedDialogs : public TUserDialogs {
 public:
  explicit ScriptedDialogs(std::shared_ptr<DialogScript> script) : s_(std::move(script)) {}
  TAnswer AskSaveChanges(QWidget*) override;
  bool AskYesNo(QWidget*, const QString& text) override;
  void ShowMessage(QWidget*, const QString& text) override { s_->messages << text; }
  void ShowError(QWidget*, const QString& text) override { s_->messages << text; }
  QString AskOpenFileName(QWidget*) override;
  QString AskSaveFileName(QWidget*, const QString& current) override;
  bool ConfirmModelCheck(QWidget*, const QStringList& warnings, const QStringList& errors) override;
  QString AskTempMatResultFile(QWidget*) override { return Next(s_->resultFiles); }
  QString AskPdfFileName(QWidget*, const QString&) override { return Next(s_->pdfNames); }
  bool AskPrinter(QWidget*, QPrinter&) override {
    ++s_->printDialogs;
    return false;
  }
  bool AskNewSurface(QWidget*, TNewSurfaceChoice& choice) override;
  bool AskText(QWidget*, const QString&, const QString&, QString& text) override;
  QString AskWeatherFileName(QWidget*) override { return Next(s_->weatherFiles); }

 private:
  static QString Next(std::deque<QString>& answers) {
    if (answers.empty()) return {};
    QString answer = answers.front();
    answers.pop_front();
    return answer;
  }
  std::shared_ptr<DialogScript> s_;
};

/// What the stand-in steps do and saw.
struct StepScript {
  TRunCheck check;                       ///< result of the model check
  std::string dataFileLine = "run 5 1";  ///< written to the analysis data file
  bool meshFails = false;                ///< the mesher reports an error
  std::int32_t meshErrorNumber = 1000;
  std::string meshErrorText = "SUPERELEMENT 1 HAS NO NODES";
  std::function<void()> duringMesh;  ///< called inside the mesher run, after a phase
  int meshCancels = 0;               ///< cancellation requests of mesher runs
  int meshRuns = 0;                  ///< number of mesher runs
  std::string lastDataFile;          ///< data file of the last mesher run
};

/// A calculation run over `folder` whose steps follow `script`: the mesh step writes a
/// one-line analysis data file for the stand-in engine library.
std::unique_ptr<TCalculationRun> MakeStandInRun(const std::filesystem::path& folder,
                                                std::shared_ptr<StepScript> script);

/// A fresh scratch folder under the system's temporary folder, removed at the end.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  const std::filesystem::path& Path() const { return path_; }
  QString File(const char* name) const;

 private:
  std::filesystem::path path_;
};

/// Processes events until `done` holds or `timeout` passes; returns `done()`.
bool WaitUntil(const std::function<bool()>& done,
               std::chrono::milliseconds timeout = std::chrono::milliseconds(10000));

/// A main window with scripted dialogs and a run with stand-in steps, in `folder`.
struct Harness {
  explicit Harness(const std::filesystem::path& folder,
                   std::chrono::milliseconds shutdownTimeout = std::chrono::milliseconds(25000));
  std::shared_ptr<DialogScript> dialogs = std::make_shared<DialogScript>();
  std::shared_ptr<StepScript> steps = std::make_shared<StepScript>();
  TCalculationRun* run = nullptr;  ///< the run handed to the window
  std::unique_ptr<TfrmMain> frm;
};

/// Writes an empty model to `name`.
void WriteEmptyModel(const QString& name);

/// The bytes of `file` (empty when it cannot be read).
std::string ReadBytes(const std::filesystem::path& file);

/// The project `fileName` with its geometry and materials only: conditions, pipes and
/// positions taken away (the references they held released).
std::unique_ptr<ProjectDocument> GeometryOnly(const char* fileName);

}  // namespace vemto::test
