#pragma once

#include "ui/dialog_common.h"

#include <optional>
#include <string>
#include <vector>

class QTableWidget;
class QToolButton;
class TStringList;

// The tag names as a key/caption grid (lines key=caption), with rows added
// and deleted, and Load and Save of the lines.
class TfrmTags : public TPlacedDialog {
    Q_OBJECT
public:
    explicit TfrmTags(ISettingsStore& store, QWidget* parent = nullptr);

    void SetLines(const std::vector<std::string>& lines);
    // key=caption for every row with a key, in grid order.
    std::vector<std::string> Lines() const;

    // TagNames takes the rows on OK. A repeated key is shown as an error and
    // the dialog stays open; the list keeps its lines until OK succeeds.
    static bool EditTagNames(QWidget* parent, ISettingsStore& store, TStringList& tagNames);

    QTableWidget* Grid() const { return grid_; }
    void tbAddClick();
    void tbDelClick();
    void tbLoadClick();
    void tbSaveClick();

private:
    QTableWidget* grid_;
};
