#pragma once

class QCoreApplication;

namespace lir2 {

// Loads Qt's own Russian texts (qtbase_ru: the file dialogs, message boxes and standard
// buttons) from Qt's translations folder into the application. Returns false when they are not
// installed (Debian: qt6-translations-l10n); the framework's texts then stay in English.
bool installQtRussianTranslation(QCoreApplication& app);

}  // namespace lir2
