#include "NumberLocale.h"

#include <QLocale>
#include <clocale>

namespace vemto {

void UseDotDecimalSeparator() {
  std::setlocale(LC_NUMERIC, "C");
  QLocale::setDefault(QLocale::c());
}

}  // namespace vemto
