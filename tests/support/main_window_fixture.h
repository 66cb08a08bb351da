#pragma once

#include "support/scripted_questions.h"

#include <QtCore/QTemporaryDir>
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
    TMainWindowFixture();
    virtual ~TMainWindowFixture();

    // Points the program's folders into the temporary folder.
    void SetUpWindows();
    // Forgets what was asked and the queued answers; resets the message table.
    void ResetAnswers();

    // `name` inside the temporary folder.
    QString Path(const QString& name) const { return tmp_.filePath(name); }
    // A shown, active main window on an in-memory settings store, without beeps,
    // asking Script.
    std::unique_ptr<TfrmMain> MakeWindow();
    // Files of the given sizes (relative path, bytes) under Path(name); returns the folder.
    QString WriteSource(const QString& name, const std::vector<std::pair<QString, qint64>>& files);
    // Add Volume through its dialog; the new volume's node, or null when no dialog came.
    TTreeNode* AddVolume(TfrmMain& w, const QString& folder, const QString& title);
    // Update of `vol` through its dialog from `folder`, with "Use Real Source"
    // and "Delete not found"; false when no dialog came.
    bool UpdateDeleting(TfrmMain& w, TTreeNode* vol, const QString& folder);
    // The keys of Asked, in order.
    std::vector<std::string> AskedKeys() const;

    // The answers of every window made here, and short names for its parts.
    TScriptedQuestions Script;
    std::vector<TScriptedQuestions::TAsked>& Asked = Script.Asked;
    std::deque<TAnswer>& Answers = Script.Answers;
    QStringList& Errors = Script.Errors;
    std::deque<std::string>& Paths = Script.Paths;
    bool& AskedForPath = Script.AskedForPath;

private:
    QTemporaryDir tmp_;
};
