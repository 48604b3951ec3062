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
  auto it = selection_.find(static_cast<int>(kind));
  if (it != selection_.end()) {
    const qsizetype before = it->size();
    it->removeIf([&objects](void* p) { return objects.contains(p); });
    if (it->size() != before) emit selectionChanged(kind, nullptr);
  }
  emit objectsRemoved(kind, objects);
}

void ProjectDocument::NotifyChanged(ObjectKind kind, const ObjectList& objects) {
  emit objectsChanged(kind, objects);
}

ObjectList ProjectDocument::Selection(ObjectKind kind) const {
  return selection_.value(static_cast<int>(kind));
}

void ProjectDocument::SetSelection(ObjectKind kind, const ObjectList& objects, QObject* source) {
  ObjectList& current = selection_[static_cast<int>(kind)];
  if (current == objects) return;
  current = objects;
  emit selectionChanged(kind, source);
}

void ProjectDocument::ClearSelection(QObject* source) {
  for (auto it = selection_.begin(); it != selection_.end(); ++it) {
    if (it->isEmpty()) continue;
    it->clear();
    emit selectionChanged(static_cast<ObjectKind>(it.key()), source);
  }
}

}  // namespace vemto
