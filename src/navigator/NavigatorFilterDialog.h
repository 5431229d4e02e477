#pragma once
// What the navigator's Filter button asks of a filter builder. The navigator
// holds no builder of its own: the module that has one (the filter dialogs)
// installs it, so that the navigator does not stand on the editors.
#include <QByteArray>
#include <QString>

#include <functional>

class QWidget;

namespace kestrum {

class TDbQuery;

//! What the filter builder is opened with, and what it answers.
struct TkvNavigatorFilterRequest {
    TDbQuery *DataSet = nullptr;
    //! The criteria of the builder's last run; the builder loads and replaces it.
    QByteArray *Criteria = nullptr;
    //! Whether "between", "in" and "like" may be offered (only when the
    //! caller applies the filter itself through OnApplyFilter).
    bool ExtendedOperators = false;
    //! Set by the builder when the user applies: the record-set filter text.
    QString FilterText;
    //! Applies a filter text at once (each Apply and OK of the builder).
    std::function<void(const QString &filterText)> Apply;
    //! Whether Apply ran at least once.
    bool Applied = false;
};

//! Runs the builder modally; answers true when the user applied a filter.
using TkvNavigatorFilterDialog = std::function<bool(QWidget *parent, TkvNavigatorFilterRequest &request)>;

} // namespace kestrum
