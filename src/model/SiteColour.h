#pragma once

#include <Qt>

namespace corvane {

// The meaning of a row's colour. The user interface maps it to blue, green, red, amber or black.
enum class SiteColour {
    Black = 0, // not scanned in this scan
    Blue,      // a link to the Main Site was found
    Green,     // no link recognised, outcome "Redirect Link"
    Red,       // no link found
    Amber,     // bot protection kept the scan out: nothing is known of its link
};

// Item roles of the project's models beyond Qt's own.
enum ModelRole {
    SiteColourRole = Qt::UserRole + 1, // int(SiteColour)
    IconRole,                          // the result row's small-icon number (2 found, 1 not)
};

} // namespace corvane
