#include "filterdialogs/FilterBuilderDialog.h"

#include "ui/ErrorBox.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>

namespace kestrum {

namespace {

constexpr int DialogWidth = 526;
constexpr int DialogHeight = 363;
constexpr int PanelHeight = 38;
constexpr int RightPanelWidth = 248;

//! Where the dialog stood when it last closed, for the rest of the run.
std::optional<QRect> &RememberedGeometry()
{
    static std::optional<QRect> geometry;
    return geometry;
}

QPushButton *MakeButton(QWidget *panel, const char *text, int left, int width)
{
    auto *button = new QPushButton(QString::fromUtf8(text), panel);
    button->setGeometry(left, 8, width, 23);
    button->setAutoDefault(false);
    return button;
}

} // namespace

std::function<QString(TfmFilterControlDialog &, bool)> &TfmFilterControlDialog::FileChooser()
{
    static std::function<QString(TfmFilterControlDialog &, bool)> chooser;
    return chooser;
}

void TfmFilterControlDialog::ForgetPosition()
{
    RememberedGeometry().reset();
}

TfmFilterControlDialog::TfmFilterControlDialog(TkvFilterLink &link, QWidget *parent,
                                               const TkvFilterBuilderOptions &options)
    : QDialog(parent,
              Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      FFileName(QStringLiteral("untitled.flt")), FInitialDirectory(options.InitialDirectory)
{
    setSizeGripEnabled(true);
    setMinimumSize(520, 165);
    resize(DialogWidth, DialogHeight);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    FScrollArea = new QScrollArea(this);
    FScrollArea->setWidgetResizable(true);
    FFilterControl = new TkvFilterControl;
    FFilterControl->Model().SetDisabledOperators(options.DisabledOperators);
    if (options.ControlColor.isValid()) {
        QPalette palette = FFilterControl->palette();
        palette.setColor(QPalette::Base, options.ControlColor);
        FFilterControl->setPalette(palette);
    }
    FFilterControl->SetOnApplyFilter(options.OnApplyFilter);
    FFilterControl->SetLinkComponent(&link);
    FScrollArea->setWidget(FFilterControl);
    layout->addWidget(FScrollArea, 1);

    auto *panel = new QWidget(this);
    panel->setFixedHeight(PanelHeight);
    btOpen = MakeButton(panel, "打开", 6, 74);
    btSave = MakeButton(panel, "另存为", 85, 76);
    auto *right = new QWidget(panel);
    right->setFixedWidth(RightPanelWidth);
    btOk = MakeButton(right, "确定", 7, 74);
    btCancel = MakeButton(right, "退出", 88, 74);
    btApply = MakeButton(right, "应用", 167, 74);
    auto *panelLayout = new QHBoxLayout(panel);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    panelLayout->addStretch(1);
    panelLayout->addWidget(right);
    layout->addWidget(panel);

    connect(btOpen, &QPushButton::clicked, this, [this] { OpenClicked(); });
    connect(btSave, &QPushButton::clicked, this, [this] { SaveClicked(); });
    connect(btApply, &QPushButton::clicked, this, [this] { Apply(); });
    connect(btOk, &QPushButton::clicked, this, [this] {
        if (Apply())
            accept();
    });
    connect(btCancel, &QPushButton::clicked, this, [this] { reject(); });

    if (const std::optional<QRect> &remembered = RememberedGeometry()) {
        setGeometry(*remembered);
    } else if (QScreen *screen = QApplication::primaryScreen()) {
        QRect bounds(QPoint(), QSize(DialogWidth, DialogHeight));
        bounds.moveCenter(screen->availableGeometry().center());
        setGeometry(bounds);
    }
    UpdateCaption();
    FFilterControl->setFocus();
    if (options.OnShow)
        options.OnShow(*this);
}

TfmFilterControlDialog::~TfmFilterControlDialog() = default;

void TfmFilterControlDialog::UpdateCaption()
{
    setWindowTitle(QStringLiteral("%1 - [%2]").arg(QString::fromUtf8("Orvane 搜索器"), FFileName));
}

void TfmFilterControlDialog::done(int result)
{
    if (result == QDialog::Rejected)
        FFilterControl->CancelValueEdit();
    RememberedGeometry() = geometry();
    QDialog::done(result);
}

QString TfmFilterControlDialog::ChooseFile(bool save)
{
    if (FileChooser())
        return FileChooser()(*this, save);
    QFileDialog dialog(this, QString::fromUtf8(save ? "保存当前搜索" : "打开一个搜索"));
    dialog.setNameFilter(QStringLiteral("Filters (*.flt)"));
    dialog.setDefaultSuffix(QStringLiteral("flt"));
    if (save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setOption(QFileDialog::ReadOnly, false);
        if (!FFilePath.isEmpty())
            dialog.setDirectory(QFileInfo(FFilePath).absolutePath());
        else if (!FInitialDirectory.isEmpty())
            dialog.setDirectory(FInitialDirectory);
        dialog.selectFile(FFileName);
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
        if (!FInitialDirectory.isEmpty())
            dialog.setDirectory(FInitialDirectory);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().first();
}

void TfmFilterControlDialog::OpenClicked()
{
    const QString fileName = ChooseFile(false);
    if (!fileName.isEmpty())
        OpenFile(fileName);
}

void TfmFilterControlDialog::SaveClicked()
{
    const QString fileName = ChooseFile(true);
    if (!fileName.isEmpty())
        SaveFile(fileName);
}

bool TfmFilterControlDialog::OpenFile(const QString &fileName)
{
    FFilterControl->CancelValueEdit();
    const TkvFilterFileResult result = FFilterControl->OpenFilterFile(fileName);
    return TakeFileResult(result, fileName);
}

bool TfmFilterControlDialog::TakeFileResult(const TkvFilterFileResult &result, const QString &fileName)
{
    if (!result) {
        ShowErrorBox(this, result.Message);
        return false;
    }
    FFilePath = fileName;
    FFileName = QFileInfo(fileName).fileName();
    UpdateCaption();
    return true;
}

bool TfmFilterControlDialog::SaveFile(const QString &fileName)
{
    TkvFilterFileResult result;
    try {
        result = FFilterControl->SaveFilterFile(fileName);
    } catch (const std::exception &error) {
        result = TkvFilterFileResult::Failure(QString::fromUtf8(error.what()));
    }
    return TakeFileResult(result, fileName);
}

bool TfmFilterControlDialog::Apply()
{
    try {
        FFilterControl->ApplyFilter();
    } catch (const std::exception &error) {
        ShowErrorBox(this, QString::fromUtf8(error.what()));
        return false;
    }
    return true;
}

bool ShowFilterBuilderDialog(TkvFilterLink &link, QWidget *parent, const TkvFilterBuilderOptions &options)
{
    QWidget *owner = parent ? parent->window() : QApplication::activeWindow();
    TfmFilterControlDialog dialog(link, owner, options);
    return dialog.exec() == QDialog::Accepted;
}

} // namespace kestrum
