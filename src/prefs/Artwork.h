// The pictures of the about box and of the "File Types" page: JPEG files in
// the program folder, drawn by the build (see ArtworkGenerator.cpp).
#pragma once

#include <QPixmap>

class QLabel;
#include <QSize>
#include <QString>

namespace artwork {

struct Picture {
    const char* fileName;
    QSize size;
};

// The about box's three pictures, in the order of their places.
constexpr int AboutPictureCount = 3;
const Picture& AboutPicture(int k);

// The five pictures of the "File Types" page.
constexpr int FileTypePictureCount = 5;
const Picture& FileTypePicture(int k);

// The picture from the program folder; an empty pixmap when it is missing or damaged.
QPixmap Load(const Picture& picture);

// Puts the picture into the label when the label is first shown: the windows
// are made at start-up but seldom opened, and decoding their pictures would
// slow every start.
void LoadWhenShown(QLabel* label, const Picture& picture);

} // namespace artwork
