// Placement of dialogs whose captions are set as they are shown.
#pragma once

class QWidget;

// Takes the window's final size from its layout, centres it over its parent window (or the screen)
// unless the program placed it, and keeps it whole inside the screen's available area. Call from
// showEvent after the captions are set and after QDialog's own placement: the window is not yet
// mapped there.
void PlaceOnScreen(QWidget* w);
