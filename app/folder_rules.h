// How the converter names things on disk: the folder of the listed files,
// the full path of each entry, and the JPEG path beside it.
#pragma once

#include <QString>

namespace kavelo {

// The folder of the file list without a trailing separator. The root gives
// the empty string, so that joining an entry to it with one separator
// yields "/a.bmp", never "//a.bmp".
QString folderPathFromListPath(const QString& listPath);

// `folderPath` & "/" & `entry`.
QString sourcePathFor(const QString& folderPath, const QString& entry);

// The source path with its four-character extension ".bmp" (any case)
// replaced by ".jpg", always lower case. A path without that extension
// gains ".jpg", so that the output can never be the source itself.
QString outputPathFor(const QString& sourcePath);

}  // namespace kavelo
