#include "VemtoIcons.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QHash>
#include <QIconEngine>
#include <QPainter>
#include <QPalette>
#include <QSvgRenderer>
#include <QToolBar>
#include <QWidget>
#include <cmath>

namespace vemto {
namespace {

// The fill colour of symbolic icons; drawing replaces it by the palette's colour.
constexpr char kSymbolicColour[] = "#2e3436";

// An SVG icon drawn at every requested size (sharp at any scale). Symbolic icons take
// the palette's text colour of the mode they are drawn in.
class SvgIconEngine : public QIconEngine {
 public:
  SvgIconEngine(QString path, QByteArray svg, bool symbolic)
      : path_(std::move(path)), svg_(std::move(svg)), symbolic_(symbolic) {}

  void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override {
    QSvgRenderer renderer(Colored(mode));
    renderer.render(painter, QRectF(rect));
  }

  QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    return scaledPixmap(size, mode, state, 1.0);
  }

  // `size` is in device pixels already (QIcon multiplies by `scale`).
  QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state,
                       qreal scale) override {
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    {
      QPainter painter(&pixmap);
      painter.setRenderHint(QPainter::Antialiasing);
      paint(&painter, QRect(QPoint(0, 0), size), mode, state);
    }
    pixmap.setDevicePixelRatio(scale);
    return pixmap;
  }

  QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override {
    return {QSize(16, 16), QSize(22, 22), QSize(24, 24),
            QSize(32, 32), QSize(48, 48), QSize(64, 64)};
  }

  QIconEngine* clone() const override { return new SvgIconEngine(path_, svg_, symbolic_); }
  QString key() const override { return QStringLiteral("vemto-svg"); }
  QString iconName() override { return path_; }
  bool isNull() override { return svg_.isEmpty(); }

 private:
  QByteArray Colored(QIcon::Mode mode) const {
    if (!symbolic_) return svg_;
    const QPalette palette = QApplication::palette();
    QColor colour = palette.color(QPalette::Active, QPalette::WindowText);
    if (mode == QIcon::Disabled) {
      // Halfway to the window colour: faint, but seen on light and dark palettes and on
      // pressed buttons (the palette's disabled text colour all but vanishes in pictures).
      const QColor window = palette.color(QPalette::Active, QPalette::Window);
      constexpr double kTowardsWindow = 0.55;
      auto mix = [](int text, int back) {
        return int(std::lround((1.0 - kTowardsWindow) * text + kTowardsWindow * back));
      };
      colour = QColor(mix(colour.red(), window.red()), mix(colour.green(), window.green()),
                      mix(colour.blue(), window.blue()));
    }
    if (mode == QIcon::Selected)
      colour = palette.color(QPalette::Active, QPalette::HighlightedText);
    QByteArray svg = svg_;
    svg.replace(kSymbolicColour, colour.name().toLatin1());
    return svg;
  }

  QString path_;
  QByteArray svg_;
  bool symbolic_;
};

QIcon LoadIcon(const QString& path, bool symbolic) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return QIcon();
  return QIcon(new SvgIconEngine(path, file.readAll(), symbolic));
}

}  // namespace

QIcon VemtoIcon(const QString& name) {
  return LoadIcon(QStringLiteral(":/icons/%1-symbolic.svg").arg(name), true);
}

QIcon ApplicationIcon() {
  return LoadIcon(QStringLiteral(":/icons/vemto.svg"), false);
}

QString IconNameForAction(const QString& actionName) {
  // Stock pictures where one fits; the program's own drawings for its own objects.
  static const QHash<QString, QString> table{
      // Standard
      {QStringLiteral("btnFileSave"), QStringLiteral("document-save")},
      {QStringLiteral("btnFileNew"), QStringLiteral("document-new")},
      {QStringLiteral("btnFileOpen"), QStringLiteral("document-open")},
      {QStringLiteral("btnCopy"), QStringLiteral("edit-copy")},
      {QStringLiteral("btnGeomDelete"), QStringLiteral("edit-delete")},
      {QStringLiteral("btnPrint"), QStringLiteral("document-print")},
      // Vemto
      {QStringLiteral("btnGeometry"), QStringLiteral("section")},
      {QStringLiteral("btnMaterials"), QStringLiteral("materials")},
      {QStringLiteral("btnBoundaryConds"), QStringLiteral("conditions")},
      {QStringLiteral("btnCalcExecute"), QStringLiteral("media-playback-start")},
      {QStringLiteral("btnResults"), QStringLiteral("results")},
      {QStringLiteral("btnCalcSetup"), QStringLiteral("preferences-system")},
      {QStringLiteral("btnInputData"), QStringLiteral("input-data")},
      // View
      {QStringLiteral("btnViewPan"), QStringLiteral("pan")},
      {QStringLiteral("btnViewZoomIn"), QStringLiteral("magnify-in")},
      {QStringLiteral("btnViewZoomOut"), QStringLiteral("magnify-out")},
      {QStringLiteral("btnGeomGrid"), QStringLiteral("grid")},
      {QStringLiteral("btnViewZoomExt"), QStringLiteral("zoom-extent")},
      {QStringLiteral("btnViewZoomWin"), QStringLiteral("zoom-window")},
      {QStringLiteral("btnGeomGridProp"), QStringLiteral("grid-properties")},
      {QStringLiteral("btnGeomSnap"), QStringLiteral("snap")},
      {QStringLiteral("btnDrawNodeText"), QStringLiteral("node-numbers")},
      {QStringLiteral("btnDrawElementText"), QStringLiteral("element-numbers")},
      // Geometry
      {QStringLiteral("btnGeomLine"), QStringLiteral("line")},
      {QStringLiteral("btnGeomSelect"), QStringLiteral("pointer")},
      {QStringLiteral("btnGeomNode"), QStringLiteral("node")},
      {QStringLiteral("btnGeomCurve"), QStringLiteral("curve")},
      {QStringLiteral("btnGeomSurface"), QStringLiteral("surface")},
      {QStringLiteral("btnSurfProp"), QStringLiteral("document-properties")},
      // Boundary Conditions
      {QStringLiteral("btnSpring"), QStringLiteral("spring")},
      {QStringLiteral("btnTemperature"), QStringLiteral("temperature")},
      {QStringLiteral("btnHeatflow"), QStringLiteral("heatflow")},
      {QStringLiteral("btnPipe"), QStringLiteral("pipe")},
      {QStringLiteral("btnDisplacement"), QStringLiteral("displacement")},
      {QStringLiteral("btnLoad"), QStringLiteral("load")},
      {QStringLiteral("btnBCSelect"), QStringLiteral("pointer")},
      {QStringLiteral("btnNodal"), QStringLiteral("nodal")},
      {QStringLiteral("btnEdge"), QStringLiteral("edge")},
      {QStringLiteral("btnSurface"), QStringLiteral("surface-position")},
      {QStringLiteral("btnSnapElementNode"), QStringLiteral("snap-element-node")},
      // Results
      {QStringLiteral("btnResultType"), QStringLiteral("result-type")},
      {QStringLiteral("btnColorscale"), QStringLiteral("color-select")},
      {QStringLiteral("btnHist"), QStringLiteral("history")},
      {QStringLiteral("btnTable"), QStringLiteral("x-office-spreadsheet")},
      {QStringLiteral("btnDistr"), QStringLiteral("distribution")},
      {QStringLiteral("btnProp"), QStringLiteral("document-properties")},
      {QStringLiteral("btnRect"), QStringLiteral("rect-mean")},
      {QStringLiteral("btnCross"), QStringLiteral("node-cursor")},
      {QStringLiteral("btnRectProp"), QStringLiteral("cursor-properties")},
      {QStringLiteral("btnRectMin"), QStringLiteral("rect-min")},
      {QStringLiteral("btnRectMax"), QStringLiteral("rect-max")},
      {QStringLiteral("btnAddStep"), QStringLiteral("media-seek-backward")},
      {QStringLiteral("btnSubtractStep"), QStringLiteral("media-seek-forward")},
      // Menu commands show the picture of their button.
      {QStringLiteral("mnuFileNew"), QStringLiteral("document-new")},
      {QStringLiteral("mnuFileOpen"), QStringLiteral("document-open")},
      {QStringLiteral("mnuFileSave"), QStringLiteral("document-save")},
      {QStringLiteral("mnuFileSaveAs"), QStringLiteral("document-save-as")},
      {QStringLiteral("mnuFilePrint"), QStringLiteral("document-print")},
      {QStringLiteral("mnuEditCopy"), QStringLiteral("edit-copy")},
      {QStringLiteral("mnuInputGeometry"), QStringLiteral("section")},
      {QStringLiteral("mnuInputMaterials"), QStringLiteral("materials")},
      {QStringLiteral("mnuInputBC"), QStringLiteral("conditions")},
      {QStringLiteral("mnuInputData"), QStringLiteral("input-data")},
      {QStringLiteral("mnuCalcSettings"), QStringLiteral("preferences-system")},
      {QStringLiteral("mnuCalcExecute"), QStringLiteral("media-playback-start")},
      {QStringLiteral("mnuResultsShow"), QStringLiteral("results")},
  };
  return table.value(actionName);
}

void ApplyToolBarIcons(QWidget* window) {
  for (QToolBar* bar : window->findChildren<QToolBar*>())
    bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
  for (QAction* action : window->findChildren<QAction*>()) {
    const QString name = IconNameForAction(action->objectName());
    if (!name.isEmpty()) action->setIcon(VemtoIcon(name));
  }
}

}  // namespace vemto
