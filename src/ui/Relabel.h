// Applies a table of captions, hints and prompts to the named controls of a window.
#pragma once

#include "MainWindowLabels.h"

#include <QStringList>
#include <span>

class QWidget;

// Sets each row on the child of `window` with that objectName (widgets and actions); "\r" breaks become
// line breaks. Gives the names of rows whose control does not exist, so a window can check its table.
QStringList RelabelWindow(QWidget* window, std::span<const MainWindowLabel> labels, int shellLang);
