// Numbers are written and read with "." whatever the user's locale.
#pragma once

namespace vemto {

/// Sets the process's numeric locale back to "C" and makes Qt's default locale the C
/// locale. Call right after creating the application object, which takes the locale
/// from the environment.
void UseDotDecimalSeparator();

}  // namespace vemto
