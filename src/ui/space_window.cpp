#include "ui/space_window.h"

#include "catalog/tree.h"
#include "ui/multi_lang.h"
#include "ui/space_view.h"

#include <QtGui/QKeyEvent>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QStyle>
#include <QtWidgets/QToolButton>
#include <QtWidgets/QVBoxLayout>

TfrmSpace::TfrmSpace(ISpaceHost& host, QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("frmSpace"));
    setWindowTitle(QStringLiteral("Space View"));
    resize(960, 640);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(6, 6, 6, 6);
    outer->setSpacing(6);

    auto* top = new QHBoxLayout;
    up_ = new QToolButton(this);
    up_->setObjectName(QStringLiteral("btnUp"));
    up_->setText(QStringLiteral("&Up"));
    up_->setIcon(style()->standardIcon(QStyle::SP_FileDialogToParent));
    up_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    MarkTranslated(up_);
    top->addWidget(up_);
    // The path changes with every folder: no object name, so no language file holds it.
    path_ = new QLabel(this);
    path_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont bold = path_->font();
    bold.setBold(true);
    path_->setFont(bold);
    top->addWidget(path_, 1);
    outer->addLayout(top);

    view_ = new TSpaceView(host, this);
    outer->addWidget(view_, 1);

    auto* legend = new QHBoxLayout;
    legend->setSpacing(4);
    struct TKey {
        TSpaceKind Kind;
        const char* Name;
        const char* Text;
    };
    for (const TKey& k : {TKey{TSpaceKind::Folder, "lblFolders", "Folders"},
                          TKey{TSpaceKind::Audio, "lblAudio", "Audio"},
                          TKey{TSpaceKind::Video, "lblVideo", "Video"},
                          TKey{TSpaceKind::Image, "lblImages", "Images"},
                          TKey{TSpaceKind::Archive, "lblArchives", "Archives"},
                          TKey{TSpaceKind::Document, "lblDocuments", "Documents"},
                          TKey{TSpaceKind::Program, "lblPrograms", "Programs"},
                          TKey{TSpaceKind::Other, "lblOther", "Other files"},
                          TKey{TSpaceKind::Rest, "lblRest", "Small entries together"}}) {
        auto* swatch = new QLabel(this);
        swatch->setFixedSize(14, 14);
        const QColor c = TSpaceView::KindColor(k.Kind);
        swatch->setStyleSheet(QStringLiteral("background:%1;border:1px solid %2;")
                                  .arg(c.name(), c.darker(150).name()));
        legend->addWidget(swatch);
        auto* text = new QLabel(QString::fromLatin1(k.Text), this);
        text->setObjectName(QString::fromLatin1(k.Name));
        legend->addWidget(text);
        legend->addSpacing(10);
    }
    legend->addStretch(1);
    outer->addLayout(legend);
    auto* hint = new QLabel(
        QStringLiteral("Click: select in the catalog tree.  Double-click: open a folder.  "
                       "Right-click or Backspace: up."),
        this);
    hint->setObjectName(QStringLiteral("lblHint"));
    hint->setEnabled(false);
    outer->addWidget(hint);

    connect(up_, &QToolButton::clicked, view_, &TSpaceView::Up);
    connect(view_, &TSpaceView::FolderChanged, this, &TfrmSpace::FolderChanged);
}

void TfrmSpace::ShowFor(TTreeNode* node) {
    view_->ShowFolder(node);
    if (!isVisible() && parentWidget()) {
        const QRect p = parentWidget()->frameGeometry();
        move(p.center() - rect().center());
    }
    show();
    raise();
    activateWindow();
}

QString TfrmSpace::PathText() const {
    return path_->text();
}

void TfrmSpace::FolderChanged() {
    // Read when the event loop turns: the catalog may be mid-change when this is called.
    QMetaObject::invokeMethod(
        this,
        [this] {
            path_->setText(view_->Caption());
            TTreeNode* n = view_->Folder();
            up_->setEnabled(n && n->Parent());
        },
        Qt::QueuedConnection);
}

void TfrmSpace::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Backspace ||
        (event->key() == Qt::Key_Up && event->modifiers() & Qt::AltModifier)) {
        view_->Up();
        return;
    }
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}
