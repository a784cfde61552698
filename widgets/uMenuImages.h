// ImageList1: the images of the command menu, drawn in code so that they
// stay sharp at any size. Images 0, 3, 4, 8, 9, 10, 11, 12, 13 and 14 appear
// in the menu; the rest complete the list so that every index holds an image.
#pragma once

#include <QIcon>

namespace kadrel {

inline constexpr int kMenuImageCount = 15;

// The image at `index`, or a null icon when the index is outside the list.
QIcon KadrelMenuImage(int index);

}  // namespace kadrel
