#pragma once

// The images of the tree, the record rows and the toolbars, by their number in each image list: the
// desktop theme's icon where it has a fitting one, else our own drawing.

#include <QIcon>

namespace tessa {

enum class ImageList { Tree, Row, Toolbar };

QIcon listImage(ImageList list, int index);

} // namespace tessa
