#pragma once
// Editors as screen readers see them. An editor is named by its label: its
// accessible name when one is set, else the label whose buddy it is, else
// the label written on its line just left of it, as on the entry panel
// ("本次金额:" before the amount). The editor tells its text as its value,
// amounts also as numbers, and says whether it is read-only and whether its
// drop-down is open; the native control inside it, which holds the keyboard
// focus, carries the same name and offers its text, caret and selection.
#include <QAccessibleWidget>

class QWidget;

namespace kestrum {

class TkvCustomEdit;

//! The label text an editor is read with, without accelerator marks or a final colon; empty when none.
QString EditorLabelText(const TkvCustomEdit &editor);

class TkvEditAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit TkvEditAccessible(TkvCustomEdit *editor);

    TkvCustomEdit *Editor() const;
    void *interface_cast(QAccessible::InterfaceType type) override;
    QString text(QAccessible::Text kind) const override;
    QAccessible::State state() const override;
    QStringList actionNames() const override;
    void doAction(const QString &name) override;

    // QAccessibleValueInterface: the amount of a calculator or currency edit.
    QVariant currentValue() const override;
    void setCurrentValue(const QVariant &value) override;
    QVariant maximumValue() const override { return {}; }
    QVariant minimumValue() const override { return {}; }
    QVariant minimumStepSize() const override { return {}; }

private:
    bool HasNumericValue() const;
};

//! Registers the editors' accessible interfaces (once; later calls do nothing).
void InstallEditAccessibility();

} // namespace kestrum
