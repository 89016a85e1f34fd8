#include "folder_list.h"

#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QStyle>

namespace kavelo {

namespace {
constexpr int kPathRole = Qt::UserRole;
}

FolderList::FolderList(QWidget* parent) : QTreeWidget(parent) {
  setHeaderHidden(true);
  setColumnCount(1);
  setRootIsDecorated(false);
  setItemsExpandable(false);
  setIndentation(8);
  setUniformRowHeights(true);
  // Every level is always open: no arrows that promise otherwise.
  setStyleSheet(QStringLiteral("QTreeView::branch { image: none; border-image: none; }"));
  connect(this, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item, int) {
    if (!item) return;
    const QString target = item->data(0, kPathRole).toString();
    // Later, not now: opening a folder deletes the items, and the view is
    // still delivering the activation of one of them.
    QMetaObject::invokeMethod(
        this,
        [this, target] {
          // A folder that vanished since it was listed: show what is there now.
          if (!setPath(target)) rebuild();
        },
        Qt::QueuedConnection);
  });
}

bool FolderList::setPath(const QString& folder) {
  const QString clean = QDir::cleanPath(QDir(folder).absolutePath());
  const QFileInfo info(clean);
  if (!info.isDir() || !info.isExecutable() || !QDir(clean).isReadable()) return false;
  const bool changed = clean != path_;
  path_ = clean;
  rebuild();
  if (changed) emit pathChanged(path_);
  return true;
}

void FolderList::rebuild() {
  clear();
  if (path_.isEmpty()) return;
  const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
  const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);

  auto* root = new QTreeWidgetItem(this, QStringList{QStringLiteral("/")});
  root->setIcon(0, open);
  root->setData(0, kPathRole, QStringLiteral("/"));
  QTreeWidgetItem* current = root;
  QString walked;
  for (const QString& part : path_.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
    walked += QLatin1Char('/') + part;
    auto* item = new QTreeWidgetItem(current, QStringList{part});
    item->setIcon(0, open);
    item->setData(0, kPathRole, walked);
    current = item;
  }

  const QDir dir(path_);
  const QStringList subs =
      dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
  for (const QString& name : subs) {
    auto* item = new QTreeWidgetItem(current, QStringList{name});
    item->setIcon(0, closed);
    item->setData(0, kPathRole, dir.filePath(name));
  }
  expandAll();
  setCurrentItem(current);
  scrollToItem(current);
}

}  // namespace kavelo
