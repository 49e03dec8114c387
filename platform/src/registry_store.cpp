#include "registry_store.h"

#include "platform/errors.h"
#include "platform/sysroot.h"

#include <QString>
#include <sqlite3.h>

#include <chrono>
#include <filesystem>
#include <mutex>
#include <system_error>
#include <thread>

namespace plat::regstore {
namespace {

// How long one statement waits for another process's lock, and how often a
// transaction that still found the database busy is started again. Generous:
// a registry write must not be lost because another program was writing.
constexpr int kBusyTimeoutMs = 5000;
constexpr int kBusyAttempts = 6;

const char *const kHiveFiles[] = {"user.sqlite", "machine.sqlite"};

const char *const kSchema =
    "CREATE TABLE IF NOT EXISTS keys("
    " id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " parent INTEGER NOT NULL, name TEXT NOT NULL, fold TEXT NOT NULL);"
    "CREATE UNIQUE INDEX IF NOT EXISTS keys_child ON keys(parent, fold);"
    "CREATE TABLE IF NOT EXISTS vals("
    " key INTEGER NOT NULL, name TEXT NOT NULL, fold TEXT NOT NULL,"
    " type INTEGER NOT NULL, data BLOB NOT NULL);"
    "CREATE UNIQUE INDEX IF NOT EXISTS vals_name ON vals(key, fold);"
    "INSERT OR IGNORE INTO keys(id, parent, name, fold) VALUES(1, 0, '', '');";

struct Connection {
    sqlite3 *db = nullptr;
};

// One lock for the registry of the whole process: a connection is used by one
// transaction at a time, so transactions of two threads cannot interleave.
std::mutex g_mutex;
Connection g_conns[2];
std::string g_root;
std::uint64_t g_generation = 0;

bool isBusy(int rc)
{
    return (rc & 0xff) == SQLITE_BUSY || (rc & 0xff) == SQLITE_LOCKED;
}

DWORD mapSqlite(int rc, bool write)
{
    switch (rc & 0xff) {
    case SQLITE_OK: return ERROR_SUCCESS;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH: return ERROR_ACCESS_DENIED;
    case SQLITE_FULL: return ERROR_DISK_FULL;
    case SQLITE_NOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case SQLITE_CANTOPEN: return ERROR_CANT_OPEN_KEY;
    default: return write ? ERROR_CANT_WRITE : ERROR_CANT_READ;
    }
}

void closeAll()
{
    for (Connection &c : g_conns) {
        if (c.db)
            sqlite3_close_v2(c.db);
        c.db = nullptr;
    }
}

// Notices a changed system root (BRX_ROOT) and starts over with its databases.
void followRoot()
{
    std::string root = systemRootHostDir();
    if (root != g_root || g_generation == 0) {
        closeAll();
        g_root = root;
        ++g_generation;
    }
}

int execRetrying(sqlite3 *db, const char *sql)
{
    int rc = SQLITE_OK;
    for (int attempt = 0; attempt < kBusyAttempts; ++attempt) {
        rc = sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
        if (!isBusy(rc))
            return rc;
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        std::this_thread::sleep_for(std::chrono::milliseconds(20 * (attempt + 1)));
    }
    return rc;
}

DWORD openHive(Hive hive, sqlite3 *&out)
{
    Connection &conn = g_conns[static_cast<int>(hive)];
    if (conn.db) {
        out = conn.db;
        return ERROR_SUCCESS;
    }
    std::string dir = g_root + "/registry";
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    std::string path = dir + "/" + kHiveFiles[static_cast<int>(hive)];
    sqlite3 *db = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &db,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                             nullptr);
    if (rc != SQLITE_OK) {
        if (db)
            sqlite3_close_v2(db);
        return ec ? errorFromErrno(ec.value()) : mapSqlite(rc, true);
    }
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    // WAL lets readers go on while another process writes; NORMAL sync in WAL mode
    // still survives a crash of any program.
    rc = execRetrying(db, "PRAGMA journal_mode=WAL");
    if (rc == SQLITE_OK)
        rc = execRetrying(db, "PRAGMA synchronous=NORMAL");
    if (rc == SQLITE_OK) {
        std::string setup = std::string("BEGIN IMMEDIATE;") + kSchema + "COMMIT;";
        rc = execRetrying(db, setup.c_str());
    }
    if (rc != SQLITE_OK) {
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close_v2(db);
        return mapSqlite(rc, true);
    }
    conn.db = db;
    out = db;
    return ERROR_SUCCESS;
}

bool validUtf8(const std::string &s)
{
    std::size_t i = 0, n = s.size();
    while (i < n) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        int extra;
        std::uint32_t cp;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xe0) == 0xc0) {
            extra = 1, cp = c & 0x1f;
        } else if ((c & 0xf0) == 0xe0) {
            extra = 2, cp = c & 0x0f;
        } else if ((c & 0xf8) == 0xf0) {
            extra = 3, cp = c & 0x07;
        } else {
            return false;
        }
        if (i + extra >= n)
            return false;
        for (int k = 1; k <= extra; ++k) {
            unsigned char cc = static_cast<unsigned char>(s[i + k]);
            if ((cc & 0xc0) != 0x80)
                return false;
            cp = (cp << 6) | (cc & 0x3f);
        }
        static const std::uint32_t minimum[] = {0, 0x80, 0x800, 0x10000};
        if (cp < minimum[extra] || cp > 0x10ffff || (cp >= 0xd800 && cp <= 0xdfff))
            return false;
        i += extra + 1;
    }
    return true;
}

} // namespace

std::string foldName(const std::string &name)
{
    bool ascii = true;
    for (char c : name)
        ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (ascii || !validUtf8(name)) {
        std::string out = name;
        for (char &c : out)
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        return out;
    }
    return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()))
        .toCaseFolded()
        .toUtf8()
        .toStdString();
}

Stmt::Stmt(sqlite3 *db, const char *sql) : m_db(db)
{
    int rc = sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr);
    if (rc != SQLITE_OK)
        throw StoreError{rc};
}

Stmt::~Stmt()
{
    sqlite3_finalize(m_stmt);
}

Stmt &Stmt::bind(int index, std::int64_t value)
{
    int rc = sqlite3_bind_int64(m_stmt, index, value);
    if (rc != SQLITE_OK)
        throw StoreError{rc};
    return *this;
}

Stmt &Stmt::bind(int index, const std::string &text)
{
    int rc = sqlite3_bind_text(m_stmt, index, text.data(), static_cast<int>(text.size()),
                               SQLITE_TRANSIENT);
    if (rc != SQLITE_OK)
        throw StoreError{rc};
    return *this;
}

Stmt &Stmt::bindBlob(int index, const BYTE *data, std::size_t size)
{
    static const BYTE empty = 0;
    int rc = sqlite3_bind_blob(m_stmt, index, size ? data : &empty, static_cast<int>(size),
                               SQLITE_TRANSIENT);
    if (rc != SQLITE_OK)
        throw StoreError{rc};
    return *this;
}

bool Stmt::step()
{
    int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    throw StoreError{rc};
}

void Stmt::reset()
{
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
}

std::int64_t Stmt::integer(int column) const
{
    return sqlite3_column_int64(m_stmt, column);
}

std::string Stmt::text(int column) const
{
    const unsigned char *p = sqlite3_column_text(m_stmt, column);
    int n = sqlite3_column_bytes(m_stmt, column);
    return p ? std::string(reinterpret_cast<const char *>(p), static_cast<std::size_t>(n))
             : std::string();
}

std::vector<BYTE> Stmt::blob(int column) const
{
    const BYTE *p = static_cast<const BYTE *>(sqlite3_column_blob(m_stmt, column));
    int n = sqlite3_column_bytes(m_stmt, column);
    return p ? std::vector<BYTE>(p, p + n) : std::vector<BYTE>();
}

std::size_t Stmt::bytes(int column) const
{
    return static_cast<std::size_t>(sqlite3_column_bytes(m_stmt, column));
}

DWORD transact(Hive hive, bool write, const std::function<DWORD(sqlite3 *)> &body)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    followRoot();
    sqlite3 *db = nullptr;
    if (DWORD err = openHive(hive, db); err != ERROR_SUCCESS)
        return err;
    int rc = SQLITE_OK;
    for (int attempt = 0; attempt < kBusyAttempts; ++attempt) {
        rc = sqlite3_exec(db, write ? "BEGIN IMMEDIATE" : "BEGIN", nullptr, nullptr, nullptr);
        if (rc == SQLITE_OK) {
            DWORD result;
            try {
                result = body(db);
            } catch (const StoreError &e) {
                rc = e.code;
                sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
                if (isBusy(rc)) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(20 * (attempt + 1)));
                    continue;
                }
                return mapSqlite(rc, write);
            } catch (const std::bad_alloc &) {
                sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
                return ERROR_NOT_ENOUGH_MEMORY;
            }
            if (result != ERROR_SUCCESS) {
                sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
                return result;
            }
            rc = sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
            if (rc == SQLITE_OK)
                return ERROR_SUCCESS;
            sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        }
        if (!isBusy(rc))
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20 * (attempt + 1)));
    }
    return mapSqlite(rc, write);
}

std::uint64_t generation()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    followRoot();
    return g_generation;
}

bool keyExists(sqlite3 *db, KeyId id)
{
    Stmt s(db, "SELECT 1 FROM keys WHERE id = ?");
    s.bind(1, id);
    return s.step();
}

KeyId findChild(sqlite3 *db, KeyId parent, const std::string &name)
{
    Stmt s(db, "SELECT id FROM keys WHERE parent = ? AND fold = ?");
    s.bind(1, parent).bind(2, foldName(name));
    return s.step() ? s.integer(0) : 0;
}

KeyId createChild(sqlite3 *db, KeyId parent, const std::string &name)
{
    Stmt s(db, "INSERT INTO keys(parent, name, fold) VALUES(?, ?, ?)");
    s.bind(1, parent).bind(2, name).bind(3, foldName(name));
    s.step();
    return sqlite3_last_insert_rowid(db);
}

std::vector<KeyId> descendants(sqlite3 *db, KeyId id)
{
    Stmt s(db, "WITH RECURSIVE sub(id) AS (SELECT id FROM keys WHERE parent = ?1"
               " UNION ALL SELECT k.id FROM keys k JOIN sub ON k.parent = sub.id)"
               " SELECT id FROM sub");
    s.bind(1, id);
    std::vector<KeyId> out;
    while (s.step())
        out.push_back(s.integer(0));
    return out;
}

} // namespace plat::regstore
