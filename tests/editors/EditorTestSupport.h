#pragma once
// A ledger file with a few income rows, a query and a data source over it,
// and helpers that type into an editor the way the keyboard does.
#include "support/DbTestSupport.h"
#include "editors/CustomEdit.h"
#include "ui/MessageBox.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QTest>

#include <string>
#include <vector>

namespace kestrum::test {

class BoundEditorFixture : public LedgerFixture {
protected:
    void SetUp() override
    {
        LedgerFixture::SetUp();
        AddGain(120.5, "2006-07-01", "工资", "七月");
        AddGain(30, "2006-07-15", "利息", nullptr);
        FQuery = OpenQuery(QStringLiteral("select * from gain"));
        FSource.SetDataSet(FQuery.get());
        TkvCustomEdit::SetExceptionHandler(
            [this](const std::exception &error) { FErrors.push_back(error.what()); });
    }

    void TearDown() override { TkvCustomEdit::SetExceptionHandler(nullptr); }

    //! Types text into the editor's inner control, key by key (characters
    //! beyond ASCII arrive as an input method delivers them: text without a key).
    static void Type(TkvCustomEdit &edit, const QString &text)
    {
        for (QChar ch : text) {
            if (ch.unicode() < 128) {
                QTest::keyClick(edit.InnerWidget(), ch.toLatin1());
            } else {
                QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(ch));
                QCoreApplication::sendEvent(edit.InnerWidget(), &press);
            }
        }
    }
    static void Press(TkvCustomEdit &edit, Qt::Key key, Qt::KeyboardModifiers shift = Qt::NoModifier)
    {
        QTest::keyClick(edit.InnerWidget(), key, shift);
    }
    //! Runs the key-down chain alone; answers whether the key was consumed.
    static bool Consumed(TkvCustomEdit &edit, int key, Qt::KeyboardModifiers shift = Qt::NoModifier)
    {
        edit.KeyDown(key, shift);
        return key == 0;
    }

    TDbField &Field(const char *name) { return *FQuery->FieldByName(QString::fromUtf8(name)); }
    std::string StoredItem(int id)
    {
        return RawValue(FPath, "SELECT 进帐人 FROM gain WHERE id = " + std::to_string(id));
    }

    std::unique_ptr<TDbQuery> FQuery;
    TDbDataSource FSource;
    std::vector<std::string> FErrors;
};

} // namespace kestrum::test
