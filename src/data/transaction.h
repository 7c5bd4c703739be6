#pragma once

namespace zelk::data {

class Connection;

// A write transaction (BEGIN IMMEDIATE, so the write lock is taken before the first statement):
// committed by commit(), rolled back when it leaves scope uncommitted, e.g. through an
// exception, so a failed operation leaves the file exactly as it was.
class Transaction {
public:
    explicit Transaction(Connection& connection);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    void commit();

private:
    Connection& connection_;
    bool done_ = false;
};

} // namespace zelk::data
