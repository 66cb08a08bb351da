#pragma once

#include <QtGui/QKeySequence>
#include <QtGui/QShortcut>
#include <QtWidgets/QDialog>
#include <exception>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>

class ISettingsStore;
class IUiQuestions;
class QBoxLayout;
class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class QVBoxLayout;
class QToolButton;
class QWidget;

// Text between the core (UTF-8 std::string) and Qt.
inline QString Qs(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}
inline std::string Ss(const QString& s) {
    return s.toUtf8().toStdString();
}

// Display text of a message key, formatted with one argument.
QString DlgMessage(std::string_view key, std::string_view arg = {});
// The display text of an error as the program shows it (message keys translated).
QString DlgErrorText(const std::exception& e);
// Shows an error in a message box over parent.
void DlgShowError(QWidget* parent, const std::exception& e);

// Controls carry their programming names as object names (the translation finds them so).
QLabel* DlgLabel(QWidget* parent, const char* name, const char* text, QWidget* buddy);
// A field and its label in a grid laid over a widget: the label at (row, column),
// the field at its right.
void DlgGridField(QGridLayout* grid, int row, int column, const char* name, const char* text,
                  QWidget* field);
// A line edit, and a drop-down of free text whose typing adds no item.
QLineEdit* DlgEdit(QWidget* parent, const char* name);
QComboBox* DlgTextCombo(QWidget* parent, const char* name);
// The drop-down of size units, "cbK": Bytes, KB and MB, by index.
QComboBox* DlgSizeUnits(QWidget* parent);
QCheckBox* DlgCheck(QWidget* parent, const char* name, const char* text);
QPushButton* DlgButton(QWidget* parent, const char* name, const char* text,
                       const char* hint = nullptr);
// A toolbar button: its action carries the name and the hint, which is also its
// text; the translation treats it as a toolbar button's hint.
QToolButton* DlgTool(QWidget* parent, const char* name, const char* hint);
// Names a panel and stacks its widgets from the top, edge to edge: no margins,
// and `spacing` between them (negative: the style's).
QVBoxLayout* DlgColumn(QWidget* panel, const char* name, int spacing = -1);
// A key the whole dialog answers (F2, F4): `fn` is a member function of the
// dialog or any function.
template <class Dialog, class Fn> void DlgKey(Dialog* dialog, int key, Fn fn) {
    QObject::connect(new QShortcut(QKeySequence(key), dialog), &QShortcut::activated, dialog, fn);
}
// Tool buttons in a row across the top of `box`, from the left.
void DlgToolRow(QBoxLayout* box, std::initializer_list<QToolButton*> tools);
// A two-column table of names and values, one row each: the value column takes
// the spare width and the rows carry no numbers.
QTableWidget* DlgPairTable(QWidget* parent, const char* name, const char* first, const char* second,
                           int firstWidth);
// A hint without its key in brackets: "Edit Categories (F2)" gives "Edit Categories".
QString DlgHintText(const QToolButton* tool);

// What "&Help" in a dialog does; the main window installs it. Without one the
// Help buttons are hidden.
using TDialogHelpFn = std::function<void(QWidget* dialog)>;
void SetDialogHelpHandler(TDialogHelpFn fn);
const TDialogHelpFn& DialogHelpHandler();

// The placement of a window stored under "Pos\" + its object name.
void DlgRestorePlacement(QWidget* w, const ISettingsStore& store);
void DlgSavePlacement(const QWidget* w, ISettingsStore& store);

// A dialog whose placement is restored when it is shown and saved when it
// closes, by its object name (the window's programming name, "frmMemo").
class TPlacedDialog : public QDialog {
    Q_OBJECT
public:
    TPlacedDialog(const QString& name, ISettingsStore& store, QWidget* parent);

    ~TPlacedDialog() override;

    ISettingsStore& Store() const { return store_; }
    // Where the dialog's file dialogs and errors go; message boxes over the
    // dialog until set.
    void SetQuestions(IUiQuestions& questions) { questions_ = &questions; }
    IUiQuestions& Questions();
    void done(int r) override;

protected:
    void showEvent(QShowEvent* e) override;
    // OK, Cancel and Help in the language in force.
    void SetButtonTexts();
    // The OK / Cancel (and Help, when a handler is installed) bar.
    QDialogButtonBox* MakeButtons(bool withHelp);

private:
    ISettingsStore& store_;
    IUiQuestions* questions_ = nullptr;
    std::unique_ptr<IUiQuestions> ownQuestions_;
    bool placed_ = false;
};
