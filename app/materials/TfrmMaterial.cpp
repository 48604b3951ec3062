#include "TfrmMaterial.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <cmath>

#include "NumberText.h"
#include "UserDialogs.h"

namespace vemto {

namespace {

constexpr double kSecondsPerHour = 3600.0;
constexpr double kSecondsPerDay = 86400.0;
constexpr int kWaterCementRatio = 0;  // field marker: not a property

struct FieldDef {
  int property;
  bool hours;
  const char* label;  // "%d": the reference age in days
};

struct PageDef {
  const char* title;
  std::vector<FieldDef> fields;
  int option;  // the option (1..6) whose box shows the page; 0 = always shown
};

// Pages in the order their fields are stored.
const std::vector<PageDef>& PageDefs() {
  static const std::vector<PageDef> pages = [] {
    std::vector<PageDef> p = {
        {"General",
         {{1, true, "Time of casting (h)"},
          {6, false, "Temperature at casting (\u00b0C)"},
          {7, true, "Initial maturity time at casting (h)"}},
         0},
        {"Material",
         {{3, false, "Thermal conductivity (W/mK)"},
          {4, false, "Mass density (kg/m3)"},
          {5, false, "Specific heat (J/kgK)"}},
         0},
        {"Cement",
         {{8, false, "Cement content (kg/m3)"},
          {10, false, "Quantity of heat developed at complete hydration (J/kg)"},
          {11, false, "Lambda-1"},
          {12, true, "t-1 (h)"},
          {13, false, "Kappa-1"},
          {14, false, "Theta-0 (K)"},
          {15, false, "Kappa-0"},
          {kWaterCementRatio, false, "Water-cement ratio"}},
         0},
        {"Volume load",
         {{16, true, "Time of volume load activation (h)"},
          {17, false, "Horizontal load (N/m3)"},
          {18, false, "Vertical load (N/m3)"}},
         0},
        {"Creep", {{43, false, "phi-0"}, {44, false, "phi-t1"}}, 4},
        {"Fracture",
         {{37, false, "Fracture energy at %d days (N/m)"},
          {38, false, "Slip modulus at %d days (Pa)"}},
         3},
        {"Elastic modulus",
         {{23, false, "Elastic modulus at %d days E0 (Pa)"},
          {24, false, "Development parameter a1"},
          {25, false, "Development parameter b1"},
          {26, false, "Development parameter a2"},
          {27, false, "Development parameter b2"},
          {28, false, "Poisson's ratio, initial value"},
          {29, false, "Poisson's ratio, final value"},
          {30, false, "Poisson's ratio alfa-1"},
          {31, false, "Poisson's ratio alfa-2"}},
         0},
        {"Thermal strain",
         {{39, false, "alfa, T"},
          {40, false, "r, T"},
          {41, false, "E-T,sig (PaK)"},
          {42, false, "nu-T,sig"}},
         5},
        {"Shrinkage",
         {{60, false, "Final autogeneous shrinkage eps-a,inf"},
          {61, true, "Maturity at start of autogeneous shrinkage t-a (h)"},
          {62, true, "Development parameter t-2 (h)"},
          {63, false, "Development parameter kap-2"}},
         6},
        {"Tensile strength",
         {{32, false, "Tensile strength at %d days FT0 (Pa)"},
          {33, false, "Development parameter a1"},
          {34, false, "Development parameter b1"},
          {35, false, "Development parameter a2"},
          {36, false, "Development parameter b2"}},
         0},
        {"Compressive strength",
         {{64, false, "Compressive strength at %d days FC0 (Pa)"},
          {65, false, "Development parameter a1"},
          {66, false, "Development parameter b1"},
          {67, false, "Development parameter a2"},
          {68, false, "Development parameter b2"}},
         0},
    };
    // The five creep terms: tau-k, phi-k, nu-ck.
    static const std::vector<std::string> creepLabels = [] {
      std::vector<std::string> l;
      for (int k = 1; k <= 5; ++k)
        for (const char* name : {"tau-", "phi-", "nu-c"}) l.push_back(name + std::to_string(k));
      return l;
    }();
    for (int i = 0; i < 15; ++i) p[4].fields.push_back({45 + i, false, creepLabels[i].c_str()});
    return p;
  }();
  return pages;
}

const char* const kOptionTexts[6] = {"Heat development",
                                     "Property development",
                                     "Fracture",
                                     "Creep",
                                     "Stress induced thermal strain",
                                     "Autogeneous shrinkage"};

}  // namespace

TfrmMaterial::TfrmMaterial(ProjectDocument& document, TVemtoMaterial& material,
                           TUserDialogs& dialogs, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint),
      doc_(&document),
      material_(&material),
      dialogs_(dialogs),
      values_(ValuesOf(material)),
      pages_(new QTabWidget(this)) {
  setObjectName(QStringLiteral("frmMaterial"));
  setWindowTitle(QStringLiteral("Material"));
  setAttribute(Qt::WA_DeleteOnClose);
  setModal(false);
  pages_->setObjectName(QStringLiteral("pgcMaterial"));
  pages_->setUsesScrollButtons(true);

  const long days = std::lround(material.P(20) / kSecondsPerDay);
  for (const PageDef& page : PageDefs()) {
    auto* widget = new QWidget;
    auto* form = new QFormLayout(widget);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    for (const FieldDef& def : page.fields) {
      QString label = QString::fromUtf8(def.label);
      label.replace(QStringLiteral("%d"), QString::number(days));
      auto* caption = new QLabel(label);
      auto* edit = new QLineEdit;
      edit->setObjectName(def.property == kWaterCementRatio
                              ? QStringLiteral("edtWaterCementRatio")
                              : QStringLiteral("edtP%1").arg(def.property));
      edit->setMinimumWidth(140);
      form->addRow(caption, edit);
      fields_.push_back({def.property, def.hours, label, caption, edit, {}});
      if (def.property == kWaterCementRatio)
        connect(edit, &QLineEdit::editingFinished, this, &TfrmMaterial::WaterCementRatioLeft);
    }
    if (page.option == 0 && std::string_view(page.title) == "General") {
      for (int k = 0; k < 6; ++k) {
        auto* box = new QCheckBox(QString::fromLatin1(kOptionTexts[k]));
        box->setObjectName(QStringLiteral("chkOption%1").arg(k + 1));
        form->addRow(box);
        options_.push_back(box);
        connect(box, &QCheckBox::toggled, this, &TfrmMaterial::UpdatePages);
      }
    }
    pages_->addTab(widget, QString::fromLatin1(page.title));
  }

  auto* close = new QPushButton(QStringLiteral("Close"));
  close->setObjectName(QStringLiteral("btnClose"));
  close->setAutoDefault(false);
  connect(close, &QPushButton::clicked, this, &QDialog::accept);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(pages_);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(close);
  layout->addLayout(buttons);

  Fill();

  connect(doc_, &ProjectDocument::objectsRemoved, this,
          [this](ObjectKind kind, const ObjectList& objects) {
            if (kind == ObjectKind::Material && objects.contains(material_)) Drop();
          });
  connect(doc_, &QObject::destroyed, this, &TfrmMaterial::Drop);
}

QLineEdit* TfrmMaterial::Field(const QString& label) const {
  for (const auto& f : fields_)
    if (f.label == label) return f.edit;
  return nullptr;
}

QCheckBox* TfrmMaterial::Option(const QString& text) const {
  for (QCheckBox* box : options_)
    if (box->text() == text) return box;
  return nullptr;
}

QString TfrmMaterial::FieldText(const FieldState& field) const {
  double value = 0.0;
  if (field.property == kWaterCementRatio) {
    const TVemtoConcrete& c = material_->Concrete;
    value = c.Value(7) / (values_.Properties[63] - c.Value(6));
  } else {
    value = values_.Properties[static_cast<std::size_t>(field.property - 1)];
    if (field.hours) value /= kSecondsPerHour;
  }
  return QString::fromStdString(FormatG(value));
}

void TfrmMaterial::Fill() {
  if (material_ == nullptr) return;
  for (int k = 0; k < 6; ++k) {
    const QSignalBlocker block(options_[k]);
    options_[k]->setChecked(values_.Options[static_cast<std::size_t>(k)] == 1);
  }
  for (FieldState& f : fields_) {
    f.shown = FieldText(f);
    f.edit->setText(f.shown);
    f.edit->setCursorPosition(0);
  }
  UpdatePages();
}

void TfrmMaterial::UpdatePages() {
  for (int i = 0; i < pages_->count(); ++i) {
    const int option = PageDefs()[static_cast<std::size_t>(i)].option;
    if (option != 0) pages_->setTabVisible(i, options_[option - 1]->isChecked());
  }
}

QString TfrmMaterial::Store() {
  if (material_ == nullptr) return {};
  TMaterialValues values = values_;
  for (int k = 0; k < 6; ++k)
    values.Options[static_cast<std::size_t>(k)] = options_[k]->isChecked() ? 1 : 0;
  for (const FieldState& f : fields_) {
    const QString text = f.edit->text();
    if (text == f.shown) continue;  // unchanged: the stored value stays as it is
    const std::optional<double> number = ParseReal(text.toStdString());
    if (!number) return QStringLiteral("%1: \"%2\" is not a number.").arg(f.label, text);
    if (f.property == kWaterCementRatio) {
      if (!(*number > 0.0))
        return QStringLiteral("%1: the ratio must be greater than 0.").arg(f.label);
      const TVemtoConcrete& c = material_->Concrete;
      values.Properties[63] = c.Value(7) / *number + c.Value(6);  // P64
    } else {
      values.Properties[static_cast<std::size_t>(f.property - 1)] =
          f.hours ? *number * kSecondsPerHour : *number;
    }
  }
  values_ = values;
  return {};
}

void TfrmMaterial::WaterCementRatioLeft() {
  if (material_ == nullptr) return;
  for (const FieldState& f : fields_)
    if (f.property == kWaterCementRatio && f.edit->text() == f.shown) return;
  const QString error = Store();
  if (!error.isEmpty()) {
    dialogs_.ShowError(this, error);
    return;
  }
  Fill();
}

void TfrmMaterial::done(int result) {
  if (material_ != nullptr) {
    const QString error = Store();
    if (!error.isEmpty()) {
      dialogs_.ShowError(this, error);
      return;  // stays open
    }
    if (values_ != ValuesOf(*material_))
      doc_->Push(new EditMaterialCommand(*doc_, material_, values_));
  }
  QDialog::done(result);
}

void TfrmMaterial::Drop() {
  material_ = nullptr;
  doc_ = nullptr;
  close();
}

}  // namespace vemto
