#include "AppTestSupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <fstream>
#include <random>
#include <sstream>

#include "ProjectDocument.h"
#include "VemtoFile.h"

namespace vemto::test {

TAnswer ScriptedDialogs::AskSaveChanges(QWidget*) {
  ++s_->saveChangesAsked;
  if (s_->saveChanges.empty()) return TAnswer::Cancel;
  const TAnswer answer = s_->saveChanges.front();
  s_->saveChanges.pop_front();
  return answer;
}

bool ScriptedDialogs::AskYesNo(QWidget*, const QString& text) {
  s_->questions << text;
  if (s_->yesNo.empty()) return false;
  const bool answer = s_->yesNo.front();
  s_->yesNo.pop_front();
  return answer;
}

QString ScriptedDialogs::AskOpenFileName(QWidget*) {
  if (s_->openNames.empty()) return {};
  const QString name = s_->openNames.front();
  s_->openNames.pop_front();
  return name;
}

QString ScriptedDialogs::AskSaveFileName(QWidget*, const QString& current) {
  s_->lastSavePrefill = current;
  if (s_->saveNames.empty()) return {};
  const QString name = s_->saveNames.front();
  s_->saveNames.pop_front();
  return name;
}

bool ScriptedDialogs::AskNewSurface(QWidget*, TNewSurfaceChoice& choice) {
  if (s_->newSurfaces.empty()) return false;
  choice = s_->newSurfaces.front();
  s_->newSurfaces.pop_front();
  return true;
}

bool ScriptedDialogs::AskText(QWidget*, const QString&, const QString&, QString& text) {
  if (s_->texts.empty()) return false;
  text = s_->texts.front();
  s_->texts.pop_front();
  return true;
}

bool ScriptedDialogs::ConfirmModelCheck(QWidget*, const QStringList& warnings,
                                        const QStringList& errors) {
  ++s_->checkShown;
  s_->checkWarnings = warnings;
  s_->checkErrors = errors;
  return s_->continueCheck;
}

std::unique_ptr<TCalculationRun> MakeStandInRun(const std::filesystem::path& folder,
                                                std::shared_ptr<StepScript> script) {
  auto run = std::make_unique<TCalculationRun>(folder);
  run->CheckStep = [s = script](const TVemtoFile&) { return s->check; };
  run->MeshStep = [s = script](TVemtoFile&, const TRunFileNames& files,
                               const TRunObserver& observer) {
    ++s->meshRuns;
    s->lastDataFile = files.DataFile;
    TRunMeshOutcome outcome;
    if (observer.OnMeshInfo) observer.OnMeshInfo(" READING INPUT");
    if (s->duringMesh) s->duringMesh();
    if (s->meshFails) {
      outcome.Failed = true;
      outcome.ErrorNumber = s->meshErrorNumber;
      outcome.ErrorText = s->meshErrorText;
      return outcome;
    }
    std::ofstream(files.DataFile) << s->dataFileLine << "\n";
    if (observer.OnMeshDone) observer.OnMeshDone(" CALCULATION DONE");
    return outcome;
  };
  run->MeshCancelStep = [s = script] { ++s->meshCancels; };
  run->EngineStep = [] {
    static std::shared_ptr<TComputationLibrary> library = TComputationLibrary::Load(
        std::filesystem::path(VEMTO_BIN_DIR) / "libdrivers_standin_engine.so");
    return library;
  };
  return run;
}

ScratchFolder::ScratchFolder() {
  std::random_device random;
  path_ = std::filesystem::temp_directory_path() /
          ("vemto-app-test-" + std::to_string(random()) + std::to_string(random()));
  std::filesystem::create_directories(path_);
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

QString ScratchFolder::File(const char* name) const {
  return QString::fromStdString((path_ / name).string());
}

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > timeout.count()) return done();
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QCoreApplication::sendPostedEvents();
  }
  return true;
}

Harness::Harness(const std::filesystem::path& folder, std::chrono::milliseconds shutdownTimeout) {
  TMainOptions options;
  options.ProgramFolder = folder;
  options.Dialogs = std::make_unique<ScriptedDialogs>(dialogs);
  options.Run = MakeStandInRun(folder, steps);
  run = options.Run.get();
  options.ShutdownTimeout = shutdownTimeout;
  options.BatchDelay = std::chrono::milliseconds(0);
  options.ShowSplash = false;
  frm = std::make_unique<TfrmMain>(std::move(options));
}

void WriteEmptyModel(const QString& name) {
  TVemtoFile model;
  model.SetFileName(name.toStdString());
  model.Save();
}

std::string ReadBytes(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

std::unique_ptr<ProjectDocument> GeometryOnly(const char* fileName) {
  auto doc = ProjectDocument::Open(QString::fromLocal8Bit(fileName));
  TVemtoFile& m = doc->Model();
  for (auto& p : m.Positions) p->ReleaseReferences();
  m.Positions.clear();
  m.Pipes.Clear();
  m.Conditions.Clear();
  return doc;
}

}  // namespace vemto::test
