#pragma once
// The about box: product name, two pictures, the motto, the maker, and a button
// that opens the maker's web page. Shown without being modal; closing hides it.
#include <QWidget>

class QLabel;
class QPushButton;

namespace kestrum {

class TShell;

class TForm2 : public QWidget {
    Q_OBJECT
public:
    //! shell: used by the visit button; not owned.
    explicit TForm2(TShell *shell, QWidget *parent = nullptr);

    QLabel *Image1;
    QLabel *Image2;
    QLabel *PqLabel2; //!< the product name
    QLabel *PqLabel1; //!< the motto
    QLabel *PqLabel3; //!< the developer line
    QPushButton *mwButton1;

    //! Shows the box, or brings it to the front when it is already shown.
    void ShowAndRaise();
    void mwButton1Click();

private:
    TShell *FShell;
};

} // namespace kestrum
