// An application's icon as the desktop's icon theme takes it: one PNG file
// for each square size the icon file holds, in the sizes the "hicolor"
// theme has folders for.
#ifndef HICOLORICONS_H
#define HICOLORICONS_H

#include <map>
#include <string>

#include "Bytes.h"

// PNG files by size (16 for 16x16) of a .png or .ico file; bitmaps of an
// .ico are converted. Throws PackError naming `what` when the file is
// neither, or holds no size the theme has.
std::map<unsigned, Bytes> hicolorIcons(const Bytes& file, const std::string& what);

#endif // HICOLORICONS_H
