// Import of a weather series (air temperature and wind from a CSV or text file) into a
// temperature condition, as one undoable edit of the document.
#pragma once

#include <QString>

#include "ProjectDocument.h"

namespace vemto {

/// Largest weather file read, bytes: a history holds at most 1000 points, so a longer
/// file is not a weather series of this program.
inline constexpr qint64 kMaxWeatherFileBytes = 4 * 1024 * 1024;

/// Reads the weather series in `file` and gives `condition` (a temperature condition of
/// `document`) its air temperatures as history and, when the file has wind speeds, the
/// mean wind and the transfer coefficient derived from it and the condition's insulation.
/// One command "Import weather" on the document. Returns the reason when nothing was
/// changed (it names the file, and the line of the first row that cannot be read); empty
/// on success.
QString ImportWeatherFile(ProjectDocument& document, TVemtoCondition* condition,
                          const QString& file);

}  // namespace vemto
