#include "app/ServerOpenDialog.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace kestrum {

TServerOpenDialog::TServerOpenDialog(const TServerOpenModel &model, QWidget *parent)
    : QDialog(parent), FModel(model)
{
    setWindowTitle(QStringLiteral("打开服务器上的账本"));
    auto *layout = new QVBoxLayout(this);
    auto *form = new QFormLayout;
    layout->addLayout(form);
    HostEdit = new QLineEdit(FModel.Host, this);
    HostEdit->setPlaceholderText(QStringLiteral("本机"));
    PortEdit = new QLineEdit(FModel.Port, this);
    DatabaseEdit = new QLineEdit(FModel.Database, this);
    UserEdit = new QLineEdit(FModel.User, this);
    UserEdit->setPlaceholderText(QStringLiteral("本机的用户名"));
    SslModeCombo = new QComboBox(this);
    SslModeCombo->addItems(TServerOpenModel::SslModes());
    SslModeCombo->setCurrentText(FModel.SslMode);
    PasswordEdit = new QLineEdit(this);
    PasswordEdit->setEchoMode(QLineEdit::Password);
    PasswordEdit->setPlaceholderText(QStringLiteral("可不填"));
    form->addRow(QStringLiteral("服务器(&H):"), HostEdit);
    form->addRow(QStringLiteral("端口(&P):"), PortEdit);
    form->addRow(QStringLiteral("数据库(&D):"), DatabaseEdit);
    form->addRow(QStringLiteral("用户(&U):"), UserEdit);
    form->addRow(QStringLiteral("加密(&S):"), SslModeCombo);
    form->addRow(QStringLiteral("密码(&W):"), PasswordEdit);

    auto *note = new QLabel(TServerOpenModel::PasswordNote(), this);
    note->setWordWrap(true);
    layout->addWidget(note);
    OutcomeLabel = new QLabel(this);
    OutcomeLabel->setWordWrap(true);
    OutcomeLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // Room for a failure's few lines, so that the fields keep their size
    // when one is shown.
    OutcomeLabel->setMinimumHeight(OutcomeLabel->fontMetrics().lineSpacing() * 5);
    OutcomeLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    layout->addWidget(OutcomeLabel);

    auto *buttons = new QDialogButtonBox(this);
    TestButton = buttons->addButton(QStringLiteral("连接"), QDialogButtonBox::ActionRole);
    OpenButton = buttons->addButton(QStringLiteral("打开"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
    OpenButton->setDefault(true);
    layout->addWidget(buttons);
    connect(TestButton, &QPushButton::clicked, this, [this] { test(); });
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        take();
        const QString problem = FModel.Problem();
        if (!problem.isEmpty()) {
            OutcomeLabel->setText(problem);
            return;
        }
        accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    setMinimumWidth(420);
}

const TServerOpenModel &TServerOpenDialog::Model()
{
    take();
    return FModel;
}

void TServerOpenDialog::take()
{
    FModel.Host = HostEdit->text().trimmed();
    FModel.Port = PortEdit->text().trimmed();
    FModel.Database = DatabaseEdit->text().trimmed();
    FModel.User = UserEdit->text().trimmed();
    FModel.SslMode = SslModeCombo->currentText();
    FModel.Password = PasswordEdit->text();
}

void TServerOpenDialog::test()
{
    take();
    OutcomeLabel->setText(QStringLiteral("正在连接……"));
    QApplication::setOverrideCursor(Qt::WaitCursor);
    OutcomeLabel->repaint();
    FModel.Test();
    QApplication::restoreOverrideCursor();
    OutcomeLabel->setText(FModel.OutcomeText());
    adjustSize();
}

QString TServerOpenDialog::Choose(QWidget *parent, const TServerOpenModel &start)
{
    TServerOpenDialog dialog(start, parent);
    if (dialog.exec() != QDialog::Accepted)
        return QString();
    return dialog.Model().ConnectTarget();
}

} // namespace kestrum
