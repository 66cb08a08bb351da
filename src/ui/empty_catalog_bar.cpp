#include "ui/empty_catalog_bar.h"

#include "ui/ui_questions.h"

#include <QtCore/QEvent>
#include <QtCore/QFileInfo>
#include <QtGui/QAction>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QLabel>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QToolButton>
#include <QtWidgets/QVBoxLayout>

namespace {

constexpr size_t kRecentShown = 5;

} // namespace

TEmptyCatalogBar::TEmptyCatalogBar(QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("panEmpty"));
    setFrameShape(QFrame::StyledPanel);
    auto* v = new QVBoxLayout(this);
    text_ = new QLabel(
        QStringLiteral("This catalog is empty. Add a volume to catalog a disc, a drive or a "
                       "folder, or open a catalog you made before."),
        this);
    text_->setObjectName(QStringLiteral("lblEmpty"));
    text_->setWordWrap(true);
    v->addWidget(text_);
    auto* buttons = new QHBoxLayout;
    // Actions on buttons: the translator reaches them by their names, as it
    // does the window's other commands.
    auto button = [this, buttons](const char* name, const QString& text, const char* icon) {
        auto* a = new QAction(QIcon::fromTheme(QString::fromLatin1(icon)), text, this);
        a->setObjectName(QString::fromLatin1(name));
        auto* b = new QToolButton(this);
        b->setDefaultAction(a);
        b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        buttons->addWidget(b);
        return a;
    };
    add_ = button("btnEmptyAdd", QStringLiteral("&Add Volume\u2026"), "list-add");
    open_ = button("btnEmptyOpen", QStringLiteral("&Open Catalog\u2026"), "document-open");
    buttons->addStretch(1);
    v->addLayout(buttons);
    buttons_ = buttons;
    recent_ = new QHBoxLayout;
    recentLabel_ = new QLabel(QStringLiteral("Recent catalogs:"), this);
    recentLabel_->setObjectName(QStringLiteral("lblEmptyRecent"));
    recent_->addWidget(recentLabel_);
    recentLabel_->hide(); // until there are recent catalogs
    recent_->addStretch(1);
    v->addLayout(recent_);
    connect(add_, &QAction::triggered, this, [this] {
        if (OnAddVolume) OnAddVolume();
    });
    connect(open_, &QAction::triggered, this, [this] {
        if (OnOpenCatalog) OnOpenCatalog();
    });
}

void TEmptyCatalogBar::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    PlaceButtons();
}

bool TEmptyCatalogBar::event(QEvent* event) {
    // A new language changes the buttons' texts, and so their widths.
    if (event->type() == QEvent::LayoutRequest) PlaceButtons();
    return QFrame::event(event);
}

void TEmptyCatalogBar::PlaceButtons() {
    // Side by side where they fit whole, one above the other where a language's
    // longer texts would cut them.
    int need = 0;
    for (int i = 0; i < buttons_->count(); ++i)
        if (QWidget* b = buttons_->itemAt(i)->widget()) need += b->sizeHint().width() + 6;
    const auto direction =
        contentsRect().width() - 24 < need ? QBoxLayout::TopToBottom : QBoxLayout::LeftToRight;
    if (buttons_->direction() != direction) buttons_->setDirection(direction);
}

void TEmptyCatalogBar::SetRecent(const std::vector<std::string>& paths) {
    if (paths == shown_) return;
    shown_ = paths;
    for (QPushButton* b : recentButtons_)
        delete b;
    recentButtons_.clear();
    for (size_t i = 0; i < paths.size() && i < kRecentShown; ++i) {
        const std::string path = paths[i];
        auto* b = new QPushButton(QFileInfo(QStr(path)).fileName(), this);
        b->setFlat(true);
        b->setToolTip(QStr(path));
        connect(b, &QPushButton::clicked, this, [this, path] {
            if (OnOpenRecent) OnOpenRecent(path);
        });
        // Before the stretch, after the label and the buttons already there.
        recent_->insertWidget(static_cast<int>(i) + 1, b);
        recentButtons_.push_back(b);
    }
    recentLabel_->setVisible(!recentButtons_.empty());
}
