#pragma once

#include "report/layout.h"

namespace zelk::store {
class Store;
}

namespace zelk::designer {

// The values the designer shows in the boxes: a stored receipt's header with
// its lines, or the built-in sample when there is none.
struct DesignValues {
    report::DataSet data;
    report::Variables variables;
    QString source; // what the values are, for the status line
};

// From the store in use (the local file or the shop's server): the latest receipt whose number
// (fphm) is `number`, the latest stored receipt when number is empty, or the sample values when
// no such receipt exists. Throws DatabaseError.
DesignValues loadDesignValues(store::Store& store, const QString& number);

// The built-in sample receipt.
DesignValues sampleValues();

} // namespace zelk::designer
