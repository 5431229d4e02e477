#include "app/AboutBox.h"

#include "app/AboutPictures.h"
#include "app/Maker.h"
#include "ui/Fonts.h"
#include "ui/MessageBox.h"
#include "ui/Shell.h"

#include <QLabel>
#include <QPushButton>

namespace kestrum {

TForm2::TForm2(TShell *shell, QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint), FShell(shell)
{
    setWindowTitle(QString::fromUtf8("关于Mirelo"));
    setFont(DesignFont(SongTiFamily(), 12));
    setGeometry(271, 286, 378, 172);

    Image1 = new QLabel(this);
    Image1->setGeometry(8, 8, 81, 129);
    Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Image1->setPixmap(HomePicture());
    Image2 = new QLabel(this);
    Image2->setGeometry(88, 8, 81, 129);
    Image2->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Image2->setPixmap(LedgerPicture());

    PqLabel2 = new QLabel(QStringLiteral("Kestrum"), this);
    PqLabel2->setFont(DesignFont(MsSansSerifFamily(), 11, true));
    PqLabel2->move(168, 16);
    PqLabel2->adjustSize();
    PqLabel1 = new QLabel(QString::fromUtf8("构筑和谐家庭!"), this);
    PqLabel1->move(168, 48);
    PqLabel1->adjustSize();
    // Name and address on two lines: on one they are wider than the box.
    PqLabel3 =
        new QLabel(QString::fromUtf8("开发: ") + TMaker::Name() + QLatin1Char('\n') + TMaker::Domain(), this);
    PqLabel3->move(168, 80);
    PqLabel3->adjustSize();

    mwButton1 = new QPushButton(QString::fromUtf8("访问我们"), this);
    mwButton1->setFlat(true);
    mwButton1->setCursor(Qt::PointingHandCursor);
    mwButton1->move(272, 112);
    mwButton1->adjustSize();
    connect(mwButton1, &QPushButton::clicked, this, [this] { mwButton1Click(); });
}

void TForm2::ShowAndRaise()
{
    show();
    raise();
    activateWindow();
}

void TForm2::mwButton1Click()
{
    if (ShellCallFailed(FShell->ShellExecute(QStringLiteral("open"), TMaker::MainPage())))
        ShowMessage(this, QString::fromUtf8("浏览器无法定位。"));
}

} // namespace kestrum
