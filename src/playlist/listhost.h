#pragma once
// What the station panel needs of the page that shows the lists: the two share one list view
// and one switch, and talk through this instead of reaching into each other's widgets.
//
// Thread contract: GUI thread only.

namespace velorixa::playlist {

class PlayLists;

class ListHost {
  public:
    virtual ~ListHost() = default;
    virtual PlayLists& lists() = 0;
    // A running music search ends (before the lists change).
    virtual void StopFindMusic() = 0;
    // The page's tools for the station list; true when the add/save panel was open.
    virtual bool enterRadioMode() = 0;
    virtual void leaveRadioMode(bool reopenAddSav) = 0;
    virtual void setSwitchEnabled(bool enabled) = 0;
    // The list shown changed; toBottom: its last line is brought into view.
    virtual void shownListChanged(bool toBottom) = 0;
};

}  // namespace velorixa::playlist
