// The program's pictures: every tool bar button shows a bundled icon, sharp at 100 % and
// 200 %, whichever document window is active; the pictures and the workspace read well
// on light and dark palettes.
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QMdiArea>
#include <QPalette>
#include <QToolBar>
#include <QToolButton>
#include <QWidgetAction>
#include <filesystem>
#include <set>

#include <gtest/gtest.h>

#include "AppTestSupport.h"
#include "VemtoIcons.h"

namespace vemto::test {
namespace {

namespace fs = std::filesystem;

// The colour of the most opaque pixel of `image` and its alpha.
std::pair<QColor, int> StrongestPixel(const QImage& image) {
  QColor best(0, 0, 0, 0);
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (QColor c = image.pixelColor(x, y); c.alpha() > best.alpha()) best = c;
  return {best, best.alpha()};
}

// Perceived brightness 0..255.
int Luminance(QColor c) {
  return qGray(c.rgb());
}

// The largest brightness difference between a pixel of `rect` in `image` and `background`.
int Contrast(const QImage& image, const QRect& rect, QColor background) {
  int most = 0;
  for (int y = rect.top(); y <= rect.bottom(); ++y)
    for (int x = rect.left(); x <= rect.right(); ++x)
      most = std::max(most, std::abs(Luminance(image.pixelColor(x, y)) - Luminance(background)));
  return most;
}

// The buttons of `bar`: its actions that are neither separators nor embedded widgets.
std::vector<QAction*> Buttons(const QToolBar& bar) {
  std::vector<QAction*> buttons;
  for (QAction* action : bar.actions())
    if (!action->isSeparator() && qobject_cast<QWidgetAction*>(action) == nullptr)
      buttons.push_back(action);
  return buttons;
}

// The example copied into `folder`, with an (unreadable) result database beside it so
// that the result window opens too.
QString ExampleIn(const ScratchFolder& folder) {
  fs::copy_file(fs::path(VEMTO_SOURCE_DIR) / "examples" / "wall_on_slab.v3",
                folder.Path() / "wall_on_slab.v3");
  QFile(folder.File("wall_on_slab.out")).open(QIODevice::WriteOnly);
  return folder.File("wall_on_slab.v3");
}

// A document window switched on by `command`, and the toolbar that comes with it.
struct WindowCase {
  const char* command;  ///< action that opens the window; empty: only the model is open
  const char* toolbar;  ///< title of a toolbar shown with it
};

class IconsInEveryWindow : public testing::TestWithParam<WindowCase> {};

TEST_P(IconsInEveryWindow, EveryToolBarButtonShowsABundledPictureAtBothScales) {
  ScratchFolder folder;
  Harness h(folder.Path());
  h.frm->show();
  ASSERT_TRUE(h.frm->OpenModel(ExampleIn(folder)));
  if (*GetParam().command != '\0') {
    QAction* command = h.frm->findChild<QAction*>(QString::fromLatin1(GetParam().command));
    ASSERT_NE(command, nullptr);
    command->trigger();
  }
  ASSERT_NE(h.frm->ActiveDocumentWindow(), nullptr);

  // Every toolbar of the program (the main window's and any of a document or tool
  // window), shown or not.
  int bars = 0, buttons = 0;
  bool shown = false;
  for (QWidget* widget : QApplication::allWidgets()) {
    auto* bar = qobject_cast<QToolBar*>(widget);
    if (bar == nullptr) continue;
    ++bars;
    const std::string title = bar->windowTitle().toStdString();
    if (bar->windowTitle() == QLatin1String(GetParam().toolbar)) shown = bar->isVisible();
    EXPECT_EQ(bar->toolButtonStyle(), Qt::ToolButtonIconOnly) << title;
    for (QAction* action : Buttons(*bar)) {
      ++buttons;
      const std::string name = title + " " + action->objectName().toStdString();
      const QIcon icon = action->icon();
      ASSERT_FALSE(icon.isNull()) << name;
      EXPECT_TRUE(icon.name().startsWith(QStringLiteral(":/icons/")) && QFile::exists(icon.name()))
          << name << " " << icon.name().toStdString();
      for (const qreal scale : {1.0, 2.0}) {
        const QPixmap pixmap = icon.pixmap(QSize(24, 24), scale);
        EXPECT_EQ(pixmap.size(), QSize(24, 24) * scale) << name << " at " << scale;
        EXPECT_GT(StrongestPixel(pixmap.toImage()).second, 200) << name << " is empty";
      }
    }
  }
  EXPECT_TRUE(shown) << GetParam().toolbar;
  // The condition list beside the boundary-condition window shows the picture of the
  // current type's button.
  int pictures = 0;
  for (QWidget* widget : QApplication::allWidgets())
    if (auto* label = qobject_cast<QLabel*>(widget);
        label != nullptr && label->objectName() == QLatin1String("imgCondition") &&
        label->isVisible())
      pictures += label->pixmap().isNull() ? 0 : 1;
  EXPECT_EQ(pictures, std::string(GetParam().command) == "btnBoundaryConds" ? 1 : 0);
  // Standard, Vemto, View, Geometry, Boundary Conditions, Results and Coordinates.
  EXPECT_GE(bars, 7);
  EXPECT_GE(buttons, 50);
}

INSTANTIATE_TEST_SUITE_P(Windows, IconsInEveryWindow,
                         testing::Values(WindowCase{"", "Geometry"},
                                         WindowCase{"btnBoundaryConds", "Boundary Conditions"},
                                         WindowCase{"btnMaterials", "View"},
                                         WindowCase{"btnInputData", "Vemto"},
                                         WindowCase{"mnuResultsShow", "Results"}));

// A dark desktop palette: Qt derives every role from a dark button and window colour.
QPalette DarkPalette() {
  return QPalette(QColor(53, 53, 53), QColor(53, 53, 53));
}

class PicturesOnPalette : public testing::TestWithParam<bool> {
 protected:
  // The desktop's palette as the program starts.
  void SetUp() override {
    original_ = QApplication::palette();
    if (GetParam()) QApplication::setPalette(DarkPalette());
  }
  void TearDown() override { QApplication::setPalette(original_); }
  QPalette original_;
};

// On a light and on a dark palette the pictures of enabled buttons stand out from the
// button, disabled ones are fainter but still seen, symbolic pictures take the text
// colour, and the document area is neither the canvas white nor lost in the window.
TEST_P(PicturesOnPalette, ButtonsAndWorkspaceStandOut) {
  ScratchFolder folder;
  Harness h(folder.Path());
  TfrmMain& frm = *h.frm;
  frm.resize(1280, 800);
  frm.show();
  ASSERT_TRUE(frm.OpenModel(ExampleIn(folder)));
  // The input-data window leaves the View toolbar shown and disabled.
  frm.findChild<QAction*>(QStringLiteral("btnInputData"))->trigger();
  const QPalette palette = QApplication::palette();
  int enabled = 0, disabled = 0;
  for (QToolBar* bar : frm.findChildren<QToolBar*>()) {
    if (!bar->isVisible()) continue;
    const QImage image = bar->grab().toImage();
    const qreal dpr = image.devicePixelRatio();
    for (QAction* action : Buttons(*bar)) {
      auto* button = qobject_cast<QToolButton*>(bar->widgetForAction(action));
      if (button == nullptr || !button->isVisible()) continue;
      const QRect r = button->geometry();
      const QSize icon = button->iconSize();
      const QRect iconRect(
          QPoint(r.center().x() - icon.width() / 2, r.center().y() - icon.height() / 2), icon);
      const QRect device(iconRect.topLeft() * dpr, iconRect.size() * dpr);
      const QColor background = image.pixelColor(QPoint(r.left() + 2, r.center().y()) * dpr);
      const int contrast = Contrast(image, device, background);
      const std::string name = action->objectName().toStdString();
      if (action->isEnabled()) {
        ++enabled;
        EXPECT_GE(contrast, 120) << name;
      } else {
        ++disabled;
        EXPECT_GE(contrast, 45) << name << " vanishes when disabled";
      }
    }
  }
  EXPECT_GT(enabled, 10);
  EXPECT_GT(disabled, 0);
  const auto [colour, alpha] =
      StrongestPixel(VemtoIcon(QStringLiteral("magnify-in")).pixmap(32, 32).toImage());
  EXPECT_EQ(alpha, 255);
  EXPECT_EQ(colour.rgb(), palette.color(QPalette::WindowText).rgb());

  // The document area: its own shade, away from the white canvas and the window.
  const QColor area = frm.findChild<QMdiArea*>()->background().color();
  EXPECT_GE(std::abs(Luminance(area) - 255), 40);
  EXPECT_GE(std::abs(Luminance(area) - Luminance(palette.color(QPalette::Window))), 15);
  EXPECT_EQ(area.rgb(), palette.color(QPalette::Dark).rgb());
  // and follows a palette changed while the program runs.
  const QPalette other =
      GetParam() ? QPalette(QColor(239, 239, 239), QColor(239, 239, 239)) : DarkPalette();
  frm.setPalette(other);
  EXPECT_EQ(frm.findChild<QMdiArea*>()->background().color().rgb(),
            other.color(QPalette::Dark).rgb());

  EXPECT_TRUE(VemtoIcon(QStringLiteral("no-such-icon")).isNull());
  EXPECT_FALSE(ApplicationIcon().isNull());
}

INSTANTIATE_TEST_SUITE_P(LightAndDark, PicturesOnPalette, testing::Bool());

}  // namespace
}  // namespace vemto::test
