// `vemto-cli results OUT --png FIELD --time HOURS --output FILE.png`: a distribution
// drawn by the result library's own diagram code, rendered with QPainter into a PNG.
#include <cmath>
#include <iostream>
#include <string>

#include <fmt/format.h>

#include "Commands.h"
#include "ExportCommand.h"

#ifdef VEMTO_CLI_PNG
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include "Diagram.h"
#include "PostPainter.h"
#endif

namespace vemto::cli {

void AddPngOptions(CLI::App& results, PngOptions& o) {
  results.add_option("--png", o.field,
                     "Draw a distribution into a PNG: T M A S1 R FT FC U (deformed shape)");
  results.add_option("--output", o.output, "PNG file of --png");
  results.add_option("--size", o.size, "Picture size W,H in pixels (default 1000,700)");
  results.add_option("--range", o.range,
                     "Colour range LO,HI in the units shown (default automatic)");
  results.add_flag("--max", o.peak,
                   "With --png R: the crack-risk view, the largest ratio reached up to --time");
  results.add_option("--threshold", o.threshold,
                     "With --png R --max: the ratio drawn as a dashed line besides 1.0");
}

bool WritePicture(const std::string& output, int width, int height,
                  const std::function<void(const post::Surface&)>& draw) {
#ifdef VEMTO_CLI_PNG
  // Fonts need a GUI application; without a display it runs on the offscreen platform.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "vemto-cli";
  static char* argv[] = {name, nullptr};
  static QGuiApplication* app = new QGuiApplication(argc, argv);
  (void)app;
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(Qt::white);
  {
    QPainter painter(&image);
    post::PostPainter canvas(painter);
    draw(post::Surface{canvas.Drawing(), image.width(), image.height(), 0});
  }
  if (!image.save(QString::fromStdString(output), "PNG")) {
    std::cerr << fmt::format("vemto-cli: {}: cannot be written\n", output);
    return false;
  }
  return true;
#else
  (void)output, (void)width, (void)height, (void)draw;
  std::cerr << "vemto-cli: this build has no pictures (Qt Gui was not found)\n";
  return false;
#endif
}

int RenderPng(const std::string& out, const PngOptions& o, std::optional<double> hours) {
  double w = 1000, h = 700, lo = -1.0, hi = -1.0;
  if (!hours || o.output.empty()) {
    std::cerr << "vemto-cli: --png needs --time HOURS and --output FILE.png\n";
    return kExitUsage;
  }
  if (!o.size.empty() &&
      (!ParseNumberPair(o.size, w, h) || w < 50 || h < 50 || w > 20000 || h > 20000)) {
    std::cerr << "vemto-cli: --size needs W,H in pixels, each 50 to 20000\n";
    return kExitUsage;
  }
  if (!o.range.empty() && (!ParseNumberPair(o.range, lo, hi) || !(lo < hi))) {
    std::cerr << "vemto-cli: --range needs LO,HI with LO < HI\n";
    return kExitUsage;
  }
  std::string field = o.field;
  for (char& c : field) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (o.peak && field != "R") {
    std::cerr << "vemto-cli: --max goes with --png R\n";
    return kExitUsage;
  }
#ifdef VEMTO_CLI_PNG
  post::Distribution d;
  d.hours = *hours;
  d.lower = o.range.empty() ? -1.0 : lo;
  d.upper = o.range.empty() ? -1.0 : hi;
  if (field == "T")
    d.field = post::Field::Temperature;
  else if (field == "M")
    d.field = post::Field::Maturity;
  else if (field == "A")
    d.field = post::Field::Hydration;
  else if (field == "S1")
    d.field = post::Field::Stress, d.component = post::kS1;
  else if (field == "R")
    d.field = post::Field::Ratio;
  else if (field == "FT")
    d.field = post::Field::TensileStrength;
  else if (field == "FC")
    d.field = post::Field::CompressiveStrength;
  else if (field != "U") {
    std::cerr << fmt::format("vemto-cli: unknown --png field \"{}\"; one of T M A S1 R FT FC U\n",
                             o.field);
    return kExitUsage;
  }
  try {
    const post::ResultReader r(out);
    if (r.StoredCount() == 0)
      throw post::ResultError(out + ": no stored times (the run did not end normally)");
    const auto k = r.FindTime(*hours, 1e-6 * std::max(1.0, std::fabs(*hours)));
    if (!k) {
      std::cerr << fmt::format("vemto-cli: no storage event at {} h; stored times (h):", *hours);
      for (std::size_t i = 0; i < r.StoredCount(); ++i)
        std::cerr << fmt::format(" {:.10g}", r.Hours(i));
      std::cerr << "\n";
      return 1;
    }
    const bool written = WritePicture(o.output, static_cast<int>(w), static_cast<int>(h),
                                      [&](const post::Surface& surface) {
                                        if (field == "U")
                                          post::DrawDeformed(r, surface, *hours, -1.0);
                                        else if (o.peak)
                                          post::DrawCrackRisk(r, surface, *hours, o.threshold);
                                        else
                                          post::DrawDistribution(r, surface, d);
                                      });
    return written ? 0 : 1;
  } catch (const std::exception& e) {
    std::cerr << "vemto-cli: " << e.what() << "\n";
    return 1;
  }
#else
  std::cerr << "vemto-cli: this build has no pictures (Qt Gui was not found)\n";
  return 1;
#endif
}

}  // namespace vemto::cli
