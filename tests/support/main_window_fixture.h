#pragma once

#include "settings/questions.h"

#include <QtCore/QStringList>
#include <QtCore/QTemporaryDir>
#include <deque>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class TfrmMain;
class TTreeNode;

// The main window under test: config, data and runtime folders of its own, and
// its questions answered from queues instead of message boxes and file dialogs.
//   class TestX : public QObject, public TMainWindowFixture {
//       void initTestCase() { SetUpWindows(); }
//       void init() { ResetAnswers(); }
//       void t() {
//           auto w = MakeWindow();
//           TTreeNode* vol = AddVolume(*w, WriteSource("v", {{"a.mp3", 1000}}), "Disc");
//           Answers = {TAnswer::No};   // the next question is answered No
//           ...
//           QCOMPARE(Asked[0].Key, std::string("confDelete"));
class TMainWindowFixture {
public:
    struct TAsked {
        std::string Key;
        std::string Arg;
    };

    TMainWindowFixture();
    virtual ~TMainWindowFixture();

    // Points the program's folders into the temporary folder and installs the answers.
    void SetUpWindows();
    // Forgets what was asked and the queued answers; resets the message table.
    void ResetAnswers();

    // `name` inside the temporary folder.
    QString Path(const QString& name) const { return tmp_.filePath(name); }
    // A shown, active main window on an in-memory settings store, without beeps.
    std::unique_ptr<TfrmMain> MakeWindow();
    // Files of the given sizes (relative path, bytes) under Path(name); returns the folder.
    QString WriteSource(const QString& name, const std::vector<std::pair<QString, qint64>>& files);
    // Add Volume through its dialog; the new volume's node, or null when no dialog came.
    TTreeNode* AddVolume(TfrmMain& w, const QString& folder, const QString& title);
    // The keys of Asked, in order.
    std::vector<std::string> AskedKeys() const;

    std::vector<TAsked> Asked;     // every question, in order
    std::deque<TAnswer> Answers;   // answers to give in order; Yes (Ok) once empty
    QStringList Errors;            // every error shown, as display text
    std::deque<std::string> Paths; // file-dialog answers in order; cancel once empty
    bool AskedForPath = false;

private:
    QTemporaryDir tmp_;
};
