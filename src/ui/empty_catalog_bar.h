#pragma once

#include <QtWidgets/QFrame>
#include <functional>
#include <string>
#include <vector>

class QAction;
class QBoxLayout;
class QHBoxLayout;
class QLabel;
class QPushButton;

// What an empty catalog shows above its views: how to begin, with Add Volume,
// Open Catalog and the recent catalogs a click away. The window hides it once
// the catalog holds a volume or a collection.
class TEmptyCatalogBar : public QFrame {
    Q_OBJECT
public:
    explicit TEmptyCatalogBar(QWidget* parent);

    std::function<void()> OnAddVolume;
    std::function<void()> OnOpenCatalog;
    std::function<void(const std::string&)> OnOpenRecent;

    // The recent catalogs' paths, newest first (at most five are shown).
    void SetRecent(const std::vector<std::string>& paths);

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool event(QEvent* event) override;

private:
    void PlaceButtons();

    QLabel* text_ = nullptr;
    QBoxLayout* buttons_ = nullptr;
    QAction* add_ = nullptr;
    QAction* open_ = nullptr;
    QLabel* recentLabel_ = nullptr;
    QHBoxLayout* recent_ = nullptr;
    std::vector<QPushButton*> recentButtons_;
    std::vector<std::string> shown_;
};
