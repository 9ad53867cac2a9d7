#pragma once
#include <QIcon>
#include <QPixmap>

namespace orv::ui {

// The main window's picture lists, by the indexes the menus, buttons and tree
// refer to. Unused indexes give a null icon. Pictures: Tango icon theme
// (public domain), see resources/icons/COPYING-tango.txt.
QIcon toolbarIcon(int index);  // ImageList2: toolbar, menus, side buttons
QIcon treeIcon(int index);     // the tree's image list
QPixmap statusBarPicture(int index); // sbImageList, 16 x 16

} // namespace orv::ui
