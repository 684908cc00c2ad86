// TForm2: the about box, shown modally. Names the product and its version
// and links to the documentation.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QList>
#include <QPlainTextEdit>

class TUrlLabel;
class WindowMover;

class TForm2 : public QDialog {
    Q_OBJECT
  public:
    explicit TForm2(QWidget* parent = nullptr);

    QLabel *makerLabel, *productLabel, *buildLabel;
    QList<QLabel*> Pictures;
    QPlainTextEdit* Memo1;
    QLabel *thanksLabel, *keepLabel, *authorLabel;
    TUrlLabel* UrlLabel1;

    static const QStringList& NotesLines();

  private:
    WindowMover* mover_;
};
