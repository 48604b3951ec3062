#include "TfrmMaterialView.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QListWidget>
#include <QLocale>
#include <QPainter>
#include <QToolButton>
#include <QVBoxLayout>
#include <cstring>

#include "MaterialCommands.h"
#include "TfrmMaterial.h"
#include "TfrmMaterials.h"
#include "UserDialogs.h"

namespace vemto {

namespace {

// Light fills, distinct at a glance; repeated after the last.
constexpr QRgb kMaterialColors[] = {0xf4a460, 0x87cefa, 0x90ee90, 0xffd700, 0xdda0dd,
                                    0xf08080, 0x40e0d0, 0xd2b48c, 0xb0c4de, 0xadff2f};
const QColor kUnassigned(255, 255, 255);

QPixmap Swatch(QColor color) {
  QPixmap pixmap(14, 14);
  pixmap.fill(color);
  QPainter p(&pixmap);
  p.setPen(Qt::black);
  p.drawRect(0, 0, 13, 13);
  return pixmap;
}

}  // namespace

TfrmMaterialView::TfrmMaterialView(ProjectDocument& document, ProjectDocument& library,
                                   TUserDialogs& dialogs, std::filesystem::path propertyFolder,
                                   QWidget* parent)
    : TfrmDocument(document, parent),
      library_(library),
      dialogs_(dialogs),
      fmvWorkSpace_(new TFemView2D),
      legend_(new QListWidget),
      materials_(nullptr) {
  setObjectName(QStringLiteral("frmMaterialView"));
  setWindowTitle(QStringLiteral("Material view"));
  fmvWorkSpace_->setObjectName(QStringLiteral("fmvWorkSpace"));
  legend_->setObjectName(QStringLiteral("lstLegend"));
  legend_->setSelectionMode(QAbstractItemView::NoSelection);
  legend_->setFocusPolicy(Qt::NoFocus);
  legend_->setFixedWidth(230);

  auto* btnMaterials = new QToolButton;
  btnMaterials->setObjectName(QStringLiteral("btnMaterials"));
  btnMaterials->setText(QStringLiteral("Materials..."));
  btnMaterials->setToolTip(QStringLiteral("Edit materials"));
  auto* panel = new QVBoxLayout;
  panel->addWidget(btnMaterials);
  panel->addWidget(legend_);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  layout->addWidget(fmvWorkSpace_, 1);
  layout->addLayout(panel);

  TViewOptions o = fmvWorkSpace_->Options();
  o.DrawGrid = o.DrawNodeText = o.DrawElements = o.DrawElementText = false;
  o.SnapToGrid = o.AllowEdit = o.DrawDivision = o.DrawOrientation = false;
  o.ViewMode = vmSelect;
  o.SelectColor = Qt::black;
  o.ElementColor = Qt::black;
  o.LoadModeColor = Qt::gray;
  fmvWorkSpace_->SetOptions(o);
  QFont font(QStringLiteral("Tahoma"));
  font.setPixelSize(9);
  fmvWorkSpace_->setFont(font);
  fmvWorkSpace_->SetOrigo(-1.0, -1.0);
  fmvWorkSpace_->SetScale(80.0);
  fmvWorkSpace_->SetGridSize(0.2);
  fmvWorkSpace_->SurfaceColorOf = [this](const TVemtoSurface& s) { return ColorOf(s.Material); };
  fmvWorkSpace_->OnDrawAfter = [this](QPainter& painter, const QRect&) { DrawNames(painter); };
  fmvWorkSpace_->SetDocument(&document);
  fmvWorkSpace_->SetEditMode(emSelect);
  connect(fmvWorkSpace_, &TFemView2D::selected, this, &TfrmMaterialView::Selected);

  materials_ = new TfrmMaterials(document, library, dialogs, std::move(propertyFolder), this);
  connect(materials_, &TfrmMaterials::chosen, this, [this] { SetEditMode(emSelect); });
  connect(btnMaterials, &QToolButton::clicked, materials_, [this] {
    materials_->show();
    materials_->raise();
  });
  auto onChange = [this](ObjectKind kind) {
    if (kind == ObjectKind::Material) {
      RebuildLegend();
      fmvWorkSpace_->Invalidate();
      fmvWorkSpace_->update();
    }
  };
  connect(&document, &ProjectDocument::objectsAdded, this, onChange);
  connect(&document, &ProjectDocument::objectsRemoved, this, onChange);
  connect(&document, &ProjectDocument::objectsChanged, this, onChange);
  RebuildLegend();
}

QColor TfrmMaterialView::ColorOf(const TVemtoMaterial* material) const {
  const std::int32_t i = Document().Model().Materials.IndexOf(material);
  if (i < 0) return kUnassigned;
  return QColor(kMaterialColors[static_cast<std::size_t>(i) % std::size(kMaterialColors)]);
}

void TfrmMaterialView::RebuildLegend() {
  legend_->clear();
  for (const auto& m : Document().Model().Materials)
    legend_->addItem(
        new QListWidgetItem(QIcon(Swatch(ColorOf(m.get()))), QString::fromStdString(m->Name)));
  legend_->addItem(new QListWidgetItem(QIcon(Swatch(kUnassigned)), QStringLiteral("Unassigned")));
  for (int i = 0; i < legend_->count(); ++i) legend_->item(i)->setToolTip(legend_->item(i)->text());
}

void TfrmMaterialView::Selected() {
  TFemView2D& view = *fmvWorkSpace_;
  if (!view.SelectedSurfaces().isEmpty()) {
    TVemtoSurface* surface = view.SelectedSurfaces().first();
    TVemtoMaterial* chosen = materials_->Chosen();
    if (chosen == nullptr)
      dialogs_.ShowMessage(this, QStringLiteral("You have to choose a material to assign."));
    else if (surface->Material != chosen)
      Document().Push(new AssignMaterialCommand(Document(), surface, chosen));
  }
  view.ClearSelection();
  view.update();
}

void TfrmMaterialView::DrawNames(QPainter& painter) {
  const QFontMetrics fm(fmvWorkSpace_->font());
  painter.setFont(fmvWorkSpace_->font());
  painter.setPen(fmvWorkSpace_->Options().TextColor);
  const int half = fm.boundingRect(QStringLiteral("8")).height() / 2;
  TVector p;
  for (const auto& surface : Document().Model().Surfaces) {
    const QString text = surface->Material != nullptr
                             ? QString::fromStdString(surface->Material->Name)
                             : QStringLiteral("Unassigned");
    surface->PointAt(p, 0.5, 0.5);
    const QPoint c = fmvWorkSpace_->WorldToScreen(p.X, p.Y);
    const int left = c.x() - fm.horizontalAdvance(text) / 2;
    const int top = c.y() - half;
    painter.drawText(left, top + fm.ascent(), text);
  }
}

void TfrmMaterialView::SetEditMode(TEditMode mode) {
  if (mode == emSmoothPan || mode == emZoomWindow) materials_->Choose(nullptr);
  fmvWorkSpace_->SetEditMode(mode);
}

void TfrmMaterialView::ShowGridProperties() {
  QString text = QLocale::c().toString(fmvWorkSpace_->GridSize(), 'g', 15);
  if (!dialogs_.AskText(this, QStringLiteral("Set grid size"), QStringLiteral("Grid spacing (m):"),
                        text))
    return;
  bool ok = false;
  const double size = QLocale::c().toDouble(text.trimmed(), &ok);
  if (ok) fmvWorkSpace_->SetGridSize(size);
}

void TfrmMaterialView::Copy() {
  fmvWorkSpace_->CopyToClipboard();
}

TMaterialViewState TfrmMaterialView::SaveViewState() const {
  TMaterialViewState state{};
  const double values[4] = {fmvWorkSpace_->GridSize(), fmvWorkSpace_->OrigoX(),
                            fmvWorkSpace_->OrigoY(), fmvWorkSpace_->Scale()};
  std::memcpy(state.data(), values, sizeof values);
  state[32] = fmvWorkSpace_->Options().SnapToGrid ? 1 : 0;
  state[33] = fmvWorkSpace_->Options().DrawGrid ? 1 : 0;
  return state;
}

void TfrmMaterialView::RestoreViewState(const TMaterialViewState& state) {
  double values[4];
  std::memcpy(values, state.data(), sizeof values);
  fmvWorkSpace_->SetGridSize(values[0]);
  fmvWorkSpace_->SetOrigo(values[1], values[2]);
  fmvWorkSpace_->SetScale(values[3]);
  TViewOptions o = fmvWorkSpace_->Options();
  o.SnapToGrid = state[32] != 0;
  o.DrawGrid = state[33] != 0;
  fmvWorkSpace_->SetOptions(o);
}

void TfrmMaterialView::showEvent(QShowEvent* event) {
  TfrmDocument::showEvent(event);
  // At the lower right corner of the main window.
  const QRect frame = window()->geometry();
  materials_->move(frame.right() - materials_->width() - 24,
                   frame.bottom() - materials_->height() - 48);
  materials_->show();
}

void TfrmMaterialView::closeEvent(QCloseEvent* event) {
  if (materials_->Editor() != nullptr) materials_->Editor()->close();
  materials_->hide();
  TfrmDocument::closeEvent(event);
}

}  // namespace vemto
