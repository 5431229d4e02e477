#pragma once
// The builder's ".flt" files: opening one into the rows of a builder model,
// saving the rows it holds.
#include "filterdialogs/FilterFile.h"

#include <QString>

namespace kestrum {

class TkvFilterControlModel;

class TkvFilterControlFiles {
public:
    explicit TkvFilterControlFiles(TkvFilterControlModel &model) : FModel(model) {}

    //! Loads a file into the rows; on failure the rows stay as they were.
    TkvFilterFileResult Open(const QString &fileName);
    //! Saves the edited tree; a value that does not fit its item raises
    //! "错误值" before anything is written.
    TkvFilterFileResult Save(const QString &fileName);

private:
    TkvFilterControlModel &FModel;
};

} // namespace kestrum
