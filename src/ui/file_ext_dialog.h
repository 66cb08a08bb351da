#pragma once

#include "text/string_list.h"
#include "ui/dialog_common.h"

#include <optional>
#include <string>
#include <vector>

class QListWidget;
class QToolButton;
class THandlerList;
struct THandler;

// The extension editor of one handler: its caption is the handler's
// description; Add (F3) asks for an extension, Delete (F4) removes the selected
// one unless it is the last. Given the handler table, an extension that
// belongs to another handler is refused.
class TfrmFileExtProp : public TPlacedDialog {
    Q_OBJECT
public:
    explicit TfrmFileExtProp(ISettingsStore& store, QWidget* parent = nullptr);

    // Shows the handler's extensions; the edited list on OK, nothing on Cancel.
    std::optional<std::vector<std::string>> Edit(const THandler& handler,
                                                 const THandlerList* table = nullptr);
    static std::optional<std::vector<std::string>> EditHandler(QWidget* parent,
                                                               ISettingsStore& store,
                                                               const THandler& handler,
                                                               const THandlerList* table = nullptr);

    // The list on show; what Add and Delete do without their questions.
    void SetExtensions(const std::vector<std::string>& extensions);
    std::vector<std::string> Extensions() const { return list_.Lines(); }
    // The table's checks apply for this handler (Title) from now on.
    void CheckAgainst(const THandlerList* table, const std::string& title);
    // Empty when added (or nothing to add), else why the text was refused.
    QString AddExtension(const QString& text);
    void DeleteSelected();

private:
    void tbAddClick();
    void Refill(int select);

    TStringList list_{true, TDuplicates::Ignore};
    const THandlerList* table_ = nullptr;
    std::string title_;
    QListWidget* lbExt_;
    QToolButton* tbAdd_;
    QToolButton* tbDel_;
};
