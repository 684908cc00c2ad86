#include "AboutBox.h"

#include "Artwork.h"
#include "Documentation.h"

#include "controls/UrlLabel.h"
#include "controls/WindowMover.h"

namespace {

// The titles use the wider face, the small texts the narrower one.
QFont aboutFont(int pixels, bool bold)
{
    QFont font(pixels > 11 ? QStringLiteral("DejaVu Sans") : QStringLiteral("Liberation Sans"));
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, QPoint at, const QFont& font)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setFont(font);
    label->move(at);
    label->adjustSize();
    return label;
}

const QPoint PicturePlaces[artwork::AboutPictureCount] = {{208, 48}, {176, 8}, {176, 128}};

} // namespace

const QStringList& TForm2::NotesLines()
{
    static const QStringList lines = {
        QStringLiteral("Written by the Korvane team."), QStringLiteral("Plays Ogg,Mp3's,Wma 8-9"),
        QStringLiteral("by default other types "),      QStringLiteral("require plugins."),
        QStringLiteral("Check the documentation"),      QStringLiteral("for more details."),
        QStringLiteral("Imagination The Only Limit.."), QStringLiteral("Lets Get Audio ADDICTED"),
        QStringLiteral("for the fun of coding..."),     QStringLiteral("hope you got that,ciao"),
        QStringLiteral("Built with Qt for Linux."),
    };
    return lines;
}

TForm2::TForm2(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Orvella"));
    setFixedSize(333, 268);

    makerLabel = makeLabel(this, "makerLabel", QStringLiteral("KORVANE"), {8, 8}, aboutFont(24, true));
    productLabel = makeLabel(this, "productLabel", QStringLiteral("Orvella Beta V 0.83"), {8, 40}, aboutFont(13, true));
    buildLabel = makeLabel(this, "buildLabel", QStringLiteral("Linux Edition"), {8, 56}, aboutFont(13, true));

    for (int k = 0; k < artwork::AboutPictureCount; ++k) {
        const artwork::Picture& art = artwork::AboutPicture(k);
        auto* picture = new QLabel(this);
        picture->setObjectName(QStringLiteral("Image%1").arg(k + 1));
        picture->setGeometry(QRect(PicturePlaces[k], art.size));
        artwork::LoadWhenShown(picture, art);
        Pictures << picture;
    }

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(8, 72, 145, 188);
    Memo1->setReadOnly(true);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setFrameShape(QFrame::NoFrame);
    Memo1->setFont(aboutFont(11, false));
    Memo1->setPlainText(NotesLines().join(QLatin1Char('\n')));
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setBackgroundVisible(false);
    QPalette flat = Memo1->palette();
    flat.setColor(QPalette::Base, palette().color(QPalette::Window));
    Memo1->setPalette(flat);

    const QFont small = aboutFont(11, false);
    thanksLabel = makeLabel(this, "thanksLabel", QStringLiteral("Thanks to all our testers,"), {160, 200}, small);
    keepLabel = makeLabel(this, "keepLabel", QStringLiteral("keep doing the great work guys"), {160, 216}, small);
    authorLabel = makeLabel(this, "authorLabel", QStringLiteral("Korvane, 2002-2003"), {160, 232}, small);

    UrlLabel1 = new TUrlLabel(this);
    UrlLabel1->setObjectName(QStringLiteral("UrlLabel1"));
    UrlLabel1->setText(QStringLiteral("Online Orvella Documentation"));
    UrlLabel1->setHoverCaption(QStringLiteral("Online Orvella Documentation"));
    QFont bold = aboutFont(11, true);
    UrlLabel1->setFont(bold);
    bold.setUnderline(true);
    UrlLabel1->setHoverFont(bold);
    UrlLabel1->setUrl(DocumentationUrl());
    UrlLabel1->setGeometry(154, 248, 177, 17);

    mover_ = new WindowMover(this);
}
