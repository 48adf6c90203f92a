// Texts of the update windows, by interface language (0 Russian, 1 English). They move to the
// program's text table once it is in; the keys are the table's.
#pragma once

#include <QString>

QString UpdateText(const QString& key);
// The interface language the update windows use; the start window sets it from the settings.
void SetUpdateTextLanguage(int shellLang);
