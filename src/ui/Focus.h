#pragma once
// Where the keyboard goes when a container (a page, a group box) is asked to
// take it.
class QWidget;

namespace kestrum {

//! The first widget inside container, in tab order, that takes the focus by
//! Tab and is enabled and shown; none when there is no such widget.
QWidget *FirstFocusableChild(QWidget *container);

} // namespace kestrum
