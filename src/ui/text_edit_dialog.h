#pragma once

#include "ui/dialog_common.h"

#include <optional>
#include <string>
#include <vector>

class QPlainTextEdit;
class QToolButton;
class TStringList;

// A multi-line text editor with Load and Save: the shared lists, the
// favorites and the comment fields are edited in it.
class TfrmTextEdit : public TPlacedDialog {
    Q_OBJECT
public:
    explicit TfrmTextEdit(ISettingsStore& store, QWidget* parent = nullptr);

    void SetLines(const std::vector<std::string>& lines);
    // The text's lines; a last empty line (a final line break) is dropped.
    std::vector<std::string> Lines() const;
    void SetText(const QString& text);
    QString Text() const;

    // The edited text on OK, nothing on Cancel.
    static std::optional<QString> EditText(QWidget* parent, ISettingsStore& store,
                                           const QString& caption, const QString& text);
    // The list takes the edited lines on OK (blank lines dropped). A list that
    // refuses a line (a repeated favorite) keeps its old lines; the error is
    // shown and the editor stays open with the user's text.
    static bool EditList(QWidget* parent, ISettingsStore& store, const QString& caption,
                         TStringList& list);

    QPlainTextEdit* Memo() const { return memo_; }
    void tbLoadClick();
    void tbSaveClick();

private:
    QPlainTextEdit* memo_;
    QToolButton* tbLoad_;
    QToolButton* tbSave_;
};
