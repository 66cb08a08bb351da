#pragma once

#include "ui/dialog_common.h"

#include <QtGui/QIcon>
#include <QtWidgets/QDialog>

class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QToolButton;
class TLibColItem;

// A memo item of the collections: caption, picture, URL and notes.
class TfrmMemo : public TPlacedDialog {
    Q_OBJECT
public:
    explicit TfrmMemo(ISettingsStore& store, QWidget* parent = nullptr);

    // The collections' images, offered by index in the picture chooser.
    void SetImages(const QList<QIcon>& images);
    // Empty texts, no picture (-1).
    void Reset();
    void LoadFrom(const TLibColItem& item);
    // Caption, URL, MemoText and ImageIndex into item.
    void StoreTo(TLibColItem& item) const;

    // Shows the dialog on item's values; on OK item takes the edited ones.
    static bool EditItem(QWidget* parent, ISettingsStore& store, TLibColItem& item,
                         const QList<QIcon>& images = {});

    QLineEdit* edCaption() const { return edCaption_; }
    QComboBox* cbpic() const { return cbpic_; }
    QLineEdit* ed_url() const { return edUrl_; }
    QPlainTextEdit* memo() const { return memo_; }
    int ImageIndex() const;
    void SetImageIndex(int index);
    void tbStartClick();

private:
    QLineEdit* edCaption_;
    QComboBox* cbpic_;
    QLineEdit* edUrl_;
    QToolButton* tbStart_;
    QPlainTextEdit* memo_;
};
