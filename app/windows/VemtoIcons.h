// The program's own icons: bundled SVGs (symbolic icons of the Adwaita set and the
// program's drawings in the same style), drawn in the text colour of the current
// palette so that they read well on light and dark desktops and with no icon theme.
#pragma once

#include <QIcon>
#include <QString>

class QWidget;

namespace vemto {

/// The bundled icon `name` (file name without "-symbolic.svg", e.g. "document-save"),
/// recoloured to the palette's text colour; a null icon when no such icon is bundled.
/// QIcon::name() of the result is the icon's resource path (":/icons/...").
QIcon VemtoIcon(const QString& name);

/// The program's own full-colour icon (window list, About box, desktop entry).
QIcon ApplicationIcon();

/// The bundled icon name for the action with object name `actionName` (e.g.
/// "btnFileSave" -> "document-save"); empty when the action has no icon.
QString IconNameForAction(const QString& actionName);

/// Gives every action under `window` whose object name has an icon in IconNameForAction
/// that icon, and shows the tool bars' buttons as pictures only.
void ApplyToolBarIcons(QWidget* window);

}  // namespace vemto
