// The program's pictures: every tool bar button of the main window shows a bundled
// icon, sharp at 100 % and 200 %, drawn in the text colour of light and dark palettes.
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QImage>
#include <QPalette>
#include <QToolBar>
#include <QWidgetAction>

#include <gtest/gtest.h>

#include "AppTestSupport.h"
#include "VemtoIcons.h"

namespace vemto::test {
namespace {

// The colour of the most opaque pixel of `image` and its alpha.
std::pair<QColor, int> StrongestPixel(const QImage& image) {
  QColor best(0, 0, 0, 0);
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (QColor c = image.pixelColor(x, y); c.alpha() > best.alpha()) best = c;
  return {best, best.alpha()};
}

TEST(Icons, EveryToolBarButtonShowsABundledPictureAtBothScalesInThePaletteColour) {
  ScratchFolder folder;
  Harness h(folder.Path());
  int buttons = 0;
  for (QToolBar* bar : h.frm->findChildren<QToolBar*>()) {
    EXPECT_EQ(bar->toolButtonStyle(), Qt::ToolButtonIconOnly) << bar->windowTitle().toStdString();
    for (QAction* action : bar->actions()) {
      if (action->isSeparator() || qobject_cast<QWidgetAction*>(action) != nullptr) continue;
      ++buttons;
      const std::string name = action->objectName().toStdString();
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
  // Standard, Vemto, View, Geometry, Boundary Conditions and Results together.
  EXPECT_GE(buttons, 50);

  // Symbolic pictures follow the palette: dark text on a light desktop, light on dark.
  const QPalette original = QApplication::palette();
  for (const QColor text : {QColor(20, 20, 20), QColor(240, 240, 240)}) {
    QPalette palette = original;
    palette.setColor(QPalette::WindowText, text);
    QApplication::setPalette(palette);
    const auto [colour, alpha] =
        StrongestPixel(VemtoIcon(QStringLiteral("magnify-in")).pixmap(32, 32).toImage());
    EXPECT_EQ(alpha, 255);
    EXPECT_EQ(colour.rgb(), text.rgb());
  }
  QApplication::setPalette(original);
  EXPECT_TRUE(VemtoIcon(QStringLiteral("no-such-icon")).isNull());
  EXPECT_FALSE(ApplicationIcon().isNull());
}

}  // namespace
}  // namespace vemto::test
