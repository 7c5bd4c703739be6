#pragma once

// The history search's criteria and statements belong to the store; the receipt area keeps
// using them under its own names.
#include "store/historysearch.h"

namespace zelk::receipt {

using store::historyColumnCount;
using store::HistoryCriteria;
using store::historyIndexMatch;
using store::historyLikePattern;
using store::HistoryPosition;
using store::historyRemarksPreview;
using store::historyUsesDateOrder;
using store::prepareHistorySearch;

} // namespace zelk::receipt
