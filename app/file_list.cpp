#include "file_list.h"

#include <QDir>

namespace kavelo {

FileList::FileList(QWidget* parent) : QListWidget(parent) {
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setUniformItemSizes(true);
}

void FileList::setPath(const QString& folder) {
  path_ = folder;
  reload();
}

void FileList::setPattern(const QString& pattern) {
  pattern_ = pattern;
  reload();
}

QStringList FileList::selectedEntries() const {
  QStringList names;
  for (int i = 0; i < count(); ++i) {
    if (item(i)->isSelected()) names << item(i)->text();
  }
  return names;
}

void FileList::reload() {
  clear();
  if (path_.isEmpty()) return;
  QDir dir(path_);
  dir.setNameFilters(QStringList{pattern_});
  // Without QDir::CaseSensitive the pattern matches in any case; hidden
  // files stay out, as they do in a file manager.
  dir.setFilter(QDir::Files);
  dir.setSorting(QDir::Name | QDir::IgnoreCase);
  addItems(dir.entryList());
}

}  // namespace kavelo
