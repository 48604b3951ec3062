#include "ProjectDocument.h"

#include <QUndoCommand>

namespace vemto {

ProjectDocument::ProjectDocument(std::unique_ptr<TVemtoFile> model, QObject* parent)
    : QObject(parent), model_(model ? std::move(model) : std::make_unique<TVemtoFile>()) {
  connect(&undo_, &QUndoStack::cleanChanged, this,
          [this](bool clean) { emit modifiedChanged(!clean); });
}

ProjectDocument::~ProjectDocument() {
  // Commands may hold objects taken out of the model; they go before the model.
  undo_.clear();
}

std::unique_ptr<ProjectDocument> ProjectDocument::Open(const QString& fileName) {
  auto model = std::make_unique<TVemtoFile>();
  model->SetFileName(fileName.toStdString());
  model->Load();
  return std::make_unique<ProjectDocument>(std::move(model));
}

QString ProjectDocument::FileName() const {
  return QString::fromStdString(model_->FileName);
}

void ProjectDocument::Save() {
  model_->Save();
  undo_.setClean();
}

void ProjectDocument::SaveAs(const QString& fileName) {
  const std::string previous = model_->FileName;
  model_->SetFileName(fileName.toStdString());
  try {
    model_->Save();
  } catch (...) {
    model_->SetFileName(previous);
    throw;
  }
  undo_.setClean();
  if (previous != model_->FileName) emit fileNameChanged(fileName);
}

void ProjectDocument::Push(QUndoCommand* command) {
  undo_.push(command);
}

void ProjectDocument::NotifyAdded(ObjectKind kind, const ObjectList& objects) {
  emit objectsAdded(kind, objects);
}

void ProjectDocument::NotifyRemoved(ObjectKind kind, const ObjectList& objects) {
  emit objectsRemoved(kind, objects);
}

void ProjectDocument::NotifyChanged(ObjectKind kind, const ObjectList& objects) {
  emit objectsChanged(kind, objects);
}

}  // namespace vemto
