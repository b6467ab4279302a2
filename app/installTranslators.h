#pragma once

class QCoreApplication;

/// Installs the reader's Chinese translation (beside the executable, else
/// where an installed copy keeps it) and Qt's own Chinese texts (OK, Cancel,
/// the colour, font and file dialogs), whatever the system's language is.
/// The translators live as long as `app`.
void installTranslators(QCoreApplication *app);
