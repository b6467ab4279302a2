#pragma once

#include <QStringList>

/// tavril-inspect show [--script simplified|traditional|taiwan|hongkong]
/// [--rules FILE.json] [--tidy blank,indent,join] BOOK: the text exactly as
/// the reader shows it, as UTF-8. Returns the exit code.
int showCommand(QStringList args);
