// The application's last line of defence: exceptions that leave event
// handlers, delivered directly or through the event loop, end in the error
// box and the program goes on. Its own executable, since it needs the
// guarded application object in place of the tests' plain one.
#include "ui/GuardedApplication.h"
#include "ui/MessageBox.h"

#include <QKeyEvent>
#include <QWidget>
#include <gtest/gtest.h>

#include <stdexcept>

namespace kestrum {
namespace {

//! Fails on a key press with Escape (a plain exception on F1), takes other keys.
class FailingWidget : public QWidget {
public:
    QList<int> Keys;

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        if (event->key() == Qt::Key_Escape)
            throw std::runtime_error("Another program changed or deleted this record");
        if (event->key() == Qt::Key_F1)
            throw 42;
        Keys << event->key();
    }
    void customEvent(QEvent *) override { throw std::runtime_error("posted step failed."); }
};

struct BoxWatch {
    QStringList Boxes;
    TMessageBoxHook Previous;
    BoxWatch()
    {
        Previous = SetMessageBoxHook([this](const TMessageBoxRequest &request) {
            Boxes << QString("%1|%2|%3")
                         .arg(request.Icon == miStop ? "stop" : "other", request.Text,
                              request.Buttons.join(','));
            return 0;
        });
    }
    ~BoxWatch() { SetMessageBoxHook(Previous); }
};

TEST(GuardedApplication, ExceptionLeavingAHandlerEndsInTheErrorBoxAndTheProgramGoesOn)
{
    int argc = 1;
    char name[] = "tests_ui_guard";
    char *argv[] = {name, nullptr};
    TGuardedApplication application(argc, argv);
    BoxWatch watch;
    FailingWidget widget;
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    EXPECT_FALSE(QCoreApplication::sendEvent(&widget, &escape));
    ASSERT_EQ(watch.Boxes.size(), 1);
    EXPECT_EQ(watch.Boxes[0].toStdString(), "stop|Another program changed or deleted this record.|OK");

    // The same widget takes the next key as usual.
    QKeyEvent key(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier);
    QCoreApplication::sendEvent(&widget, &key);
    EXPECT_EQ(widget.Keys, QList<int>{Qt::Key_A});

    // Through the event loop, and with a message that already ends in a full stop.
    QCoreApplication::postEvent(&widget, new QEvent(QEvent::User));
    QCoreApplication::processEvents();
    ASSERT_EQ(watch.Boxes.size(), 2);
    EXPECT_EQ(watch.Boxes[1].toStdString(), "stop|posted step failed.|OK");

    // Something that is no standard exception still gets a box.
    QKeyEvent f1(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier);
    QCoreApplication::sendEvent(&widget, &f1);
    ASSERT_EQ(watch.Boxes.size(), 3);
    EXPECT_EQ(watch.Boxes[2].toStdString(), "stop|Unknown error.|OK");
}

} // namespace
} // namespace kestrum
