#include "support/main_window_fixture.h"

#include "settings/global_data.h"
#include "settings/message_table.h"
#include "settings/settings_store.h"
#include "ui/main_window.h"
#include "ui/new_volume_dialog.h"
#include "ui/update_dialog.h"

#include <QtCore/QDir>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QTimer>
#include <QtTest/QtTest>
#include <QtWidgets/QApplication>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QLineEdit>

TMainWindowFixture::TMainWindowFixture() = default;

TMainWindowFixture::~TMainWindowFixture() = default;

void TMainWindowFixture::SetUpWindows() {
    QVERIFY(tmp_.isValid());
    QCoreApplication::setApplicationName("Tamblix");
    qputenv("XDG_CONFIG_HOME", Path("config").toUtf8());
    qputenv("XDG_DATA_HOME", Path("data").toUtf8());
    qputenv("XDG_RUNTIME_DIR", Path("runtime").toUtf8());
    QDir().mkpath(Path("runtime"));
}

void TMainWindowFixture::ResetAnswers() {
    Script.Clear();
    ResetMessageTable();
}

std::unique_ptr<TfrmMain> TMainWindowFixture::MakeWindow() {
    auto w = std::make_unique<TfrmMain>(std::make_unique<TMemorySettingsStore>());
    w->SetQuestions(Script);
    w->GD().ActionEndBeep = false;
    w->GD().Progress.ActionEndBeep = false;
    w->resize(1000, 700);
    w->show();
    w->activateWindow();
    [&] { QVERIFY(QTest::qWaitForWindowActive(w.get())); }();
    return w;
}

QString TMainWindowFixture::WriteSource(const QString& name,
                                        const std::vector<std::pair<QString, qint64>>& files) {
    QString root = Path(name);
    for (const auto& [rel, size] : files) {
        QString path = root + QLatin1Char('/') + rel;
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        if (f.open(QIODevice::WriteOnly)) f.write(QByteArray(size, 'x'));
    }
    return root;
}

TTreeNode* TMainWindowFixture::AddVolume(TfrmMain& w, const QString& folder, const QString& title) {
    bool seen = false;
    QTimer::singleShot(0, &w, [&] {
        auto* d = qobject_cast<TfrmNewVolume*>(QApplication::activeModalWidget());
        if (!d) return;
        seen = true;
        d->FolderEdit()->setText(folder);
        d->TitleEdit()->setText(title);
        d->InsertNextBox()->setChecked(false);
        d->accept();
    });
    w.tbAddClick();
    // Offscreen, nothing gives the window back its activation after a dialog.
    w.activateWindow();
    (void)QTest::qWaitForWindowActive(&w);
    return seen ? w.SelectedNode() : nullptr;
}

bool TMainWindowFixture::UpdateDeleting(TfrmMain& w, TTreeNode* vol, const QString& folder) {
    // The command acts on the volume selected in the folder tree.
    if (!QTest::qWaitFor([&] { return w.CheckIdle(); }, 5000)) return false;
    w.SelectNode(vol);
    bool seen = false;
    QTimer::singleShot(0, &w, [&] {
        auto* d = qobject_cast<TfrmUpdate*>(QApplication::activeModalWidget());
        if (!d) return;
        seen = true;
        d->RealSourceBox()->setChecked(true);
        d->FolderEdit()->setText(folder);
        d->DeleteMissingBox()->setChecked(true);
        d->accept();
    });
    w.miVUpdateClick();
    w.activateWindow();
    (void)QTest::qWaitForWindowActive(&w);
    return seen;
}

std::vector<std::string> TMainWindowFixture::AskedKeys() const {
    std::vector<std::string> keys;
    for (const auto& a : Asked)
        keys.push_back(a.Key);
    return keys;
}
