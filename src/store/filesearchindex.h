#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace zelk::data {
class Connection;
}

namespace zelk::store {

// The search index beside fpmain (all in tables of its own; fpmain, fpdetail and SysSet are
// untouched):
// - fpsearch: an FTS4 table, docid = kpid, holding each receipt's searched columns as tokens
//   (see searchtokens.h);
// - fpsearch_queue: the receipts whose entry must be redone. Triggers on fpmain add every
//   inserted, changed or deleted receipt, whoever writes the file (an older version of this
//   program, the sqlcipher shell), using nothing but plain SQL, so such writers keep working;
// - fpsearch_state: the token format version, how far a build has come and whether it is done.
//
// The index can be used when it is complete and the queue is empty. The saver empties the
// queue inside its own transaction; the queue left by other writers, a missing, outdated or
// half-built index are found at start-up by a few look-ups (never a scan) and mended.
namespace searchindex {

// The statements that add an empty, complete index to a new database with no receipts.
QStringList createStatements();

enum class State {
    Ready,   // complete, nothing queued
    Pending, // complete, receipts queued by other writers
    Partial, // a build began and has not finished (cancelled, killed)
    Missing, // no index, or one of another format or without its triggers
};

State state(data::Connection& connection);

// Whether searches may use the index now.
bool isReady(data::Connection& connection);

// Brings the index up to date: creates it when missing or outdated, continues a partial build
// and redoes the queued receipts. Works in transactions of a few thousand receipts, so a crash
// or kill loses at most the step under way and the next call goes on from there. `progress`
// is called between steps with the work done and the work in all (in receipts, estimated);
// when it returns false the work stops and the function returns false (the index stays
// unusable until a later call completes it).
bool update(data::Connection& connection, const std::function<bool(qint64, qint64)>& progress = {});

// Redoes the queued receipts when the index is complete; does nothing otherwise. Runs inside
// the caller's transaction (the saver's), so the index changes together with fpmain.
void applyQueued(data::Connection& connection);

} // namespace searchindex

} // namespace zelk::store
