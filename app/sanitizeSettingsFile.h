#pragma once

#include <QString>

/// Removes from the ini file at `path` every serialized value that Qt could
/// not load safely: QSettings decodes "@Variant(...)" values with QDataStream,
/// which allocates by a count read from the file, so one damaged line would
/// stop every start with std::bad_alloc. Only value types the reader could
/// have written are kept, and a string list only when its counts fit its
/// bytes. The file is rewritten (atomically) only when a line is removed.
/// Returns the number of lines removed.
int sanitizeSettingsFile(const QString &path);
