#include "Artwork.h"

#include "platform/folders.h"

#include <QEvent>
#include <QLabel>

namespace artwork {
namespace {

constexpr Picture AboutPictures[AboutPictureCount] = {
    {"about-disc.jpg", {97, 74}},
    {"about-title.jpg", {137, 41}},
    {"about-wave.jpg", {137, 65}},
};

constexpr Picture FileTypePictures[FileTypePictureCount] = {
    {"types-mp3.jpg", {153, 54}}, {"types-ogg.jpg", {153, 54}},  {"types-wma.jpg", {153, 54}},
    {"types-wav.jpg", {153, 54}}, {"types-more.jpg", {153, 54}},
};

} // namespace

const Picture& AboutPicture(int k)
{
    return AboutPictures[k];
}

const Picture& FileTypePicture(int k)
{
    return FileTypePictures[k];
}

namespace {

class LoadOnShow : public QObject {
  public:
    LoadOnShow(QLabel* label, const Picture& picture) : QObject(label), picture_(picture)
    {
        label->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show) {
            static_cast<QLabel*>(watched)->setPixmap(Load(picture_));
            watched->removeEventFilter(this);
            deleteLater();
        }
        return false;
    }

  private:
    const Picture& picture_;
};

} // namespace

void LoadWhenShown(QLabel* label, const Picture& picture)
{
    new LoadOnShow(label, picture);
}

QPixmap Load(const Picture& picture)
{
    QPixmap pixmap;
    pixmap.load(QString::fromStdString(platform::ProgramFolder()) + QString::fromLatin1(picture.fileName), "JPEG");
    return pixmap;
}

} // namespace artwork
