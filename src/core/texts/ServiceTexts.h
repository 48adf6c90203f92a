// Texts of the online windows that say how a wait ended: what failed, what was kept, what succeeded.
#pragma once

#include <QString>
#include <QStringView>

// The text of `key` in the interface language in force; empty for an unknown key. "%1" in a text is
// for the caller to fill.
QString ServiceText(QStringView key);
QString ServiceText(QStringView key, int shellLang);
