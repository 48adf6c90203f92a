// The active colour scheme: switching schemes, the user scheme in the settings store, darkening.
#pragma once

#include "ColorScheme.h"

// Makes scheme `index` active: 1 to 9 copy the built-in record, 0 reads the user colours over the
// colours active so far. Any other index is taken as the default scheme.
void ApplyColorScheme(ColorSchemeTable& table, int index);

// Reads each stored colour into `active`; a colour not stored keeps its value. A value of the wrong
// kind ends the reading, keeping the colours read before it.
void ReadUserColors(TColorScheme& active);

// Writes ColorScheme and, for the user scheme (0) only, all 46 colours of `active`.
void SaveColors(int colorScheme, const TColorScheme& active);

// Each of red, green and blue lowered by c * p / 100, rounded.
TColor Darken(TColor color, int percent);
