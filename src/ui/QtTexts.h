// Qt's own dialogs (file and colour dialogs, message box buttons) speak the interface language.
#pragma once

// Loads Qt's translation for `shellLang` (Russian) or removes it (English). Returns false when the
// translation is not installed: the dialogs then stay English.
bool UseQtTexts(int shellLang);
