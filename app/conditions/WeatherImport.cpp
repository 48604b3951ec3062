#include "WeatherImport.h"

#include <QDir>
#include <QFile>

#include "ConditionEditing.h"
#include "HistoryCommands.h"

namespace vemto {

QString ImportWeatherFile(ProjectDocument& document, TVemtoCondition* condition,
                          const QString& file) {
  auto* temperature = dynamic_cast<TVemtoTempCondition*>(condition);
  if (temperature == nullptr)
    return QStringLiteral("A weather series can only be imported into a temperature condition.");
  const QString name = QDir::toNativeSeparators(file);
  QFile in(file);
  if (!in.open(QIODevice::ReadOnly))
    return QStringLiteral("%1: the file cannot be read (%2).").arg(name, in.errorString());
  if (in.size() > kMaxWeatherFileBytes)
    return QStringLiteral("%1: the file is larger than %2 MB; it is not a weather series.")
        .arg(name)
        .arg(kMaxWeatherFileBytes / (1024 * 1024));
  const QByteArray bytes = in.readAll();
  if (in.error() != QFileDevice::NoError)
    return QStringLiteral("%1: the file cannot be read (%2).").arg(name, in.errorString());
  WeatherSeries series;
  try {
    series = ParseWeatherSeries(std::string_view(bytes.constData(), std::size_t(bytes.size())),
                                name.toStdString());
  } catch (const HistoryTextError& e) {
    return QString::fromStdString(e.what());  // names the file and the line
  }
  WeatherImport import;
  try {
    import = ImportWeather(*temperature, series);
  } catch (const HistoryTextError& e) {
    return name + QStringLiteral(": ") + QString::fromStdString(e.what());
  }
  document.Push(new ConditionEditCommand(document, temperature, QStringLiteral("Import weather"),
                                         [&import](TVemtoCondition& c) {
                                           auto& t = static_cast<TVemtoTempCondition&>(c);
                                           t.History = import.History;
                                           if (import.WindVelocity)
                                             t.WindVelocity = *import.WindVelocity;
                                           if (import.TransferCoefficient)
                                             t.TransferCoefficient = *import.TransferCoefficient;
                                         }));
  return {};
}

}  // namespace vemto
