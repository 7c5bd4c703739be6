#pragma once

class QWidget;

namespace zelk::store {
class FileStore;
}

namespace zelk::app {

// Brings the search index of the local file up to date at start-up (see
// store/filesearchindex.h). When that takes longer than half a second a progress dialog shows,
// whose Cancel stops the work: searches then read the whole table, as without an index, until the
// next start continues where this one stopped.
void bringSearchIndexUpToDate(QWidget* parent, store::FileStore& file);

} // namespace zelk::app
