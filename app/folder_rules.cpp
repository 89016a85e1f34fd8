#include "folder_rules.h"

namespace kavelo {

QString folderPathFromListPath(const QString& listPath) {
  QString folder = listPath;
  while (folder.endsWith(QLatin1Char('/'))) folder.chop(1);
  return folder;
}

QString sourcePathFor(const QString& folderPath, const QString& entry) {
  return folderPath + QLatin1Char('/') + entry;
}

QString outputPathFor(const QString& sourcePath) {
  QString output = sourcePath;
  if (output.endsWith(QLatin1String(".bmp"), Qt::CaseInsensitive)) output.chop(4);
  return output + QLatin1String(".jpg");
}

}  // namespace kavelo
