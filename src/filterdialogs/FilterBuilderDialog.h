#pragma once
// The filter builder dialog: the builder control over a link's items, with
// Open and Save of ".flt" files, Apply, OK and Cancel.
#include "filterdialogs/FilterControl.h"

#include <QColor>
#include <QDialog>

#include <functional>

class QPushButton;
class QScrollArea;

namespace kestrum {

class TfmFilterControlDialog;

struct TkvFilterBuilderOptions {
    //! The control's background; an invalid colour keeps the default.
    QColor ControlColor;
    //! Where the open dialog starts.
    QString InitialDirectory;
    //! Runs once the dialog is built, before it shows.
    std::function<void(TfmFilterControlDialog &dialog)> OnShow;
    //! Runs after each apply copied the tree into the link's criteria (the
    //! grid switches its filter on here).
    std::function<void()> OnApplyFilter;
    //! Operators the builder must not offer.
    TkvFilterDialogOperators DisabledOperators;
};

//! Runs the builder modally over the link's items and criteria; true when it
//! closed with OK (the tree is then in the link's criteria). Raises
//! EkvFilterControlError when the link's criteria names an item the link
//! does not have.
bool ShowFilterBuilderDialog(TkvFilterLink &link, QWidget *parent,
                             const TkvFilterBuilderOptions &options = {});

class TfmFilterControlDialog : public QDialog {
public:
    TfmFilterControlDialog(TkvFilterLink &link, QWidget *parent, const TkvFilterBuilderOptions &options = {});
    ~TfmFilterControlDialog() override;

    TkvFilterControl &FilterControl() { return *FFilterControl; }
    QPushButton *btOpen = nullptr;
    QPushButton *btSave = nullptr;
    QPushButton *btOk = nullptr;
    QPushButton *btCancel = nullptr;
    QPushButton *btApply = nullptr;

    //! The file shown in the caption ("untitled.flt" until one is opened or saved).
    const QString &FileName() const { return FFileName; }
    //! Loads a file into the control; a failure shows one message and changes nothing.
    bool OpenFile(const QString &fileName);
    //! Saves the control's tree; a failure shows one message and writes nothing.
    bool SaveFile(const QString &fileName);
    //! ApplyFilter, with a failure shown; false when it failed.
    bool Apply();

    //! Asks for a file to open or save (the platform's file dialogs); tests
    //! replace it. An empty answer cancels.
    static std::function<QString(TfmFilterControlDialog &dialog, bool save)> &FileChooser();
    //! Forgets the position remembered from the last run (tests).
    static void ForgetPosition();

protected:
    void done(int result) override;

private:
    void OpenClicked();
    void SaveClicked();
    void UpdateCaption();
    //! After an open or a save: a failure is shown, a success makes fileName
    //! the dialog's file. Answers whether it succeeded.
    bool TakeFileResult(const TkvFilterFileResult &result, const QString &fileName);
    QString ChooseFile(bool save);

    TkvFilterControl *FFilterControl = nullptr;
    QScrollArea *FScrollArea = nullptr;
    QString FFileName;
    QString FFilePath;
    QString FInitialDirectory;
};

} // namespace kestrum
