#pragma once

#include <QIcon>
#include <QPixmap>

namespace corvane::Artwork {

// The program icon at every size it is drawn in; every window of the program carries it.
QIcon programIcon();
// The picture of the start and about windows.
QPixmap splashPicture();

} // namespace corvane::Artwork
