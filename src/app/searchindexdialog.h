#pragma once

class QWidget;

namespace zelk::data {
class Connection;
}

namespace zelk::app {

// Brings the search index of the open database up to date at start-up (see
// data/searchindex.h). When that takes longer than half a second a progress dialog shows, whose
// Cancel stops the work: searches then read the whole table, as without an index, until the
// next start continues where this one stopped.
void bringSearchIndexUpToDate(QWidget* parent, data::Connection& connection);

} // namespace zelk::app
