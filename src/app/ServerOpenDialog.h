#pragma once
// The "服务器..." dialog: host, port, database, user, encryption and an
// optional password for a ledger on a PostgreSQL server. "连接" tries the
// connection and shows what came out; "打开" opens the ledger. The logic is
// TServerOpenModel's; the widgets only pass the fields on.
#include "app/ServerOpenModel.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kestrum {

class TServerOpenDialog : public QDialog {
    Q_OBJECT
public:
    explicit TServerOpenDialog(const TServerOpenModel &model, QWidget *parent = nullptr);

    //! The fields as typed.
    const TServerOpenModel &Model();

    QLineEdit *HostEdit;
    QLineEdit *PortEdit;
    QLineEdit *DatabaseEdit;
    QLineEdit *UserEdit;
    QComboBox *SslModeCombo;
    QLineEdit *PasswordEdit;
    QLabel *OutcomeLabel;
    QPushButton *TestButton; //!< "连接"
    QPushButton *OpenButton; //!< "打开"

    //! Asks for a server ledger; its libpq address (with a typed password,
    //! for this connection only), or "" when cancelled.
    static QString Choose(QWidget *parent, const TServerOpenModel &start);

private:
    void take();
    void test();

    TServerOpenModel FModel;
};

} // namespace kestrum
