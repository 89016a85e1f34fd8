#include "folder_files.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace rastview {
namespace {

// Extensions of the formats the engine loads (GIF through its extension
// module; without it the control's error report says so).
const QStringList& readableExtensions() {
  static const QStringList kList = {
      QStringLiteral("bmp"), QStringLiteral("dib"), QStringLiteral("jpg"), QStringLiteral("jpeg"),
      QStringLiteral("jpe"), QStringLiteral("png"), QStringLiteral("pcx"), QStringLiteral("dcx"),
      QStringLiteral("tga"), QStringLiteral("xbm"), QStringLiteral("ras"), QStringLiteral("sun"),
      QStringLiteral("tif"), QStringLiteral("tiff"), QStringLiteral("ico"), QStringLiteral("psd"),
      QStringLiteral("sgi"), QStringLiteral("bw"), QStringLiteral("rgb"), QStringLiteral("rgba"),
      QStringLiteral("gif")};
  return kList;
}

QString nameOf(const QString& path) { return QFileInfo(path).fileName(); }

}  // namespace

bool isViewable(const QString& fileName) {
  return readableExtensions().contains(QFileInfo(fileName).suffix().toLower());
}

// Names equal but for case keep a fixed order, so the list is the same
// however the folder lists them.
bool nameBefore(const QString& a, const QString& b) {
  const int folded = QString::compare(a, b, Qt::CaseInsensitive);
  return folded != 0 ? folded < 0 : QString::compare(a, b, Qt::CaseSensitive) < 0;
}

QStringList viewableFiles(const QString& folder) {
  const QDir dir(folder);
  QStringList names;
  for (const QString& name : dir.entryList(QDir::Files | QDir::Readable))
    if (isViewable(name)) names << name;
  std::sort(names.begin(), names.end(), nameBefore);
  QStringList paths;
  for (const QString& name : names) paths << dir.filePath(name);
  return paths;
}

QString neighbour(const QStringList& files, const QString& current, int step) {
  if (files.isEmpty() || step == 0) return {};
  const QString name = nameOf(current);
  const auto before = [](const QString& path, const QString& n) { return nameBefore(nameOf(path), n); };
  const auto at = std::lower_bound(files.begin(), files.end(), name, before);
  const auto size = files.size();
  auto index = at - files.begin();
  const bool listed = at != files.end() && nameOf(*at) == name;
  if (listed) {
    if (size == 1) return {};
    index += step > 0 ? 1 : -1;
  } else if (step < 0) {
    index -= 1;  // the last name before the missing one
  }
  index = ((index % size) + size) % size;
  return files.at(index);
}

}  // namespace rastview
