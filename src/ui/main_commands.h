#pragma once

// The main window's commands, as its menus, pop-up menus, toolbar and keys
// call them. The menus know this and not the window.
class IMainCommands {
public:
    virtual ~IMainCommands() = default;

    // True when no long operation runs (the window says why otherwise).
    virtual bool CheckIdle() = 0;

    // Library
    virtual void tbNewClick() = 0;
    virtual void tbOpenClick() = 0;
    virtual void tbReloadClick() = 0;
    virtual void miLibPropertiesClick() = 0;
    virtual void tbSaveClick() = 0;
    virtual void tbSaveAsClick() = 0;
    virtual void miImpLibrabryClick() = 0;
    virtual void miImpTextClick() = 0;
    virtual void miImpOtherClick() = 0;
    virtual void miExportClick() = 0;
    virtual void miCloseClick() = 0;

    // Volumes and their entries
    virtual void tbAddClick() = 0;
    virtual void miVUpdateClick() = 0;
    virtual void tbDelClick() = 0;
    virtual void miLPropertiesClick() = 0;
    virtual void tbPrintClick() = 0;
    virtual void pmLVRealSourceClick() = 0;
    virtual void pmTvSearchClick() = 0;
    virtual void AsText1Click() = 0;
    virtual void miVStopProcessClick() = 0;
    virtual void miFSelectAllClick() = 0;
    virtual void InvertSelection2Click() = 0;
    virtual void pmLVSearchByClick() = 0;
    virtual void pmLVSearchDuplicatesClick() = 0;
    virtual void pmLVOpenClick() = 0;
    virtual void pmLVPropertiesClick() = 0;

    // View
    virtual void tbRefreshClick() = 0;
    virtual void miSpaceViewClick() = 0;
    // A view toggle of the View menu changed.
    virtual void ViewSettingsChanged() = 0;
    // A column header click or an arrange-icons item.
    virtual void SortListBy(int column) = 0;

    // Favorites and tools
    virtual void miAddFavoritesClick() = 0;
    virtual void tbOrgFavoritesClick() = 0;
    virtual void tbFindClick() = 0;
    virtual void tbCatClick() = 0;
    virtual void miLocationsClick() = 0;
    virtual void miTagsClick() = 0;
    virtual void miHandlersClick() = 0;
    virtual void miExpLngClick() = 0;
    virtual void miLoadOriginalLanguageClick() = 0;
    virtual void tbOptionsClick() = 0;
    virtual void miContentsClick() = 0;
    virtual void tbAboutClick() = 0;

    // Collections
    virtual void miColAddClick() = 0;
    virtual void miColAddSubClick() = 0;
    virtual void miColNewMemoClick() = 0;
    virtual void miColRenClick() = 0;
    virtual void miColDelClick() = 0;
    virtual void miColRunClick() = 0;
    virtual void miColPropClick() = 0;
};
