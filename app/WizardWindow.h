#pragma once
// A window of the wizard: Qt's own dialog, so Enter presses its default button (or the
// auto-default button that has the focus), and Escape and the title bar's close button reject
// it. Rejecting does what the window's Cancel does; a window that should stay after that (the
// user answered no) stays.

#include <QDialog>
#include <QPushButton>

#include <functional>

namespace wizard {

class WizardWindow : public QDialog {
public:
    // What rejecting the window does; without it, Qt's own (the window closes).
    std::function<void()> onReject;
    // The button its description makes the default, which Enter presses each time the window
    // comes up, whichever button the focus was left on (none for the search and progress
    // windows: Enter never stops a running search or revision).
    QPushButton* declaredDefault = nullptr;

    void reject() override {
        if (onReject)
            onReject();
        else
            QDialog::reject();
    }
};

}  // namespace wizard
