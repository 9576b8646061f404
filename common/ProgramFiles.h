#pragma once

#include <QString>

// Where a file that belongs beside the program lies. In the build folder the data files sit
// beside the executable; in an install tree the executable is in bin/ and they are in
// share/tamberlin/. The first of these that holds the file wins; when neither does, the path
// beside the program is returned, so that callers report it missing as before.
QString programFilePath(const QString &programDir, const QString &relativePath);
