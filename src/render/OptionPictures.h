// Pictures of the options and colours windows: the framed group header and the small option sketches.
#pragma once

#include <QImage>
#include <QSize>

// The group frame: light fill, blue outline, a band at the top with the header gradient.
QImage PaintHeaderPicture(QSize size);

enum class OptionPicture { Center, Corner, Left, Right };
// A small sketch (44 x 32) of what the option does.
QImage PaintOptionPicture(OptionPicture kind);
