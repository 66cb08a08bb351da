#pragma once

#include <QtWidgets/QApplication>
#include <QtWidgets/QWidget>
#include <functional>

// Modal dialogs answered from a test: the action runs once the dialog is up,
// inside the dialog's own event loop.
//   OnNextModal([](QWidget* d) { static_cast<QDialog*>(d)->accept(); });
//   window.tbAddClick();   // opens the dialog; returns after the action closed it
//   WithDialog<TfrmNewVolume>([&] { w.tbAddClick(); }, [&](TfrmNewVolume& d) { d.accept(); });

// Acts on the next modal window other than `except` once it is up (polled every 5 ms).
void OnNextModal(std::function<void(QWidget*)> act, QWidget* except = nullptr);

// Drops actions still waiting for a modal window, for a command that opened none.
void CancelPendingModalActions();

// Runs `command`, which opens a modal dialog of type D that `fill` answers.
// False when the command opened no modal window of that type.
template <class D>
bool WithDialog(const std::function<void()>& command, const std::function<void(D&)>& fill) {
    bool seen = false;
    OnNextModal([&](QWidget* w) {
        if (auto* d = qobject_cast<D*>(w)) {
            seen = true;
            fill(*d);
        }
    });
    command();
    CancelPendingModalActions();
    return seen;
}
