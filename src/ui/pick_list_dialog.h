#pragma once

#include "ui/dialog_common.h"

#include <optional>
#include <string>
#include <vector>

class QListWidget;

// A check list to pick names from (the tag captions of the properties dialog).
class TfrmPickList : public TPlacedDialog {
    Q_OBJECT
public:
    explicit TfrmPickList(ISettingsStore& store, QWidget* parent = nullptr);

    void SetItems(const std::vector<std::string>& items);
    // The checked items in list order.
    std::vector<std::string> Checked() const;
    void SetChecked(int row, bool checked);

    // The checked items on OK, nothing on Cancel.
    static std::optional<std::vector<std::string>> Pick(QWidget* parent, ISettingsStore& store,
                                                        const QString& caption,
                                                        const std::vector<std::string>& items);

    QListWidget* List() const { return lb_; }

private:
    QListWidget* lb_;
};
