#include "data/tdmtd.h"

namespace zelk::data {

Tdmtd::Tdmtd() : Qry_Func(Database3_ado), Qry_Insert(Database3_ado) {}

} // namespace zelk::data
