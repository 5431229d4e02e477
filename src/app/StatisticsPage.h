#pragma once
// The statistics page: income, expense and surplus over all time, one month of
// a year, or one year, summed straight from the database through the
// statistics record set. The value labels are the only store of the totals.
#include <QString>
#include <QWidget>

#include <utility>
#include <vector>

class QComboBox;
class QLabel;
class QPushButton;

namespace kestrum {

class TDbQuery;
class TPqGroupBox;

class TStatisticsPage : public QWidget {
    Q_OBJECT
public:
    //! query: the statistics record set (ADOQuery3); it may be closed and stays
    //! open on the last statement after each press.
    TStatisticsPage(TDbQuery *query, QWidget *parent = nullptr);

    // All time
    TPqGroupBox *PqGroupBox6;
    QPushButton *Button3;
    QLabel *Label9, *l1, *Label10, *l2, *Label11, *l3;
    // One month
    TPqGroupBox *PqGroupBox7;
    QLabel *Label12, *Label13, *Label14;
    QComboBox *ComboBox1, *ComboBox2;
    QPushButton *Button1;
    QLabel *Label15, *m1, *Label16, *m2, *Label17, *m3;
    // One year
    TPqGroupBox *PqGroupBox5;
    QLabel *Label18, *Label19, *Label20;
    QComboBox *ComboBox3;
    QPushButton *Button2;
    QLabel *Label21, *y1, *Label22, *y2, *Label23, *y3;

    // The buttons' handlers; an error ends the handler at its step and is shown
    // in the error box, leaving labels not yet reached unchanged.
    void Button3Click();
    void Button1Click();
    void Button2Click();

private:
    using TParameterSource = std::pair<QString, QComboBox *>;
    void runSum(const QString &statement, const std::vector<TParameterSource> &parameters,
                const QString &resultField, QLabel *label);
    void runPair(const QString &incomeStatement, const QString &expenseStatement,
                 const std::vector<TParameterSource> &incomeParameters,
                 const std::vector<TParameterSource> &expenseParameters, QLabel *income, QLabel *expense,
                 QLabel *surplus);

    TDbQuery *FQuery;
};

} // namespace kestrum
