#pragma once

#include "data/connection.h"
#include "data/query.h"

namespace zelk::data {

// The data module: owns the program's one database connection and the statement objects that
// several windows share. Every use of a shared statement object closes it, clears it, adds
// its lines, binds, opens or executes it, and closes it again, so no use depends on what the
// previous one left behind.
class Tdmtd {
public:
    Tdmtd();
    Tdmtd(const Tdmtd&) = delete;
    Tdmtd& operator=(const Tdmtd&) = delete;

    Connection Database3_ado;
    Query Qry_Func;   // look-ups
    Query Qry_Insert; // every statement that changes data
};

} // namespace zelk::data
