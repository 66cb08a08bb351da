#pragma once

#include <exception>
#include <functional>
#include <string>
#include <vector>

class IProgress;
class ISettingsStore;
class IUiQuestions;
class TGlobalData;
class TLibObj;
class TMainViews;
class THandlerList;
class TTreeNode;
class QWidget;

// What the views show again after a long operation has rebuilt them.
struct TViewRestore {
    // A node the operation keeps (a command sets it); else the node is found
    // again by its volume's index and its catalog path, so that two volumes
    // of the same name are never mistaken for each other.
    TTreeNode* Node = nullptr;
    int VolumeIndex = -1;
    std::string NodePath;
    std::vector<int> ColRows;
    std::string EntryCaption;
};

// What the main window's command groups (catalog file, volumes, collections,
// tools) need from the window: the catalog and the program's state, the views,
// and the way long operations run.
class IMainHost {
public:
    virtual ~IMainHost() = default;

    virtual QWidget* Window() = 0;
    virtual TLibObj& Lib() = 0;
    virtual TGlobalData& GD() = 0;
    virtual ISettingsStore& Store() = 0;
    virtual THandlerList& Handlers() = 0;
    virtual IUiQuestions& Questions() = 0;
    // Long operations report here and poll Stop; the window stays responsive.
    virtual IProgress& OperationProgress() = 0;
    virtual TMainViews& Views() = 0;

    // True when no long operation runs (commands return at once otherwise).
    virtual bool CheckIdle() = 0;
    // Runs a long operation: views frozen, commands off, errors shown, views
    // rebuilt afterwards. False when it threw.
    virtual bool RunBusy(const std::function<void()>& operation) = 0;
    // What the views come back to when the running operation ends.
    virtual TViewRestore& AfterBusy() = 0;
    // Replaces the catalog with an empty one.
    virtual void ResetCatalog(bool modified) = 0;
    virtual void ApplySettingsToLib() = 0;
    virtual void RebuildViews() = 0;
    virtual void UpdateStatus() = 0;
    virtual void ClearStatus() = 0;
    virtual void UpdateActions() = 0;
    virtual void LogLine(const std::string& text) = 0;
    virtual void ShowException(const std::exception& e) = 0;
    virtual void ShowHelp() = 0;
    // A catalog was loaded: the trees show what it holds.
    virtual void CatalogOpened() = 0;
};
