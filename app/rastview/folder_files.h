// The files of a folder that the viewer steps through with next and
// previous: those whose extension names a format the engine reads, in name
// order (case ignored, so "PHOTO.BMP" sits among the lower-case names).
#pragma once

#include <QString>
#include <QStringList>

namespace rastview {

bool isViewable(const QString& fileName);
// Less-than of the order the viewer steps in, for file names without folder.
bool nameBefore(const QString& a, const QString& b);
// Full paths of the viewable files in `folder`, in name order.
QStringList viewableFiles(const QString& folder);
// The file `step` places (+1 or -1) from `current` in `files` (full paths
// in name order), wrapping round at either end. A current file that is not
// in the list counts from where its name would stand. Empty when there is
// no other file to go to.
QString neighbour(const QStringList& files, const QString& current, int step);

}  // namespace rastview
