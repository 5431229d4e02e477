#pragma once
// The custom filter dialog: a column filtered by one condition, or by two
// joined by and or or. The widgets only show TkvFilterDialogModel, which
// holds the rules; the value editors come from the column's filter edit
// helper.
#include "data/ValueTypes.h"
#include "filter/FilterCriteriaItems.h"
#include "filterdialogs/FilterDialogModel.h"
#include "filterdialogs/FilterEditHelper.h"

#include <QDialog>

#include <functional>
#include <memory>

class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace kestrum {

class TkvCustomEdit;
class TkvCustomEditProperties;
class TkvFilterCriteria;
class TkvFilterLink;

class TkvFilterDialog : public QDialog {
public:
    //! helper: the filter edit helper of the column's editor properties.
    TkvFilterDialog(TkvFilterCriteria &criteria, TkvFilterItemLink itemLink,
                    const TkvCustomFilterEditHelper &helper, const TkvCustomEditProperties &properties,
                    TkvValueTypeClass valueType, const QString &columnCaption, QWidget *parent = nullptr);
    ~TkvFilterDialog() override;

    TkvFilterDialogModel &Model() { return FModel; }

    //! Places the dialog in the middle of its screen.
    void CentreOnScreen();
    //! OK: posts, checks and applies; errors show in the error box and keep
    //! the dialog open. True when the dialog closed.
    bool ExecuteOK();

    QLabel *lblTitle;
    QLabel *lblColumnCaption;
    QWidget *bvlLine;
    QComboBox *cbOperator1;
    QLabel *lblEdit1PlaceHolder;
    TkvCustomEdit *Edit1 = nullptr;
    QRadioButton *rbAnd;
    QRadioButton *rbOr;
    QComboBox *cbOperator2;
    QLabel *lblEdit2PlaceHolder;
    TkvCustomEdit *Edit2 = nullptr;
    QLabel *lblSingle;
    QLabel *lblSeries;
    QPushButton *btnOK;
    QPushButton *btnCancel;

private:
    void CreateControls();
    TkvCustomEdit *CreateValueEdit(QLabel *placeHolder);
    void ShowModel();

    const TkvCustomFilterEditHelper &FHelper;
    const TkvCustomEditProperties &FProperties;
    TkvFilterDialogModel FModel;
    std::unique_ptr<TkvFilterHelperValueEditor> FValueEditors[2];
    bool FShowingModel = false;
};

//! Opens the dialog for one column, modally. True when the user pressed OK
//! and the column's conditions were replaced. No dialog and false when no
//! filter edit helper is registered for the column's editor kind, or when the
//! criteria knows no such column.
//! applying runs inside the criteria's update after the new conditions were
//! written (the grid switches the filter on there, so the rows refresh once).
bool ShowCustomFilterDialog(TkvFilterCriteria &criteria, TkvFilterItemLink itemLink,
                            const TkvCustomEditProperties &properties, TkvValueTypeClass valueType,
                            const QString &columnCaption, QWidget *parent = nullptr,
                            const std::function<void()> &applying = {});
//! The same for an item of a filter link.
bool ShowCustomFilterDialog(TkvFilterLink &link, int itemIndex, QWidget *parent = nullptr,
                            const std::function<void()> &applying = {});

//! The window a modal filter dialog belongs to: none while a window that
//! stays on top is open, otherwise the active window.
QWidget *FilterDialogOwnerWindow();

} // namespace kestrum
