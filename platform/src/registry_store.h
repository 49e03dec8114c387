#pragma once

// The SQLite side of the registry: one database per hive, opened once per process
// and per system root, every operation a transaction of its own. Internal to the
// platform library.

#include "platform/types.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace plat::regstore {

enum class Hive { User = 0, Machine = 1 };

using KeyId = std::int64_t;
constexpr KeyId kRootKey = 1;

// Case-insensitive comparison form of a key or value name: Unicode case folding
// for valid UTF-8, ASCII folding for anything else (so no two names collide by
// decoding errors).
std::string foldName(const std::string &name);

// A prepared statement bound to the open transaction's connection.
class Stmt {
public:
    Stmt(sqlite3 *db, const char *sql);
    ~Stmt();
    Stmt(const Stmt &) = delete;
    Stmt &operator=(const Stmt &) = delete;

    Stmt &bind(int index, std::int64_t value);
    Stmt &bind(int index, const std::string &text);
    Stmt &bindBlob(int index, const BYTE *data, std::size_t size);
    // Next row: true with a row, false when done; throws StoreError on failure.
    bool step();
    // Makes the statement ready to be bound and stepped again.
    void reset();
    std::int64_t integer(int column) const;
    std::string text(int column) const;
    std::vector<BYTE> blob(int column) const;
    std::size_t bytes(int column) const;

private:
    sqlite3 *m_db;
    sqlite3_stmt *m_stmt = nullptr;
};

// A failed SQLite call inside a transaction body (result code kept for mapping).
struct StoreError {
    int code;
};

// Runs body inside one transaction of the hive's database (IMMEDIATE when write is
// set, so concurrent writers queue instead of failing). The body returns a Windows
// error code; anything but ERROR_SUCCESS rolls the transaction back. A busy
// database is retried; other SQLite failures become Windows error codes.
DWORD transact(Hive hive, bool write, const std::function<DWORD(sqlite3 *)> &body);

// Identifies the databases the process has open, so handles made under another
// system root (BRX_ROOT changed) are recognised as stale.
std::uint64_t generation();

// Helpers for transaction bodies (throw StoreError on SQLite failure).
bool keyExists(sqlite3 *db, KeyId id);
// Child named name of parent, or 0.
KeyId findChild(sqlite3 *db, KeyId parent, const std::string &name);
KeyId createChild(sqlite3 *db, KeyId parent, const std::string &name);
// Every key of the subtree below id (not id itself).
std::vector<KeyId> descendants(sqlite3 *db, KeyId id);

} // namespace plat::regstore
